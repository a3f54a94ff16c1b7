#include "checking/scoring.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "checking/alignment.h"
#include "checking/byte_places.h"
#include "platform/upper_case.h"

namespace rivek {
namespace {

// Label prefixes in code page 932: 誤字：, 脱字：, 減点：.
constexpr std::string_view kWrongPrefix = "\x8C\xEB\x8E\x9A\x81\x46";
constexpr std::string_view kMissingPrefix = "\x92\x45\x8E\x9A\x81\x46";
constexpr std::string_view kPenaltyPrefix = "\x8C\xB8\x93\x5F\x81\x46";
constexpr std::string_view kTrialPrefix = "No.";

// Shown for a lone byte of a double-byte character that a pair or a run cuts
// in two: the geta mark 〓, the customary stand-in for a character that can't
// be shown. Passing the byte through would show a lead byte as U+FFFD and a
// second byte as whatever ASCII letter or katakana it happens to equal.
constexpr std::string_view kSplitByteMark = "\x81\xAC";

// The counters only grow; at the top of their range they stay there instead
// of wrapping round to negative numbers.
std::int32_t SaturatingAdd(std::int32_t total, std::int64_t amount) {
    const std::int64_t sum = std::int64_t{total} + amount;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        sum, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// The penalty is computed in 64 bits, where 3 × WrongTotal + MissingTotal
// always fits, so the label shows exactly what the other two labels add to.
std::int64_t Penalty(const DrillCounters& counters) {
    return 3 * std::int64_t{counters.WrongTotal} + std::int64_t{counters.MissingTotal};
}

// Bytes `from` to `to` (1-based, inclusive) of a display string, with a byte
// whose partner lies outside the range shown as kSplitByteMark.
std::string Segment(std::string_view text, const std::vector<BytePlace>& places, std::int32_t from,
                    std::int32_t to) {
    std::string segment;
    for (std::int32_t p = from; p <= to; ++p) {
        const auto at = static_cast<std::size_t>(p - 1);
        const bool split = (places[at] == BytePlace::Lead && p == to) ||
                           (places[at] == BytePlace::Second && p == from);
        if (split) {
            segment.append(kSplitByteMark);
        } else {
            segment.push_back(text[at]);
        }
    }
    return segment;
}

}  // namespace

std::string LabelText(ScoreLabel label, const DrillCounters& counters) {
    std::string text;
    switch (label) {
        case ScoreLabel::Wrong:
            text = kWrongPrefix;
            text += std::to_string(counters.WrongTotal);
            break;
        case ScoreLabel::Missing:
            text = kMissingPrefix;
            text += std::to_string(counters.MissingTotal);
            break;
        case ScoreLabel::Penalty:
            text = kPenaltyPrefix;
            text += std::to_string(Penalty(counters));
            break;
        case ScoreLabel::TrialNo:
            text = kTrialPrefix;
            text += std::to_string(counters.TrialNo);
            break;
    }
    return text;
}

ScoredTrial prn(DrillCounters& counters, ResultView& view, ScoreLabels& labels, std::string_view sent,
         std::string_view typed) {
    // The first Enter of a drill answers no group: it only starts counting.
    if (counters.TrialNo == 0) {
        counters.TrialNo = 1;
        return ScoredTrial{};
    }

    ScoredTrial scored;
    scored.Scored = true;
    scored.Alignment = AlignAnswer(sent, typed);
    const AnswerAlignment& alignment = scored.Alignment;
    const std::vector<BytePlace> sentPlaces = BytePlaces(alignment.SentDisplay);
    const std::vector<BytePlace> typedPlaces = BytePlaces(alignment.TypedDisplay);

    view.Clear();
    view.AppendBold(alignment.SentDisplay + "\r\n", kBlack);

    // Line 2 follows the path from the first node after the start to the end
    // node. Between two nodes only sent bytes are skipped (missing, shown as
    // sent in blue) or only typed bytes (extra, shown as typed in red). Each
    // node but the end node is a pair: shown as sent in black when the folded
    // bytes agree, else as typed in red.
    std::int64_t wrongCount = 0;
    std::int64_t missingCount = 0;
    std::int32_t previousSent = 0;
    std::int32_t previousTyped = 0;
    for (std::int32_t n = alignment.NodeCount - 1; n >= 0; --n) {
        const std::int32_t i = alignment.PathSent[static_cast<std::size_t>(n)];
        const std::int32_t j = alignment.PathTyped[static_cast<std::size_t>(n)];
        if (i - previousSent - 1 != 0) {
            view.AppendBold(Segment(alignment.SentDisplay, sentPlaces, previousSent + 1, i - 1), kBlue);
            missingCount += i - previousSent - 1;
        }
        if (j - previousTyped - 1 != 0) {
            view.AppendBold(Segment(alignment.TypedDisplay, typedPlaces, previousTyped + 1, j - 1), kRed);
            wrongCount += j - previousTyped - 1;
        }
        if (n != 0) {
            const auto si = static_cast<std::size_t>(i - 1);
            const auto tj = static_cast<std::size_t>(j - 1);
            if (alignment.SentFolded[si] == alignment.TypedFolded[tj]) {
                view.AppendBold(Segment(alignment.SentDisplay, sentPlaces, i, i), kBlack);
            } else {
                view.AppendBold(Segment(alignment.TypedDisplay, typedPlaces, j, j), kRed);
                wrongCount += 1;
            }
        }
        previousSent = i;
        previousTyped = j;
    }

    counters.TrialNo = SaturatingAdd(counters.TrialNo, 1);
    counters.WrongTotal = SaturatingAdd(counters.WrongTotal, wrongCount);
    counters.MissingTotal = SaturatingAdd(counters.MissingTotal, missingCount);

    for (const ScoreLabel label : {ScoreLabel::Wrong, ScoreLabel::Missing, ScoreLabel::Penalty, ScoreLabel::TrialNo}) {
        labels.SetLabelText(label, LabelText(label, counters));
    }
    // AlignmentFits keeps both texts under a few million bytes, so
    // the counts of one trial fit.
    scored.WrongCount = static_cast<std::int32_t>(wrongCount);
    scored.MissingCount = static_cast<std::int32_t>(missingCount);
    return scored;
}

}  // namespace rivek
