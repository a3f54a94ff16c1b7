#include "history/trial_record.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace rivek {

void SetScoring(TrialRecord& record, const ScoredTrial& scored) {
    record.Outcomes = CharOutcomes(scored.Alignment);
    record.WrongCount = scored.WrongCount;
    record.MissingCount = scored.MissingCount;
}

std::int32_t LocalDay(std::int64_t unixMs) {
    // Whole seconds toward minus infinity, so that an instant just before
    // 1970 falls on 31 December 1969.
    std::int64_t seconds = unixMs / 1000;
    if (unixMs % 1000 < 0) --seconds;
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (::localtime_r(&time, &local) == nullptr) {
        // Beyond what the C library can convert: the UTC day.
        return static_cast<std::int32_t>(seconds >= 0 ? seconds / 86'400 : (seconds - 86'399) / 86'400);
    }
    using namespace std::chrono;
    const year_month_day date{year{local.tm_year + 1900}, month{static_cast<unsigned>(local.tm_mon + 1)},
                              day{static_cast<unsigned>(local.tm_mday)}};
    return static_cast<std::int32_t>(sys_days{date}.time_since_epoch().count());
}

std::string DayText(std::int32_t day) {
    using namespace std::chrono;
    const year_month_day date{sys_days{days{day}}};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

std::int64_t UnixMillisecondsNow() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace rivek
