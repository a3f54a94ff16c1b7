// rivek-tool check: lines an answer up with a sent group and scores it with
// the same code as the window's Enter key, then shows the two result lines
// and the trial's counts, or everything as one JSON object.
#include <unistd.h>

#include <cstdint>
#include <iostream>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "checking/alignment.h"
#include "checking/scoring.h"
#include "platform/shift_jis.h"
#include "tools/tool_common.h"

namespace rivek::tool {
namespace {

constexpr std::string_view kCheckUsage =
    "Usage: rivek-tool check [--hex] [--json] SENT TYPED\n"
    "\n"
    "Checks the answer TYPED against the group SENT as Rivek scores a trial:\n"
    "prints the sent group, the correction (black correct, red wrong or extra,\n"
    "blue missing; colours only on a terminal) and the trial's counts.\n"
    "\n"
    "Options:\n"
    "  --hex    SENT and TYPED are code page 932 bytes as hex digit pairs\n"
    "           (default: UTF-8 text; full-width kana, hiragana and\n"
    "           letters count as their half-width twins, as typed into\n"
    "           Rivek's answer field)\n"
    "  --json   print one JSON object: the alignment's nodes, line 2 as\n"
    "           segments of hex bytes with their colours, and the counts\n"
    "  --help   show this help\n"
    "  --       end of options (for a text that starts with '-')\n";

// Keeps what the scoring writes, in order.
class SegmentRecorder : public ResultView {
public:
    void Clear() override { segments.clear(); }
    void AppendBold(std::string_view text, Rgb colour) override { segments.emplace_back(std::string(text), colour); }

    std::vector<std::pair<std::string, Rgb>> segments;
};

class IgnoredLabels : public ScoreLabels {
public:
    void SetLabelText(ScoreLabel, std::string_view) override {}
};

std::string_view ColourName(Rgb colour) {
    if (colour == kRed) return "red";
    if (colour == kBlue) return "blue";
    return "black";
}

// Bold in the colour; black is the terminal's own foreground, which stays
// readable on dark backgrounds too.
std::string_view AnsiStart(Rgb colour) {
    if (colour == kRed) return "\x1b[1;31m";
    if (colour == kBlue) return "\x1b[1;34m";
    return "\x1b[1m";
}
constexpr std::string_view kAnsiReset = "\x1b[0m";

// A segment as terminal text: UTF-8, with control bytes (which an answer
// given in hex may hold) shown as U+FFFD so that they can't steer the
// terminal.
std::string TerminalText(std::string_view cp932) {
    std::string utf8 = Cp932ToUtf8(cp932);
    std::string shown;
    shown.reserve(utf8.size());
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            shown += "\xEF\xBF\xBD";
        } else {
            shown.push_back(c);
        }
    }
    return shown;
}

void PrintSegment(std::string_view text, Rgb colour, bool ansi) {
    if (ansi) std::cout << AnsiStart(colour);
    std::cout << TerminalText(text);
    if (ansi) std::cout << kAnsiReset;
}

void PrintJson(const AnswerAlignment& alignment, const SegmentRecorder& view, std::int64_t wrong,
               std::int64_t missing) {
    std::cout << "{\"nodes\": [";
    for (std::int32_t n = alignment.NodeCount - 1; n >= 0; --n) {
        const auto at = static_cast<std::size_t>(n);
        std::cout << '[' << alignment.PathSent[at] << ", " << alignment.PathTyped[at] << ']';
        if (n != 0) std::cout << ", ";
    }
    std::cout << "], \"segments\": [";
    // The first segment is line 1; the correction follows it.
    for (std::size_t s = 1; s < view.segments.size(); ++s) {
        if (s != 1) std::cout << ", ";
        std::cout << "{\"colour\": \"" << ColourName(view.segments[s].second) << "\", \"hex\": \""
                  << ToHex(view.segments[s].first) << "\"}";
    }
    std::cout << "], \"wrong\": " << wrong << ", \"missing\": " << missing
              << ", \"penalty\": " << 3 * wrong + missing << "}\n";
}

int UsageError(std::string_view message) {
    PrintError("check", message);
    std::cerr << kCheckUsage;
    return kExitUsage;
}

struct CheckArguments {
    bool hex = false;
    bool json = false;
    std::vector<std::string> texts;
};

// The options and the two texts; an exit status when the command ends here
// (help shown, or a usage error).
std::variant<CheckArguments, int> ParseArguments(const std::vector<std::string>& args) {
    CheckArguments parsed;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (arg == "--hex") {
                parsed.hex = true;
            } else if (arg == "--json") {
                parsed.json = true;
            } else if (arg == "--help" || arg == "-h") {
                std::cout << kCheckUsage;
                return kExitOk;
            } else if (arg == "--") {
                optionsEnded = true;
            } else {
                return UsageError("unknown option '" + arg + "'");
            }
            continue;
        }
        parsed.texts.push_back(arg);
    }
    if (parsed.texts.size() != 2) return UsageError("needs two texts, SENT and TYPED");
    return parsed;
}

// The correction as the window shows it: line 1, then line 2 in colours,
// then the counts.
void PrintCorrection(const SegmentRecorder& view, std::int64_t wrong, std::int64_t missing) {
    const bool ansi = isatty(STDOUT_FILENO) == 1;
    for (std::size_t s = 0; s < view.segments.size(); ++s) {
        std::string_view text = view.segments[s].first;
        if (s == 0 && text.ends_with("\r\n")) text.remove_suffix(2);
        PrintSegment(text, view.segments[s].second, ansi);
        if (s == 0) std::cout << '\n';
    }
    std::cout << '\n'
              << "wrong " << wrong << ", missing " << missing << ", penalty " << 3 * wrong + missing << '\n';
}

}  // namespace

int RunCheck(const std::vector<std::string>& args) {
    const std::variant<CheckArguments, int> parsed = ParseArguments(args);
    if (const int* status = std::get_if<int>(&parsed)) return *status;
    const CheckArguments& arguments = std::get<CheckArguments>(parsed);

    const auto sent = TextArgument(arguments.texts[0], arguments.hex, "SENT");
    if (!sent) return kExitUsage;
    const auto typed = TextArgument(arguments.texts[1], arguments.hex, "TYPED");
    if (!typed) return kExitUsage;
    if (!AlignmentFits(sent->size(), typed->size())) {
        PrintError("check", "the texts are too long to align");
        return kExitUsage;
    }

    // Counters as they stand after the first Enter of a drill, so that the
    // scoring counts this one trial.
    DrillCounters counters;
    counters.TrialNo = 1;
    SegmentRecorder view;
    IgnoredLabels labels;
    const ScoredTrial scored = prn(counters, view, labels, *sent, *typed);
    const std::int64_t wrong = scored.WrongCount;
    const std::int64_t missing = scored.MissingCount;

    if (arguments.json) {
        PrintJson(scored.Alignment, view, wrong, missing);
    } else {
        PrintCorrection(view, wrong, missing);
    }
    return kExitOk;
}

}  // namespace rivek::tool
