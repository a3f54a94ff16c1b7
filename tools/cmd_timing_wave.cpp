// rivek-tool timing and rivek-tool wave: the timing list and the WAV image
// of a text, made by the same encoder and builder as the window's trials.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "drill/spin_range.h"
#include "morse/code_table.h"
#include "morse/timing.h"
#include "platform/shift_jis.h"
#include "platform/upper_case.h"
#include "tone/wave_builder.h"
#include "tools/tool_common.h"

namespace rivek::tool {
namespace {

constexpr std::string_view kTimingUsage =
    "Usage: rivek-tool timing [--abbreviated] [--hex] TEXT\n"
    "\n"
    "Prints the Morse timing list of TEXT as Rivek sends it: the gap and tone\n"
    "lengths in units, separated by spaces, from the 3-unit lead-in gap to the\n"
    "gap after the last character. Gaps stand at even positions (counted from\n"
    "0), tones at odd ones; a dot lasts 1 unit, a dash 3. Characters without a\n"
    "Morse pattern are passed over and named on stderr.\n"
    "\n"
    "Options:\n"
    "  --abbreviated  the digits 0 1 2 3 7 8 9 in their abbreviated form\n"
    "  --hex          TEXT is code page 932 bytes as hex digit pairs\n"
    "                 (default: UTF-8 text; full-width kana, hiragana and\n"
    "                 letters count as their half-width twins)\n"
    "  --help         show this help\n"
    "  --             end of options (for a text that starts with '-')\n";

constexpr std::string_view kWaveUsage =
    "Usage: rivek-tool wave [--freq F] [--speed S] [--abbreviated] [--hex] TEXT FILE\n"
    "\n"
    "Writes to FILE the WAV image that Rivek sounds for TEXT: 16-bit mono PCM\n"
    "at 11025 samples per second, a sine tone with no ramps. Letters a-z count\n"
    "as A-Z; characters without a Morse pattern are passed over and named on\n"
    "stderr.\n"
    "\n"
    "Options:\n"
    "  --freq F       tone frequency in Hz, 100 to 5000 (default 800)\n"
    "  --speed S      speed in characters per minute on the PARIS scale,\n"
    "                 30 to 300 (default 100)\n"
    "  --abbreviated  the digits 0 1 2 3 7 8 9 in their abbreviated form\n"
    "  --hex          TEXT is code page 932 bytes as hex digit pairs\n"
    "                 (default: UTF-8 text; full-width kana, hiragana and\n"
    "                 letters count as their half-width twins)\n"
    "  --help         show this help\n"
    "  --             end of options (for a text that starts with '-')\n";

constexpr std::int32_t kDefaultFrequencyHz = RangeOf(Setting::Frequency).initial;
constexpr std::int32_t kDefaultSpeedParis = RangeOf(Setting::Speed).initial;

struct Options {
    bool abbreviated = false;
    bool hex = false;
    std::int32_t frequencyHz = kDefaultFrequencyHz;
    std::int32_t speedParis = kDefaultSpeedParis;
    std::vector<std::string> operands;
};

int UsageError(std::string_view command, std::string_view usage, std::string_view message) {
    PrintError(command, message);
    std::cerr << '\n' << usage;
    return kExitUsage;
}

// Parses the options of both commands; `withTone` admits --freq and --speed.
// Returns an exit status when the command ends here (help or a usage error).
std::optional<int> ParseOptions(const std::vector<std::string>& args, std::string_view command,
                                std::string_view usage, bool withTone, Options& options) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            options.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            std::cout << usage;
            return kExitOk;
        } else if (arg == "--abbreviated") {
            options.abbreviated = true;
        } else if (arg == "--hex") {
            options.hex = true;
        } else if (withTone && (arg.starts_with("--freq") || arg.starts_with("--speed"))) {
            const bool isFrequency = arg.starts_with("--freq");
            const std::string_view name = isFrequency ? "--freq" : "--speed";
            std::string_view value;
            if (arg.size() > name.size() && arg[name.size()] == '=') {
                value = std::string_view(arg).substr(name.size() + 1);
            } else if (arg.size() != name.size()) {
                return UsageError(command, usage, "unknown option '" + arg + "'");
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                return UsageError(command, usage, std::string(name) + " needs a value");
            }
            const std::int32_t low = isFrequency ? kMinFrequencyHz : kMinSpeedParis;
            const std::int32_t high = isFrequency ? kMaxFrequencyHz : kMaxSpeedParis;
            const auto number = NumberInRange(value, low, high);
            if (!number) {
                PrintError(command, std::string(name) + " must be a whole number from " + std::to_string(low) +
                                        " to " + std::to_string(high) + (isFrequency ? " (Hz)" : "") + ", not '" +
                                        std::string(value) + "'");
                return kExitUsage;
            }
            (isFrequency ? options.frequencyHz : options.speedParis) = static_cast<std::int32_t>(*number);
        } else {
            return UsageError(command, usage, "unknown option '" + arg + "'");
        }
    }
    return std::nullopt;
}

