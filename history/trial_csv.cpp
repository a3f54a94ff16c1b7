#include "history/trial_csv.h"

#include <chrono>
#include <cstdio>

#include "platform/shift_jis.h"

namespace rivek {
namespace {

std::string Quoted(std::string_view utf8) {
    std::string field = "\"";
    for (const char c : utf8) {
        if (c == '"') field += '"';
        field += c;
    }
    return field + "\"";
}

std::string Text(std::string_view cp932) { return Quoted(Cp932ToUtf8(cp932)); }

std::string UtcTime(std::int64_t unixMs) {
    using namespace std::chrono;
    const sys_time<milliseconds> when{milliseconds{unixMs}};
    const sys_days day = floor<days>(when);
    const year_month_day date{day};
    const hh_mm_ss<milliseconds> time{when - day};
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02lld:%02lld:%02lld.%03lldZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<long long>(time.hours().count()), static_cast<long long>(time.minutes().count()),
                  static_cast<long long>(time.seconds().count()), static_cast<long long>(time.subseconds().count()));
    return text;
}

// A character for the outcomes column; the space is made visible.
std::string Shown(std::string_view cp932) {
    std::string utf8 = Cp932ToUtf8(cp932);
    return utf8 == " " ? std::string("\xE2\x90\xA3") : utf8;  // ␣
}

std::string OutcomeItems(const std::vector<CharOutcome>& outcomes) {
    std::string items;
    for (const CharOutcome& outcome : outcomes) {
        if (!items.empty()) items += ' ';
        switch (outcome.Result) {
            case CharResult::Right: items += Shown(outcome.Sent); break;
            case CharResult::Wrong: items += Shown(outcome.Sent) + ">" + Shown(outcome.Typed); break;
            case CharResult::Missing: items += Shown(outcome.Sent) + "-"; break;
            case CharResult::Extra: items += "+" + Shown(outcome.Typed); break;
        }
    }
    return items;
}

}  // namespace

std::string TrialCsvHeader() {
    return "time,day,drill,folder,pool,pitch_hz,speed_cpm,group_length,numerals,sent,answer,outcomes,"
           "wrong,missing,penalty,replays\r\n";
}

std::string TrialCsvLine(const TrialRecord& trial) {
    std::string line;
    line += UtcTime(trial.WhenMs) + ',' + DayText(trial.Day) + ',' + std::to_string(trial.DrillId) + ',';
    // The folder is a file system name, not code page 932 text: shown as
    // the system's UTF-8, bytes that are not UTF-8 as they are.
    line += Quoted(trial.WorkingFolder) + ',' + Text(trial.Pool) + ',';
    line += std::to_string(trial.PitchHz) + ',' + std::to_string(trial.SpeedCpm) + ',' +
            std::to_string(trial.GroupLength) + ',';
    line += trial.Numerals == NumeralForm::Abbreviated ? "abbreviated," : "standard,";
    line += Text(trial.Sent) + ',' + Text(trial.Answer) + ',' + Quoted(OutcomeItems(trial.Outcomes)) + ',';
    line += std::to_string(trial.WrongCount) + ',' + std::to_string(trial.MissingCount) + ',' +
            std::to_string(3 * std::int64_t{trial.WrongCount} + trial.MissingCount) + ',' +
            std::to_string(trial.Replays) + "\r\n";
    return line;
}

}  // namespace rivek
