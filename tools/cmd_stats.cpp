// rivek-tool stats: the statistics of the history that the Rivek window
// keeps, for the terminal: the latest drill and all time, each character
// worst first with what it was taken for, the most frequent confusions and
// the progress by day; or all of it as one JSON object, or the trials as
// CSV. Reads the history file and never writes it.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "history/trial_csv.h"
#include "platform/shift_jis.h"
#include "storage/history_path.h"
#include "storage/sqlite_history_store.h"
#include "tools/tool_common.h"

namespace rivek::tool {
namespace {

constexpr std::string_view kStatsUsage =
    "Usage: rivek-tool stats [--history FILE] [--chars TEXT] [--hex] [--min-speed S]\n"
    "                        [--max-speed S] [--json | --csv]\n"
    "\n"
    "Prints the statistics of Rivek's history: the latest drill and all time,\n"
    "each character worst first with what it was taken for, the most frequent\n"
    "confusions and the progress by day.\n"
    "\n"
    "Options:\n"
    "  --history FILE  the history to read (default: $XDG_DATA_HOME/rivek/\n"
    "                  history.sqlite3, or ~/.local/share/rivek/history.sqlite3)\n"
    "  --chars TEXT    only the trials drawn from exactly these characters\n"
    "                  (a Koch lesson's characters, for instance)\n"
    "  --hex           TEXT is code page 932 bytes as hex digit pairs\n"
    "  --min-speed S   only trials at S characters per minute or faster\n"
    "  --max-speed S   only trials at S characters per minute or slower\n"
    "  --json          print one JSON object\n"
    "  --csv           print every trial as a line of CSV instead\n"
    "  --help          show this help\n";

int UsageError(std::string_view message) {
    PrintError("stats", message);
    std::cerr << kStatsUsage;
    return kExitUsage;
}

std::optional<std::int32_t> Speed(std::string_view text) {
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
    return value;
}

// Text for the terminal: UTF-8 with control characters shown as U+FFFD.
std::string Shown(std::string_view cp932) {
    const std::string utf8 = Cp932ToUtf8(cp932);
    std::string shown;
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

// A JSON string of code page 932 text.
std::string Json(std::string_view cp932) {
    const std::string utf8 = Cp932ToUtf8(cp932);
    std::string json = "\"";
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            json += escaped;
        } else {
            json += c;
        }
    }
    return json + "\"";
}

std::string Percent(double value) {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string JsonTotals(const Totals& t) {
    std::ostringstream out;
    out << "{\"groups\": " << t.Groups << ", \"sent\": " << t.Sent << ", \"right\": " << t.Right
        << ", \"wrong\": " << t.Wrong << ", \"missing\": " << t.Missing << ", \"extra\": " << t.Extra
        << ", \"wrongCount\": " << t.WrongCount << ", \"missingCount\": " << t.MissingCount
        << ", \"percentRight\": " << Percent(t.PercentRight()) << "}";
    return out.str();
}

void PrintJson(const std::string& file, const HistorySummary& s, const RecordingStatus& status) {
    std::cout << "{\"history\": " << Json(file) << ", \"readable\": " << (status.Message.empty() ? "true" : "false")
              << ", \"latestDrill\": " << JsonTotals(s.ThisDrill) << ", \"allTime\": " << JsonTotals(s.AllTime)
              << ", \"characters\": [";
    for (std::size_t k = 0; k < s.Characters.size(); ++k) {
        const CharacterStats& c = s.Characters[k];
        std::cout << (k ? ", " : "") << "{\"sent\": " << Json(c.Sent) << ", \"times\": " << c.Times
                  << ", \"right\": " << c.Right << ", \"wrong\": " << c.Wrong << ", \"missing\": " << c.Missing
                  << ", \"percentRight\": " << Percent(c.PercentRight()) << ", \"takenFor\": [";
        for (std::size_t t = 0; t < c.TakenFor.size(); ++t) {
            std::cout << (t ? ", " : "") << "{\"typed\": " << Json(c.TakenFor[t].Typed)
                      << ", \"times\": " << c.TakenFor[t].Times << "}";
        }
        std::cout << "]}";
    }
    std::cout << "], \"confusions\": [";
    for (std::size_t k = 0; k < s.Confusions.size(); ++k) {
        const Confusion& c = s.Confusions[k];
        std::cout << (k ? ", " : "") << "{\"sent\": " << Json(c.Sent) << ", \"typed\": " << Json(c.Typed)
                  << ", \"times\": " << c.Times << "}";
    }
    std::cout << "], \"days\": [";
    for (std::size_t k = 0; k < s.Days.size(); ++k) {
        const DayProgress& d = s.Days[k];
        std::cout << (k ? ", " : "") << "{\"day\": \"" << DayText(d.Day) << "\", \"groups\": " << d.Groups
                  << ", \"sent\": " << d.Sent << ", \"right\": " << d.Right
                  << ", \"percentRight\": " << Percent(d.PercentRight())
                  << ", \"meanSpeedCpm\": " << Percent(d.MeanSpeedCpm()) << ", \"topSpeedCpm\": " << d.TopSpeedCpm
                  << "}";
    }
    std::cout << "]}\n";
}

void PrintTotals(const char* name, const Totals& t) {
    std::printf("%-13s %8lld %11lld %6s %%  %7lld %8lld %6lld\n", name, static_cast<long long>(t.Groups),
                static_cast<long long>(t.Sent), Percent(t.PercentRight()).c_str(), static_cast<long long>(t.Wrong),
                static_cast<long long>(t.Missing), static_cast<long long>(t.Extra));
}

void PrintText(const std::string& file, const HistorySummary& s) {
    std::printf("History: %s\n\n", file.c_str());
    std::printf("%-13s %8s %11s %8s  %7s %8s %6s\n", "", "groups", "characters", "right", "wrong", "missing", "extra");
    PrintTotals("Latest drill", s.ThisDrill);
    PrintTotals("All time", s.AllTime);

    std::printf("\nCharacters, worst first:\n");
    std::printf("  %-9s %7s %8s  %s\n", "character", "sent", "right", "taken for");
    for (const CharacterStats& c : s.Characters) {
        std::string takenFor;
        for (const TypedTimes& t : c.TakenFor) {
            takenFor += (takenFor.empty() ? "" : ", ") + Shown(t.Typed) + " " + std::to_string(t.Times);
        }
        // Padded by hand: in code page 932 a character takes as many columns
        // as it has bytes, whatever its length in UTF-8.
        const int padding = std::max(0, 9 - static_cast<int>(c.Sent.size()));
        if (!takenFor.empty()) takenFor = "  " + takenFor;
        std::printf("  %s%*s %7lld %6s %%%s\n", Shown(c.Sent).c_str(), padding, "", static_cast<long long>(c.Times),
                    Percent(c.PercentRight()).c_str(), takenFor.c_str());
    }

    std::printf("\nMost frequent confusions (sent -> typed):\n");
    for (const Confusion& c : s.Confusions) {
        std::printf("  %s -> %s  %lld\n", Shown(c.Sent).c_str(), Shown(c.Typed).c_str(),
                    static_cast<long long>(c.Times));
    }

    std::printf("\nProgress by day:\n");
    std::printf("  %-10s %7s %11s %8s  %s\n", "day", "groups", "characters", "right", "speed (mean, top)");
    for (const DayProgress& d : s.Days) {
        std::printf("  %-10s %7lld %11lld %6s %%  %s, %d\n", DayText(d.Day).c_str(), static_cast<long long>(d.Groups),
                    static_cast<long long>(d.Sent), Percent(d.PercentRight()).c_str(),
                    Percent(d.MeanSpeedCpm()).c_str(), d.TopSpeedCpm);
    }
}

}  // namespace

int RunStats(const std::vector<std::string>& args) {
    std::string file;
    std::optional<std::string> poolText;
    bool hex = false;
    bool json = false;
    bool csv = false;
    StatisticsFilter filter;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 < args.size()) return args[++i];
            return std::nullopt;
        };
        if (arg == "--help" || arg == "-h") {
            std::cout << kStatsUsage;
            return kExitOk;
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--csv") {
            csv = true;
        } else if (arg == "--hex") {
            hex = true;
        } else if (arg == "--history" || arg == "--chars" || arg == "--min-speed" || arg == "--max-speed") {
            const std::optional<std::string> given = value();
            if (!given) return UsageError(arg + " needs a value");
            if (arg == "--history") {
                file = *given;
            } else if (arg == "--chars") {
                poolText = *given;
            } else {
                const auto speed = Speed(*given);
                if (!speed) return UsageError(arg + " must be a whole number, not '" + *given + "'");
                (arg == "--min-speed" ? filter.MinSpeedCpm : filter.MaxSpeedCpm) = *speed;
            }
        } else {
            return UsageError("unknown argument '" + arg + "'");
        }
    }
    if (json && csv) return UsageError("--json and --csv exclude each other");
    if (poolText) {
        const auto pool = TextArgument(*poolText, hex, "TEXT");
        if (!pool) return kExitUsage;
        filter.Pool = *pool;
    }
    if (file.empty()) {
        file = DefaultHistoryPath().string();
        if (file.empty()) {
            PrintError("stats", "there is no home folder to look for the history in; name it with --history");
            return kExitFailure;
        }
    }

    SqliteHistoryOptions options;
    options.ReadOnly = true;
    SqliteHistoryStore store(file, options);
    const HistorySummary summary = store.Summary(filter, store.LatestDrill().value_or(0));
    const RecordingStatus status = store.Status();
    if (!status.Message.empty()) {
        PrintError("stats", status.Message);
        return kExitFailure;
    }
    if (csv) {
        std::cout << TrialCsvHeader();
        const bool whole = store.ForEachTrial(filter, [](const TrialRecord& trial) {
            std::cout << TrialCsvLine(trial);
            return static_cast<bool>(std::cout);
        });
        if (!whole) {
            PrintError("stats", "the history could not be read to the end");
            return kExitFailure;
        }
        return kExitOk;
    }
    if (json) {
        PrintJson(file, summary, status);
    } else {
        PrintText(file, summary);
    }
    return kExitOk;
}

}  // namespace rivek::tool
