#include "history/koch.h"

namespace rivek {

bool OfferNextLesson(const KochStanding& standing) {
    return standing.SentInLesson >= kKochWindow && standing.RecentSent >= kKochWindow &&
           standing.RecentRight >= kKochRightNeeded;
}

bool KochWindow::AddNewerFirst(const TrialRecord& trial) {
    for (auto outcome = trial.Outcomes.rbegin(); outcome != trial.Outcomes.rend(); ++outcome) {
        if (sent_ == kKochWindow) break;
        if (outcome->Result == CharResult::Extra) continue;
        sent_ += 1;
        if (outcome->Result == CharResult::Right) right_ += 1;
    }
    return sent_ < kKochWindow;
}

}  // namespace rivek
