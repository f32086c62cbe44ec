#include "agent/RecoverySchedule.h"

#include <cstdlib>

#include "common/Logger.h"

int drawRecoveryAction()
{
    return std::rand() % kRecoveryActionCount;
}

RecoveryMove RecoverySchedule::next(double lostSeconds)
{
    if (lostSeconds >= kCriticalLostThresholdTime) {
        // The moments are fixed by the multiplier, not by the last draw, so
        // after a long gap later cycles catch up one draw at a time.
        const double next_change = mChangeActionTimeMultiplier * kCriticalLostThresholdTime;
        if (lostSeconds >= next_change) {
            LOG(log_DEBUG) << "Agent perfoming random action " << mAction << "after " << next_change
                           << "s not found by camera" << "\n";
            mAction = mDraw();
            LOG(log_DEBUG) << "Agent perfoming random action numbered " << mAction;
            mChangeActionTimeMultiplier += kCriticalChangeActionIncrement;
        }
        switch (mAction) {
        case 0: return RecoveryMove::kSlowTurnLeft;
        case 1: return RecoveryMove::kSlowTurnRight;
        case 2: return RecoveryMove::kForward;
        case 3: return RecoveryMove::kBackward;
        default: return RecoveryMove::kRepeatLast;
        }
    }
    if (lostSeconds >= kLostThresholdTime) {
        LOG(log_DEBUG) << "Agent perfoming left turn action after " << kLostThresholdTime << "s not found by camera"
                       << "\n";
        return RecoveryMove::kSlowTurnLeft;
    }
    return RecoveryMove::kRepeatLast;
}
