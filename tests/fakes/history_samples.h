// Trials for the history's tests: made from real scorings of a sent group
// and an answer, and random histories of many drills, pools and days.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "checking/scoring.h"
#include "history/trial_record.h"

namespace rivek::testing {

// A trial scored as the drill scores it.
inline TrialRecord ScoredRecord(std::string sent, std::string answer, std::int64_t drill = 1,
                                std::int32_t day = 20'000, std::int32_t speed = 100,
                                std::string pool = "KMURES") {
    class NoView final : public ResultView, public ScoreLabels {
    public:
        void Clear() override {}
        void AppendBold(std::string_view, Rgb) override {}
        void SetLabelText(ScoreLabel, std::string_view) override {}
    } quiet;
    DrillCounters counters{1, 0, 0};
    TrialRecord record;
    record.WhenMs = std::int64_t{day} * 86'400'000 + 12 * 3'600'000;
    record.Day = day;
    record.DrillId = drill;
    record.WorkingFolder = "/home/learner";
    record.Pool = std::move(pool);
    record.PitchHz = 800;
    record.SpeedCpm = speed;
    record.GroupLength = static_cast<std::int32_t>(sent.size());
    SetScoring(record, prn(counters, quiet, quiet, sent, answer));
    record.Sent = std::move(sent);
    record.Answer = std::move(answer);
    return record;
}

// A random history: groups from a few pools (a space in one of them, kana
// and digits in others), answers with the usual slips (a wrong character,
// a missing one, an extra one, lower case, a kana key, a kanji), over a
// few days, speeds and drills, with replays now and then.
class HistoryMaker {
public:
    explicit HistoryMaker(std::uint32_t seed) : random_(seed) {}

    TrialRecord Next() {
        static const std::string kPools[] = {"KM", "KMURES", "ABCDEFGHIJ", "0123456789", "\xB1\xB2\xB3\xB4", "KMR5?"};
        static const std::int32_t kSpeeds[] = {60, 80, 100, 120};
        if (Pick(40) == 0) ++drill_;
        if (Pick(200) == 0) ++day_;
        const std::string& pool = kPools[Pick(std::size(kPools))];
        std::string sent;
        const std::size_t length = 1 + Pick(8);
        for (std::size_t k = 0; k < length; ++k) sent.push_back(pool[Pick(pool.size())]);
        std::string answer;
        for (const char c : sent) {
            switch (Pick(12)) {
                case 0: answer.push_back(pool[Pick(pool.size())]); break;
                case 1: break;
                case 2: answer.push_back(c); answer.push_back(pool[Pick(pool.size())]); break;
                case 3: answer.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c)); break;
                case 4: answer.push_back(c == '1' ? '\xC7' : c); break;
                case 5: answer += Pick(4) == 0 ? "\x8A\xBF" : std::string(1, c); break;
                default: answer.push_back(c); break;
            }
        }
        TrialRecord record = ScoredRecord(sent, answer, drill_, day_, kSpeeds[Pick(std::size(kSpeeds))], pool);
        record.WhenMs += static_cast<std::int64_t>(++count_) * 1000;
        record.Numerals = Pick(5) == 0 ? NumeralForm::Abbreviated : NumeralForm::Standard;
        record.Replays = Pick(6) == 0 ? static_cast<std::int32_t>(1 + Pick(3)) : 0;
        record.PitchHz = 600 + static_cast<std::int32_t>(Pick(5)) * 50;
        return record;
    }
    std::int64_t Drill() const { return drill_; }

private:
    std::size_t Pick(std::size_t count) {
        return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_);
    }
    std::mt19937 random_;
    std::int64_t drill_ = 1;
    std::int32_t day_ = 20'400;
    std::int64_t count_ = 0;
};

}  // namespace rivek::testing
