#include "sim/match/Referee.h"

#include "sim/match/EnclosingCircle.h"
#include "sim/physics/World.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Kicks whose robots stand this close to equally far from the ball (mm) tie.
constexpr double kKickTieTolerance = 1e-3;
// A robot corner further than this beyond a wall counts as outside (mm):
// more than the engine's contact slop, less than any real escape.
constexpr double kOutsideTolerance = 2.0;
// Mixed into the match seed so that the tie draw does not repeat the camera's.
constexpr std::uint64_t kTieDrawSalt = 0x9e3779b97f4a7c15ULL;

std::vector<mrTeam> teamsOf(const std::vector<RobotSpec>& robots)
{
    std::vector<mrTeam> teams;
    for (const RobotSpec& r : robots) {
        teams.push_back(r.team);
    }
    return teams;
}

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

const char* freeBallCauseText(FreeBallCause cause)
{
    return cause == FreeBallCause::Stalled ? "stalled" : "left the field";
}

bool isPlaying(PlayMode mode)
{
    return mode == PlayMode::PlayOn || mode == PlayMode::WarnEnding;
}

Referee::Referee(const Scenario& s)
    : Referee(s.rules, s.physics.timeStep, teamsOf(s.robots), s.field, s.camera.seed)
{
    mRobotSize = s.physics.robotSize;
}

Referee::Referee(const RulesSpec& rules, double timeStep, std::vector<mrTeam> teams, FieldSpec field,
                 std::uint64_t seed)
    : mTimeStep(timeStep),
      mLengthSteps(std::max(1L, toSteps(rules.matchLength, timeStep))),
      mPauseSteps(toSteps(rules.kickoffPause, timeStep)),
      mWarnSteps(toSteps(rules.warnEnding, timeStep)),
      mTimeOverSteps(std::max(1L, toSteps(rules.timeOverLength, timeStep))),
      mStallSteps(std::max(1L, toSteps(rules.stallTime, timeStep))),
      mStallDistance(rules.stallDistance),
      // The places at both ends of the stall time, and every step between.
      mWindow(static_cast<std::size_t>(mStallSteps) + 1),
      mTeams(std::move(teams)),
      mField(field),
      mTieDraw(seed ^ kTieDrawSalt)
{
    mScratch.reserve(mWindow.size());
}

PlayMode Referee::playingMode() const
{
    return mLengthSteps - mPlaySteps <= mWarnSteps ? PlayMode::WarnEnding : PlayMode::PlayOn;
}

int Referee::chooseKicker(const std::vector<KickRequest>& requests)
{
    int kicker = -1;
    double nearest = 0.0;
    std::uint64_t tied = 0;
    for (const KickRequest& r : requests) {
        if (kicker < 0 || r.distance < nearest - kKickTieTolerance) {
            kicker = r.robot;
            nearest = r.distance;
            tied = 1;
        } else if (r.distance <= nearest + kKickTieTolerance) {
            // Each of the tied robots wins with equal chance, whatever its index.
            ++tied;
            if (mTieDraw() % tied == 0) {
                kicker = r.robot;
            }
        }
    }
    return kicker;
}

bool Referee::outside(const RobotBody& robot) const
{
    return !mField.holdsSquare(robot.pos, robot.heading, mRobotSize, kOutsideTolerance);
}

void Referee::playStep(World& world, std::vector<RobotBody>& robots, BallBody& ball, StepEvents& events)
{
    const int kicker = chooseKicker(world.kickRequests(robots, ball));
    world.step(robots, ball, events, kicker);
    for (std::size_t i = 0; i < robots.size(); ++i) {
        if (outside(robots[i])) {
            world.putBack(robots, ball, i);
            events.putBack.push_back(static_cast<int>(i));
        }
    }
    events.goal = mField.goalAt(ball.pos);
    events.ballOut = events.goal == GoalFor::None && !mField.inside(ball.pos);
    ballTouched(events.lastToucher);
}

void Referee::ballTouched(int robot)
{
    if (robot >= 0) {
        mLastToucher = robot;
    }
}

int Referee::ownGoals(mrTeam team) const
{
    int n = 0;
    for (const GoalRecord& g : mGoals) {
        const bool forOther = g.side == (team == TEAM_YELLOW ? GoalFor::Blue : GoalFor::Yellow);
        n += g.ownGoal && forOther ? 1 : 0;
    }
    return n;
}

void Referee::scored(GoalFor side)
{
    if (side == GoalFor::None) {
        return;
    }
    (side == GoalFor::Yellow ? mYellow : mBlue) += 1;
    GoalRecord goal{time(), side, mLastToucher, false};
    if (mLastToucher >= 0 && static_cast<std::size_t>(mLastToucher) < mTeams.size()) {
        const mrTeam conceding = side == GoalFor::Yellow ? TEAM_BLUE : TEAM_YELLOW;
        goal.ownGoal = mTeams[static_cast<std::size_t>(mLastToucher)] == conceding;
    }
    mGoals.push_back(goal);
    restart();
}

void Referee::restart()
{
    mMode = PlayMode::BeforeKickOff;
    mModeSteps = 0;
    mWindowCount = 0;
    mLastToucher = -1;
}

bool Referee::ballStalled(posicaoXY ball)
{
    // Any one place will do, not only where the watch began: a ball creeping
    // along a wall under a robot's pushes never gets far from the middle of
    // its path.
    if (mWindowCount < mWindow.size()) {
        mWindow[(mWindowStart + mWindowCount) % mWindow.size()] = ball;
        ++mWindowCount;
    } else {
        mWindow[mWindowStart] = ball;
        mWindowStart = (mWindowStart + 1) % mWindow.size();
    }
    if (mWindowCount < mWindow.size()) {
        return false;
    }
    return withinOneDisc(mWindow, mStallDistance, mScratch);
}

void Referee::freeBall(FreeBallCause cause, posicaoXY ball)
{
    mFreeBalls.push_back({time(), mStep, cause, ball});
    restart();
}

const FreeBallRecord* Referee::freeBallOfLastStep() const
{
    if (mFreeBalls.empty() || mFreeBalls.back().step + 1 != mStep) {
        return nullptr;
    }
    return &mFreeBalls.back();
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
