// When to offer the next Koch lesson: once at least 100 characters have
// been sent in the current lesson (its pool) and of the last 100 of them at
// least 90 were right. Rivek only offers; it never switches by itself.
#pragma once

#include <cstdint>

#include "history/trial_record.h"

namespace rivek {

inline constexpr std::int32_t kKochWindow = 100;        // the last characters judged
inline constexpr std::int32_t kKochRightNeeded = 90;    // right among them to move on

struct KochStanding {
    std::int64_t SentInLesson = 0;  // characters sent in the lesson, all time
    std::int32_t RecentSent = 0;    // the last ones judged, at most kKochWindow
    std::int32_t RecentRight = 0;   // right among them
    friend bool operator==(const KochStanding&, const KochStanding&) = default;
};

bool OfferNextLesson(const KochStanding& standing);

// Gathers the last kKochWindow sent characters from the lesson's trials,
// given newest first. The newest characters count first, within a trial
// too, so the window may end inside a group.
class KochWindow {
public:
    // Returns false once the window is full and older trials change nothing.
    bool AddNewerFirst(const TrialRecord& trial);
    void Fill(KochStanding& standing) const {
        standing.RecentSent = sent_;
        standing.RecentRight = right_;
    }

private:
    std::int32_t sent_ = 0;
    std::int32_t right_ = 0;
};

}  // namespace rivek
