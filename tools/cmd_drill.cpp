// rivek-tool drill: practice audio to take along, drawn and sounded as the
// drill sends its groups, written as a sound file with its answer key.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "audio_file/sound_file_writer.h"
#include "drill/drill_files.h"
#include "drill/practice_audio.h"
#include "drill/spin_range.h"
#include "morse/code_table.h"
#include "platform/files.h"
#include "platform/random_source.h"
#include "platform/shift_jis.h"
#include "platform/upper_case.h"
#include "tone/wave_builder.h"
#include "tools/tool_common.h"

namespace rivek::tool {
namespace {

constexpr std::string_view kCommand = "drill";

constexpr std::string_view kDrillUsage =
    "Usage: rivek-tool drill [OPTIONS] OUT\n"
    "\n"
    "Writes practice audio to OUT: groups of characters drawn as Rivek's drill\n"
    "draws them, each sounding as Rivek sends it, with a pause between groups;\n"
    "and the answer key, the groups numbered one a line, as a text file beside\n"
    "it. OUT's extension picks the format: .wav, .flac, .ogg (Ogg Vorbis) or\n"
    ".mp3. OUT '-' is standard output (give --format).\n"
    "\n"
    "The characters (default: the first line of Rivek.dat in the current\n"
    "folder, as Rivek reads it, or A to Z without it):\n"
    "  --pool FILE    a character-set file, read as Rivek reads Rivek.dat\n"
    "  --pool SET     an example set by name: koch-01 ... koch-38, digits,\n"
    "                 signs, kana, mixed\n"
    "  --chars TEXT   the characters of TEXT (repeats count more often)\n"
    "  --hex          TEXT is code page 932 bytes as hex digit pairs\n"
    "\n"
    "Groups:\n"
    "  --groups N     how many groups, 1 to 100000 (default 100)\n"
    "  --length L     characters a group, 1 to 15 (default 5)\n"
    "  --seed N       0 to 4294967295: the same seed gives the same groups, the\n"
    "                 ones a drill started with that seed sends (default: the\n"
    "                 time of day, as Rivek seeds a drill)\n"
    "\n"
    "Sound:\n"
    "  --freq F       tone frequency in Hz, 100 to 5000 (default 800)\n"
    "  --speed S      character speed in characters per minute on the PARIS\n"
    "                 scale, 30 to 300 (default 100)\n"
    "  --effective E  Farnsworth: overall speed, 30 to S; the characters keep\n"
    "                 speed S and the gaps between them grow (default S)\n"
    "  --rise MS      rise and fall time of each tone in ms, 0 to 10; 5 keys\n"
    "                 without clicks (default 0, Rivek's sound)\n"
    "  --pause SEC    silence between groups in seconds, 0 to 60, at most\n"
    "                 three decimals (default 2)\n"
    "  --abbreviated  the digits 0 1 2 3 7 8 9 in their abbreviated form\n"
    "\n"
    "Output:\n"
    "  --format NAME  wav, flac, ogg or mp3, whatever OUT's extension\n"
    "  --key FILE     the answer key (default: OUT with the extension .txt;\n"
    "                 none for OUT '-' unless given); '-' is standard output\n"
    "  --help         show this help\n"
    "\n"
    "A file is written whole or not at all: it takes the place of an older\n"
    "file of that name only once complete.\n";

constexpr std::int32_t kMaxGroups = 100'000;

struct DrillOptions {
    PracticeAudioSettings audio;
    std::optional<std::string> poolSource;  // --pool
    std::optional<std::string> chars;       // --chars
    bool hex = false;
    std::optional<std::uint32_t> seed;
    std::optional<std::int32_t> effectiveSpeed;
    std::optional<std::string> format;
    std::optional<std::string> keyPath;
    std::vector<std::string> operands;
};

int UsageError(std::string_view message) {
    PrintError(kCommand, message);
    std::cerr << '\n' << kDrillUsage;
    return kExitUsage;
}

int BadInput(std::string_view message) {
    PrintError(kCommand, message);
    return kExitUsage;
}

// Seconds with at most three decimals, as whole milliseconds within
// [0, highMs]: "2", "1.5", "0.125".
std::optional<std::int32_t> MillisecondsOf(std::string_view text, std::int32_t highMs) {
    const std::size_t dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    const std::string_view fraction = dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
    if (dot != std::string_view::npos && (fraction.empty() || fraction.size() > 3)) return std::nullopt;
    if (!std::all_of(fraction.begin(), fraction.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const auto seconds = NumberInRange(whole, 0, highMs / 1000);
    if (!seconds) return std::nullopt;
    std::int64_t ms = *seconds * 1000;
    std::int64_t scale = 100;
    for (const char digit : fraction) {
        ms += (digit - '0') * scale;
        scale /= 10;
    }
    if (ms > highMs) return std::nullopt;
    return static_cast<std::int32_t>(ms);
}

// The options that take a whole number: their range and where they go.
struct NumberOption {
    std::string_view name;
    std::int64_t low;
    std::int64_t high;
    std::string_view unit;  // for the message, e.g. " (Hz)"
    void (*store)(DrillOptions&, std::int64_t);
};

constexpr NumberOption kNumberOptions[] = {
    {"--groups", 1, kMaxGroups, "", [](DrillOptions& o, std::int64_t v) { o.audio.groupCount = static_cast<std::int32_t>(v); }},
    {"--length", RangeOf(Setting::GroupLength).minimum, RangeOf(Setting::GroupLength).maximum, "",
     [](DrillOptions& o, std::int64_t v) { o.audio.groupLength = static_cast<std::int32_t>(v); }},
    {"--seed", 0, UINT32_MAX, "", [](DrillOptions& o, std::int64_t v) { o.seed = static_cast<std::uint32_t>(v); }},
    {"--freq", kMinFrequencyHz, kMaxFrequencyHz, " (Hz)",
     [](DrillOptions& o, std::int64_t v) { o.audio.frequencyHz = static_cast<std::int32_t>(v); }},
    {"--speed", kMinSpeedParis, kMaxSpeedParis, "",
     [](DrillOptions& o, std::int64_t v) { o.audio.speedParis = static_cast<std::int32_t>(v); }},
    {"--effective", kMinSpeedParis, kMaxSpeedParis, "",
     [](DrillOptions& o, std::int64_t v) { o.effectiveSpeed = static_cast<std::int32_t>(v); }},
    {"--rise", 0, kMaxRiseTimeMs, " (ms)",
     [](DrillOptions& o, std::int64_t v) { o.audio.tone.riseTimeMs = static_cast<std::int32_t>(v); }},
};

// Takes the value of an option that has one; an exit status on a bad value.
std::optional<int> SetOption(const std::string& name, const std::string& value, DrillOptions& options) {
    if (name == "--pool") {
        options.poolSource = value;
    } else if (name == "--chars") {
        options.chars = value;
    } else if (name == "--format") {
        options.format = value;
    } else if (name == "--key") {
        options.keyPath = value;
    } else if (name == "--pause") {
        const auto ms = MillisecondsOf(value, kMaxPracticePauseMs);
        if (!ms) return BadInput("--pause must be seconds from 0 to 60 with at most three decimals, not '" + value + "'");
        options.audio.pauseMs = *ms;
    } else {
        for (const NumberOption& option : kNumberOptions) {
            if (option.name != name) continue;
            const auto number = NumberInRange(value, option.low, option.high);
            if (!number) {
                return BadInput(name + " must be a whole number from " + std::to_string(option.low) + " to " +
                                std::to_string(option.high) + std::string(option.unit) + ", not '" + value + "'");
            }
            option.store(options, *number);
            return std::nullopt;
        }
        return UsageError("unknown option '" + name + "'");
    }
    return std::nullopt;
}

bool TakesValue(std::string_view name) {
    static constexpr std::string_view kText[] = {"--pool", "--chars", "--format", "--key", "--pause"};
    return std::find(std::begin(kText), std::end(kText), name) != std::end(kText) ||
           std::any_of(std::begin(kNumberOptions), std::end(kNumberOptions),
                       [name](const NumberOption& option) { return option.name == name; });
}

// Returns an exit status when the command ends here (help or a usage error).
std::optional<int> ParseDrillOptions(const std::vector<std::string>& args, DrillOptions& options) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            options.operands.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            std::cout << kDrillUsage;
            return kExitOk;
        } else if (arg == "--abbreviated") {
            options.audio.abbreviatedNumerals = true;
        } else if (arg == "--hex") {
            options.hex = true;
        } else {
            // --name VALUE or --name=VALUE.
            const std::size_t equals = arg.find('=');
            const std::string name = arg.substr(0, equals);
            if (!TakesValue(name)) return UsageError("unknown option '" + arg + "'");
            std::string value;
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                return UsageError(name + " needs a value");
            }
            if (const auto status = SetOption(name, value, options)) return status;
        }
    }
    return std::nullopt;
}

