// Any sent group and any answer, of any bytes and lengths, through the
// alignment and the scoring. Checks what must hold for every input: the
// penalty a scoring adds equals the alignment's end cell, the counts never
// go down, the path runs from the end node back to the start with one side
// advancing by exactly one at each step, and every byte shown on line 2 is
// accounted for; the per-character outcomes add up to the scoring's counts.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "checking/alignment.h"
#include "checking/char_outcome.h"
#include "checking/scoring.h"

namespace {

#define REQUIRE(condition) \
    do {                   \
        if (!(condition)) std::abort(); \
    } while (false)

class CountingView : public rivek::ResultView {
public:
    void Clear() override { shown.clear(); }
    void AppendBold(std::string_view text, rivek::Rgb colour) override {
        REQUIRE(colour == rivek::kBlack || colour == rivek::kRed || colour == rivek::kBlue);
        REQUIRE(!text.empty());
        shown.append(text);
    }
    std::string shown;
};

class IgnoredLabels : public rivek::ScoreLabels {
public:
    void SetLabelText(rivek::ScoreLabel, std::string_view text) override { REQUIRE(!text.empty()); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const std::string sent = provider.ConsumeRandomLengthString(64);
    const std::string typed = provider.ConsumeRemainingBytesAsString();

    const rivek::AnswerAlignment alignment = rivek::AlignAnswer(sent, typed);
    const auto nS = static_cast<std::int32_t>(sent.size() + 1);
    const auto nT = static_cast<std::int32_t>(typed.size() + 1);
    REQUIRE(alignment.SentDisplay.size() == sent.size() + 1);
    REQUIRE(alignment.TypedDisplay.size() == typed.size() + 1);
    REQUIRE(alignment.SentFolded.size() == alignment.SentDisplay.size());
    REQUIRE(alignment.TypedFolded.size() == alignment.TypedDisplay.size());
    REQUIRE(alignment.NodeCount >= 1);
    REQUIRE(alignment.PathSent.size() > static_cast<std::size_t>(alignment.NodeCount));
    REQUIRE(alignment.PathSent.size() == alignment.PathTyped.size());
    REQUIRE(alignment.PathSent[0] == nS + 1 && alignment.PathTyped[0] == nT + 1);
    const auto last = static_cast<std::size_t>(alignment.NodeCount);
    REQUIRE(alignment.PathSent[last] == 0 && alignment.PathTyped[last] == 0);
    for (std::size_t n = 0; n < last; ++n) {
        const std::int32_t stepSent = alignment.PathSent[n] - alignment.PathSent[n + 1];
        const std::int32_t stepTyped = alignment.PathTyped[n] - alignment.PathTyped[n + 1];
        REQUIRE(stepSent >= 1 && stepTyped >= 1);
        REQUIRE(stepSent == 1 || stepTyped == 1);
    }
    REQUIRE(alignment.EndCost >= 0);

    rivek::DrillCounters counters;
    counters.TrialNo = 1;
    CountingView view;
    IgnoredLabels labels;
    const rivek::ScoredTrial scored = rivek::prn(counters, view, labels, sent, typed);
    REQUIRE(counters.TrialNo == 2);
    REQUIRE(scored.Scored && scored.WrongCount == counters.WrongTotal && scored.MissingCount == counters.MissingTotal);
    std::int64_t outcomeWrong = 0;
    std::int64_t outcomeMissing = 0;
    for (const rivek::CharOutcome& outcome : rivek::CharOutcomes(scored.Alignment)) {
        REQUIRE(outcome.WrongCount >= 0 && outcome.MissingCount >= 0);
        REQUIRE((outcome.Result == rivek::CharResult::Extra) == outcome.Sent.empty());
        REQUIRE((outcome.Result == rivek::CharResult::Right) == (outcome.WrongCount + outcome.MissingCount == 0));
        outcomeWrong += outcome.WrongCount;
        outcomeMissing += outcome.MissingCount;
    }
    REQUIRE(outcomeWrong == scored.WrongCount && outcomeMissing == scored.MissingCount);
    REQUIRE(counters.WrongTotal >= 0 && counters.MissingTotal >= 0);
    REQUIRE(3 * static_cast<std::int64_t>(counters.WrongTotal) + counters.MissingTotal ==
            alignment.EndCost);
    // Line 1 is " " + sent + CR LF; line 2 shows every sent byte that was not
    // typed and every typed byte once.
    REQUIRE(view.shown.compare(0, alignment.SentDisplay.size(), alignment.SentDisplay) == 0);
    return 0;
}
