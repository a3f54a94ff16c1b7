// Scoring of one trial: the correction shown through a ResultView, the drill
// counters, and the four score labels.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "checking/alignment.h"

namespace rivek {

struct Rgb {
    std::uint8_t red, green, blue;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kBlack{0, 0, 0};    // sent line, correct characters
inline constexpr Rgb kRed{255, 0, 0};    // wrong or extra typed characters
inline constexpr Rgb kBlue{0, 0, 255};   // missing sent characters

// The two-line result box. Texts are code page 932 bytes; a CR LF in a text
// starts the second line.
class ResultView {
public:
    virtual ~ResultView() = default;
    // Removes all text; the insertion point goes to the start.
    virtual void Clear() = 0;
    // Inserts the text at the end, in bold and in the colour.
    virtual void AppendBold(std::string_view text, Rgb colour) = 0;
};

enum class ScoreLabel {
    Wrong,    // StaticText4, "誤字：" + WrongTotal
    Missing,  // StaticText5, "脱字：" + MissingTotal
    Penalty,  // StaticText6, "減点：" + 3 * WrongTotal + MissingTotal
    TrialNo,  // StaticText7, "No." + TrialNo
};

// Where the score labels are written; texts are code page 932 bytes.
class ScoreLabels {
public:
    virtual ~ScoreLabels() = default;
    virtual void SetLabelText(ScoreLabel label, std::string_view text) = 0;
};

// The drill counters. TrialNo is 0 until the first Enter of a drill, then
// the number of the group being answered. The counters saturate at the top
// of their range instead of wrapping; the penalty is computed in 64 bits.
struct DrillCounters {
    std::int32_t TrialNo = 0;
    std::int32_t WrongTotal = 0;
    std::int32_t MissingTotal = 0;
};

// The label texts for the counters as they stand, in code page 932.
std::string LabelText(ScoreLabel label, const DrillCounters& counters);

// What one scoring found, for a caller that keeps more than the counters
// (a history of trials): the alignment it showed and the trial's own
// counts. Nothing is aligned a second time to get them.
struct ScoredTrial {
    // False after the first Enter of a drill, which answers no group; the
    // other members are then empty and 0.
    bool Scored = false;
    AnswerAlignment Alignment;
    // The trial's counts as they were added to the totals: extra typed
    // bytes plus differing pairs, and sent bytes not typed.
    std::int32_t WrongCount = 0;
    std::int32_t MissingCount = 0;
};

// Scores one trial. With TrialNo 0 only sets TrialNo to 1. Otherwise aligns
// the texts, rewrites the result view (line 1 the sent group in black,
// line 2 the correction), adds the trial's counts, advances TrialNo and
// rewrites the four labels in the order Wrong, Missing, Penalty, TrialNo.
// Line 1 is one AppendBold of " " + sent + CR LF; on line 2 each pair is a
// segment of its own and each run of missing or extra bytes one segment. A
// byte of a double-byte character whose other byte falls outside its
// segment is shown as the geta mark 〓 (81 AC). Returns what it found.
ScoredTrial prn(DrillCounters& counters, ResultView& view, ScoreLabels& labels,
         std::string_view sent, std::string_view typed);

}  // namespace rivek