// The folder of example sets beside the program: <prefix>/bin/rivek-tool
// finds <prefix>/share/doc/rivek/examples, and so does the build tree.
std::string ExamplesFolder() {
    std::string exe(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", exe.data(), exe.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= exe.size()) return "";
    exe.resize(static_cast<std::size_t>(length));
    return exe.substr(0, exe.rfind('/')) + "/../share/doc/rivek/examples";
}

// The names of the example sets, sorted, for a message.
std::string ExampleSetNames(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string_view name = entry->d_name;
            if (name.size() > 4 && name.ends_with(".dat")) names.emplace_back(name.substr(0, name.size() - 4));
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    // A numbered series shows as its first and last: koch-01 ... koch-38.
    auto series = [](const std::string& name) {
        const std::size_t dash = name.rfind('-');
        const bool numbered = dash != std::string::npos && dash + 1 < name.size() &&
                              std::all_of(name.begin() + static_cast<std::ptrdiff_t>(dash) + 1, name.end(),
                                          [](char c) { return c >= '0' && c <= '9'; });
        return numbered ? name.substr(0, dash) : std::string{};
    };
    std::string list;
    for (std::size_t i = 0; i < names.size();) {
        std::size_t last = i;
        const std::string stem = series(names[i]);
        while (!stem.empty() && last + 1 < names.size() && series(names[last + 1]) == stem) ++last;
        list += (list.empty() ? "" : ", ") + names[i];
        if (last > i) list += (last > i + 1 ? " ... " : ", ") + names[last];
        i = last + 1;
    }
    return list;
}

bool IsSetName(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    });
}