// A character for a message: 'X' (hex bytes), or only the hex bytes when
// it has no printable form.
std::string Describe(std::string_view character) {
    std::string hex;
    for (std::size_t i = 0; i < character.size(); ++i) {
        if (i != 0) hex += ' ';
        hex += ToHex(character.substr(i, 1));
    }
    const auto first = static_cast<unsigned char>(character.front());
    const std::string utf8 = Cp932ToUtf8(character);
    if (first < 0x20 || first == 0x7F || utf8.find("\xEF\xBF\xBD") != std::string::npos) return "(" + hex + ")";
    return "'" + utf8 + "' (" + hex + ")";
}

// The encoder looks up byte by byte, as the window does. Names on stderr
// the characters it passes over, and the double-byte characters of which a
// byte does sound (a trail byte may be a Latin letter).
void ReportPassedOver(std::string_view command, const CodeTable& table, std::string_view text) {
    std::string passedOver;
    std::vector<std::string> notes;
    auto add = [&passedOver](const std::string& item) { passedOver += (passedOver.empty() ? "" : ", ") + item; };
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = IsShiftJisLeadByte(byte) && i + 1 < text.size() ? 2 : 1;
        const std::string_view character = text.substr(i, length);
        i += length;
        if (length == 1) {
            if (table[byte] == 0) add(Describe(character));
            continue;
        }
        const auto trail = static_cast<unsigned char>(character[1]);
        if (table[trail] == 0) {
            add(Describe(character));
        } else {
            add("byte " + ToHex(character.substr(0, 1)) + " of " + Describe(character));
            notes.push_back("byte " + ToHex(character.substr(1, 1)) + " of the double-byte character " +
                            Describe(character) + " is sent as " + Describe(character.substr(1, 1)));
        }
    }
    if (!passedOver.empty()) PrintError(command, "passed over, no Morse pattern: " + passedOver);
    for (const std::string& note : notes) PrintError(command, note);
}

// The text argument in code page 932 and its timing list, or an exit status.
struct Encoded {
    std::optional<TimingList> list;
    int exitStatus = kExitOk;
};

Encoded EncodeText(std::string_view command, const Options& options, const std::string& argument) {
    auto text = TextArgument(argument, options.hex, "TEXT");
    if (!text) return {std::nullopt, kExitUsage};
    // The window sends its groups upper-cased (the character pool is).
    UpperCaseInPlace(*text);
    CodeTable table;
    ResetCodeTable(table);
    SetNumeralMode(table, options.abbreviated);
    ReportPassedOver(command, table, *text);
    Encoded encoded{TimingList{}, kExitOk};
    StartTiming(*encoded.list);
    try {
        BuildTiming(*encoded.list, table, *text);
    } catch (const std::length_error&) {
        PrintError(command, "TEXT is too long for one timing list");
        return {std::nullopt, kExitUsage};
    }
    return encoded;
}

bool WriteFile(const std::string& path, const WaveStream& image, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(image.data(), 1, image.size(), file) == image.size();
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (written && closed) return true;
    error = std::strerror(written ? errno : writeErrno);
    std::remove(path.c_str());
    return false;
}

}  // namespace

int RunTiming(const std::vector<std::string>& args) {
    Options options;
    if (const auto status = ParseOptions(args, "timing", kTimingUsage, false, options)) return *status;
    if (options.operands.size() != 1) {
        return UsageError("timing", kTimingUsage,
                          options.operands.empty() ? "needs a TEXT" : "takes one TEXT (quote a text with spaces)");
    }
    const Encoded encoded = EncodeText("timing", options, options.operands[0]);
    if (!encoded.list) return encoded.exitStatus;

    std::string line;
    for (const std::int16_t length : encoded.list->Durations()) {
        if (!line.empty()) line += ' ';
        line += std::to_string(length);
    }
    std::cout << line << '\n';
    return kExitOk;
}

int RunWave(const std::vector<std::string>& args) {
    Options options;
    if (const auto status = ParseOptions(args, "wave", kWaveUsage, true, options)) return *status;
    if (options.operands.size() != 2) {
        return UsageError("wave", kWaveUsage,
                          options.operands.size() < 2 ? "needs a TEXT and a FILE"
                                                      : "takes one TEXT and one FILE (quote a text with spaces)");
    }
    const std::string& path = options.operands[1];
    if (path.empty()) return UsageError("wave", kWaveUsage, "FILE is empty");
    const Encoded encoded = EncodeText("wave", options, options.operands[0]);
    if (!encoded.list) return encoded.exitStatus;

    WaveStream image;
    try {
        BuildWave(image, encoded.list->Durations(), options.frequencyHz, options.speedParis);
    } catch (const std::length_error&) {
        const UnitLength unit = ComputeUnitLength(options.frequencyHz, options.speedParis);
        PrintError("wave", "TEXT is too long for one WAV image: " + std::to_string(encoded.list->TotalUnits()) +
                               " units of " + std::to_string(unit.samplesPerUnit) + " samples, at most " +
                               std::to_string(kMaxWaveSamples) + " samples in all");
        return kExitUsage;
    }

    std::string error;
    if (!WriteFile(path, image, error)) {
        PrintError("wave", "cannot write '" + path + "': " + error);
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace rivek::tool
