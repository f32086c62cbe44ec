#include "sim/match/Referee.h"

#include <algorithm>
#include <cmath>

namespace {

long toSteps(double seconds, double timeStep)
{
    return static_cast<long>(std::lround(seconds / timeStep));
}

}  // namespace

const char* playModeText(PlayMode mode)
{
    switch (mode) {
    case PlayMode::BeforeKickOff:
        return "before kick off";
    case PlayMode::PlayOn:
        return "play on";
    case PlayMode::WarnEnding:
        return "warn ending";
    case PlayMode::TimeOver:
        return "time over";
    }
    return "time over";
}

bool isPlaying(PlayMode mode)
{
    return mode == PlayMode::PlayOn || mode == PlayMode::WarnEnding;
}

Referee::Referee(const RulesSpec& rules, double timeStep)
    : mTimeStep(timeStep),
      mLengthSteps(std::max(1L, toSteps(rules.matchLength, timeStep))),
      mPauseSteps(toSteps(rules.kickoffPause, timeStep)),
      mWarnSteps(toSteps(rules.warnEnding, timeStep)),
      mTimeOverSteps(std::max(1L, toSteps(rules.timeOverLength, timeStep))),
      mStallSteps(std::max(1L, toSteps(rules.stallTime, timeStep))),
      mStallDistance(rules.stallDistance)
{
}

PlayMode Referee::playingMode() const
{
    return mLengthSteps - mPlaySteps <= mWarnSteps ? PlayMode::WarnEnding : PlayMode::PlayOn;
}

void Referee::scored(GoalFor side)
{
    if (side == GoalFor::None) {
        return;
    }
    (side == GoalFor::Yellow ? mYellow : mBlue) += 1;
    mGoals.push_back({time(), side});
    mMode = PlayMode::BeforeKickOff;
    mModeSteps = 0;
    mStillSteps = -1;
}

bool Referee::ballStalled(posicaoXY ball)
{
    if (mStillSteps < 0 || std::hypot(ball.x - mStillAt.x, ball.y - mStillAt.y) > mStallDistance) {
        mStillAt = ball;
        mStillSteps = 0;
        return false;
    }
    return ++mStillSteps >= mStallSteps;
}

void Referee::freeBall()
{
    mFreeBalls.push_back(time());
    mMode = PlayMode::BeforeKickOff;
    mModeSteps = 0;
    mStillSteps = -1;
}

void Referee::tick()
{
    ++mStep;
    ++mModeSteps;
    switch (mMode) {
    case PlayMode::BeforeKickOff:
        if (mModeSteps >= mPauseSteps) {
            mMode = playingMode();
            mModeSteps = 0;
        }
        break;
    case PlayMode::PlayOn:
    case PlayMode::WarnEnding:
        ++mPlaySteps;
        if (mPlaySteps >= mLengthSteps) {
            mMode = PlayMode::TimeOver;
            mModeSteps = 0;
        } else {
            mMode = playingMode();
        }
        break;
    case PlayMode::TimeOver:
        if (mModeSteps >= mTimeOverSteps) {
            mFinished = true;
        }
        break;
    }
}