bool IsRegularFile(const std::string& path) {
    const int fd = OpenRegularFileForReading(path.c_str());
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

// The characters of --chars: upper-cased, the bytes with a Morse code kept
// in order with repeats, at most as many as the drill's pool holds. A
// double-byte character is passed over whole. Names what it passes over.
void FillPoolFromText(CharPool& pool, const CodeTable& table, std::string text) {
    UpperCaseInPlace(text);
    std::string passedOver;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool doubleByte = IsShiftJisLeadByte(byte) && i + 1 < text.size();
        if (doubleByte || table[byte] == 0) {
            const std::string character = text.substr(i, doubleByte ? 2 : 1);
            passedOver += (passedOver.empty() ? "'" : ", '") + Cp932ToUtf8(character) + "'";
            i += doubleByte ? 1 : 0;
            continue;
        }
        if (pool.PoolLength < kCharPoolCapacity) pool.CharPool[static_cast<std::size_t>(pool.PoolLength++)] = byte;
    }
    if (!passedOver.empty()) PrintError(kCommand, "passed over, no Morse code: " + passedOver);
}

// Fills the pool from the options; an exit status on bad input.
std::optional<int> LoadPool(const DrillOptions& options, const CodeTable& table, CharPool& pool) {
    if (options.chars && options.poolSource) return UsageError("give either --pool or --chars, not both");
    if (options.chars) {
        const auto text = TextArgument(*options.chars, options.hex, "--chars");
        if (!text) return kExitUsage;
        FillPoolFromText(pool, table, *text);
        if (pool.PoolLength == 0) return BadInput("--chars has no character with a Morse code");
        return std::nullopt;
    }
    if (options.hex) return UsageError("--hex applies to --chars only");

    std::string path = kCharSetFileName;
    std::string what = "'" + path + "' in the current folder";
    if (options.poolSource) {
        const std::string& source = *options.poolSource;
        const std::string folder = ExamplesFolder();
        if (source.find('/') == std::string::npos && !IsRegularFile(source) && IsSetName(source)) {
            path = folder + "/" + source + ".dat";
            what = "the set '" + source + "'";
            if (!IsRegularFile(path)) {
                const std::string names = ExampleSetNames(folder);
                return BadInput("no character set named '" + source + "' and no such file" +
                                (names.empty() ? std::string(" (the example sets are not installed)")
                                               : "; the sets are " + names));
            }
        } else {
            path = source;
            what = "'" + source + "'";
            if (!IsRegularFile(path)) return BadInput("cannot read the character set " + what + ": not a readable file");
        }
        LoadCharPool(pool, table, path.c_str());
    } else {
        LoadCharPool(pool, table);
        if (!IsRegularFile(path)) what = "A to Z";
    }
    if (pool.PoolLength == 0) {
        return BadInput("the first line of " + what + " has no character with a Morse code");
    }
    return std::nullopt;
}

std::string DefaultKeyPath(const std::string& out) {
    const std::size_t slash = out.rfind('/');
    const std::size_t dot = out.rfind('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (hasExtension ? out.substr(0, dot) : out) + ".txt";
}

// "1 h 02 min", "3 min 20 s", for the size messages.
std::string Duration(std::int64_t samples) {
    const std::int64_t seconds = samples / kSampleRateHz;
    if (seconds >= 3600) return std::to_string(seconds / 3600) + " h " + std::to_string(seconds / 60 % 60) + " min";
    return std::to_string(seconds / 60) + " min " + std::to_string(seconds % 60) + " s";
}

// A signal that asks the tool to stop while it writes: the stream stops
// within a block, the files it began are removed, and then the tool ends
// by that same signal.
volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void NoteStopSignal(int signal) { gStopSignal = signal; }

class StopSignals {
public:
    // Without SA_RESTART, so that a blocking call (opening a FIFO that no
    // one reads yet) gives up and the signal is obeyed.
    StopSignals() {
        struct sigaction action {};
        action.sa_handler = NoteStopSignal;
        sigemptyset(&action.sa_mask);
        for (const int signal : kSignals) ::sigaction(signal, &action, nullptr);
    }
    ~StopSignals() {
        for (const int signal : kSignals) std::signal(signal, SIG_DFL);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    // SIGPIPE too: a reader of standard output that goes away ends the
    // tool as it would end any filter, once its files are cleaned up.
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
};

// Shows the share written, on a terminal only.
class ProgressLine {
public:
    explicit ProgressLine(std::string label) : label_(std::move(label)), shown_(::isatty(STDERR_FILENO) == 1) {}
    void Show(std::int64_t done, std::int64_t total) {
        if (!shown_ || total <= 0) return;
        const auto percent = static_cast<int>(done * 100 / total);
        if (percent == lastPercent_) return;
        lastPercent_ = percent;
        std::cerr << "\rrivek-tool drill: " << label_ << ' ' << percent << " %" << std::flush;
    }
    ~ProgressLine() {
        if (shown_ && lastPercent_ >= 0) std::cerr << '\n';
    }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

private:
    std::string label_;
    bool shown_;
    int lastPercent_ = -1;
};

// What the command line asks to be written, checked.
struct DrillRequest {
    std::string out;
    SoundFileFormat format = SoundFileFormat::Wav;
    std::optional<std::string> keyPath;  // none: no key
};

// The output, its format (from --format or OUT's extension) and the key's
// path; the effective speed goes into the audio settings. An exit status
// on a usage error.
std::variant<DrillRequest, int> CheckRequest(DrillOptions& options) {
    if (options.operands.size() != 1) {
        return UsageError(options.operands.empty() ? "needs an output file OUT" : "takes one output file OUT");
    }
    DrillRequest request;
    request.out = options.operands[0];
    const std::string& out = request.out;
    if (out.empty()) return UsageError("OUT is empty");
    if (options.effectiveSpeed) {
        if (*options.effectiveSpeed > options.audio.speedParis) {
            return BadInput("--effective (" + std::to_string(*options.effectiveSpeed) + ") must not be above --speed (" +
                            std::to_string(options.audio.speedParis) + ")");
        }
        options.audio.tone.effectiveSpeedParis = *options.effectiveSpeed;
    }

    std::optional<SoundFileFormat> format;
    if (options.format) {
        format = SoundFileFormatNamed(*options.format);
        if (!format) return BadInput("unknown format '" + *options.format + "'; the formats are wav, flac, ogg, mp3");
    } else if (out == "-") {
        return BadInput("give --format (wav, flac, ogg or mp3) to write to standard output");
    } else {
        format = SoundFileFormatOfPath(out);
        if (!format) {
            return BadInput("cannot tell the format of '" + out +
                            "' from its extension; name it .wav, .flac, .ogg or .mp3, or give --format");
        }
    }
    if (!SoundFileFormatAvailable(*format)) {
        return BadInput("the sound file library here does not write " + std::string(SoundFileFormatTitle(*format)));
    }
    request.format = *format;

    request.keyPath = options.keyPath;
    if (!request.keyPath && out != "-") request.keyPath = DefaultKeyPath(out);
    if (request.keyPath && request.keyPath->empty()) return UsageError("--key is empty");
    if (request.keyPath && *request.keyPath == out) {
        return BadInput("the answer key and the audio cannot both go to '" + out + "'");
    }
    return request;
}

// Ends the tool by the stop signal that came.
int RaiseStopSignal() {
    const int signal = gStopSignal;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return kExitFailure;
}

// Writes the audio and the key, each whole or not at all. A stop signal
// ends the tool by that signal, once the files it began are gone: it is
// noted, and obeyed at the next step or block.
int WriteFiles(const PracticePlan& plan, const DrillRequest& request) {
    const StopSignals signals;
    const std::string& out = request.out;

    // Both outputs are opened before anything is written, so that a path
    // that cannot be written leaves no file at all.
    std::string error;
    std::optional<OutputFile> audioFile = OutputFile::Open(out, error);
    if (gStopSignal != 0) {
        audioFile.reset();
        return RaiseStopSignal();
    }
    if (!audioFile) return BadInput("cannot write '" + out + "': " + error);
    std::optional<OutputFile> keyFile = request.keyPath ? OutputFile::Open(*request.keyPath, error) : std::nullopt;
    // Removes what was begun, and nothing else, before the signal ends all.
    auto endBySignal = [&] {
        audioFile.reset();
        keyFile.reset();
        return RaiseStopSignal();
    };
    if (gStopSignal != 0) return endBySignal();
    if (request.keyPath) {
        const std::string& keyPath = *request.keyPath;
        if (!keyFile) return BadInput("cannot write the answer key '" + keyPath + "': " + error);
        if (!keyFile->Write(Cp932ToUtf8(PracticeAnswerKey(plan.groups)))) {
            PrintError(kCommand, "cannot write the answer key '" + keyPath + "'");
            return kExitFailure;
        }
    }

    const std::unique_ptr<SoundFileWriter> writer =
        SoundFileWriter::Open(audioFile->Descriptor(), request.format, plan.totalSamples, error);
    if (gStopSignal != 0) return endBySignal();
    if (!writer) {
        PrintError(kCommand, "cannot write '" + out + "': " + error);
        return kExitFailure;
    }
    std::stop_source stop;
    PracticeAudioOutcome outcome;
    {
        ProgressLine progress("writing " + out);
        outcome = StreamPracticeAudio(
            plan, *writer,
            [&](std::int64_t done, std::int64_t total) {
                progress.Show(done, total);
                if (gStopSignal != 0) stop.request_stop();
            },
            stop.get_token());
    }
    if (gStopSignal != 0) return endBySignal();
    const bool finished = writer->Finish(error);
    if (gStopSignal != 0) return endBySignal();

    if (outcome != PracticeAudioOutcome::Done || !finished || !audioFile->Commit(error)) {
        PrintError(kCommand, "cannot write '" + out + "': " + error);
        return kExitFailure;
    }
    if (keyFile && !keyFile->Commit(error)) {
        PrintError(kCommand, "cannot write the answer key '" + *request.keyPath + "': " + error);
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace

int RunDrill(const std::vector<std::string>& args) {
    DrillOptions options;
    if (const auto status = ParseDrillOptions(args, options)) return *status;
    const std::variant<DrillRequest, int> checked = CheckRequest(options);
    if (const int* status = std::get_if<int>(&checked)) return *status;
    const DrillRequest& request = std::get<DrillRequest>(checked);

    CodeTable table;
    ResetCodeTable(table);
    CharPool pool;
    if (const auto status = LoadPool(options, table, pool)) return *status;

    RandomSource random(options.seed.value_or(MillisecondsSinceMidnightUtc()));
    const PracticePlan plan = PlanPracticeAudio(pool, random, options.audio);
    const std::int64_t limit = MaxSoundFileSamples(request.format);
    if (plan.totalSamples > limit) {
        return BadInput("the audio would last " + Duration(plan.totalSamples) + ", more than a " +
                        std::string(SoundFileFormatTitle(request.format)) + " file holds (" + Duration(limit) +
                        "); write fewer groups or another format");
    }
    if (request.out == "-" && ::isatty(STDOUT_FILENO) == 1) {
        return BadInput("standard output is a terminal; redirect it to a file or a program");
    }
    return WriteFiles(plan, request);
}

}  // namespace rivek::tool
