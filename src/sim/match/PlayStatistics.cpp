#include "sim/match/PlayStatistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "sim/physics/Field.h"

namespace {

// How far behind the goal line a crossing is looked at (mm).
constexpr double kBehindLine = 1e-6;

bool contains(const std::vector<int>& list, int value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

GoalFor goalOf(mrTeam team)
{
    return team == TEAM_YELLOW ? GoalFor::Yellow : GoalFor::Blue;
}

}  // namespace

bool rollsIntoGoal(posicaoXY pos, posicaoXY vel, double goalLineX, const FieldSpec& field,
                   const PhysicsSpec& physics)
{
    const double speed = std::hypot(vel.x, vel.y);
    const double towards = goalLineX - pos.x;
    if (!std::isfinite(speed) || speed <= 0.0 || towards * vel.x <= 0.0) {
        return false;
    }
    // Free rolling loses a fixed share per step, so the whole way left is a
    // geometric series: v*dT*keep/(1-keep).
    const double keep = physics.ballKeep;
    const double reach = keep >= 1.0 ? std::numeric_limits<double>::infinity()
                                     : speed * physics.timeStep * keep / (1.0 - keep);
    const double pathToLine = towards / vel.x * speed;
    if (pathToLine > reach) {
        return false;
    }
    // Between the posts: just behind the line, the field's own goal test says so.
    const double yAtLine = pos.y + vel.y / vel.x * towards;
    const double behind = goalLineX + std::copysign(kBehindLine, goalLineX);
    return Field(field).goalAt({behind, yAtLine}) != GoalFor::None;
}

PlayStatistics::PlayStatistics(const Scenario& scenario)
    : mField(scenario.field), mPhysics(scenario.physics), mRobots(scenario.robots.size())
{
    for (const RobotSpec& r : scenario.robots) {
        mTeams.push_back(r.team);
    }
}

bool PlayStatistics::sameTeam(int a, int b) const
{
    return mTeams[static_cast<std::size_t>(a)] == mTeams[static_cast<std::size_t>(b)];
}

void PlayStatistics::settlePendingKick(const StepEvents& events, bool kickStep)
{
    if (mPendingKicker < 0) {
        return;
    }
    // In the step of the kick itself the kicker's own contact is the kick.
    std::vector<int> touches;
    for (const std::vector<int>* list : {&events.touchers, &events.kickers}) {
        for (int r : *list) {
            if (r < 0 || static_cast<std::size_t>(r) >= mTeams.size()) {
                continue;
            }
            if (!(kickStep && r == mPendingKicker) && !contains(touches, r)) {
                touches.push_back(r);
            }
        }
    }
    if (touches.empty()) {
        return;
    }
    bool byTeammate = false;
    bool byOther = false;
    for (int r : touches) {
        (r != mPendingKicker && sameTeam(r, mPendingKicker) ? byTeammate : byOther) = true;
    }
    // A scramble with an opponent or the kicker itself in it is no clean pass.
    if (byTeammate && !byOther) {
        ++mRobots[static_cast<std::size_t>(mPendingKicker)].passes;
    }
    mPendingKicker = -1;
}

bool PlayStatistics::isShot(int kicker, const BallBody& ball, const StepEvents& events) const
{
    const mrTeam team = mTeams[static_cast<std::size_t>(kicker)];
    if (events.goal != GoalFor::None) {
        return events.goal == goalOf(team);
    }
    for (int r : events.touchers) {
        if (r != kicker) {
            return false;  // already deflected
        }
    }
    const double opponentGoalLine = team == TEAM_YELLOW ? mField.length / 2.0 : -mField.length / 2.0;
    return rollsIntoGoal(ball.pos, ball.vel, opponentGoalLine, mField, mPhysics);
}

void PlayStatistics::afterStep(const std::vector<RobotBody>& robots, const BallBody& ball, const StepEvents& events)
{
    const std::size_t n = std::min(robots.size(), mRobots.size());
    ++mPlaySteps;
    int nearest = -1;
    double best = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < n; ++i) {
        const double d = std::hypot(robots[i].pos.x - ball.pos.x, robots[i].pos.y - ball.pos.y);
        if (d < best) {
            best = d;
            nearest = static_cast<int>(i);
        }
    }
    if (nearest >= 0) {
        ++mRobots[static_cast<std::size_t>(nearest)].nearestSteps;
    }

    settlePendingKick(events, false);
    for (int k : events.kickers) {
        if (k < 0 || static_cast<std::size_t>(k) >= n) {
            continue;
        }
        PlayFigures& f = mRobots[static_cast<std::size_t>(k)];
        ++f.kicks;
        if (isShot(k, ball, events)) {
            ++f.shots;
        }
        mPendingKicker = k;
    }
    // A teammate who reaches the ball within the kick's own step also takes a pass.
    settlePendingKick(events, true);
    if (events.goal != GoalFor::None) {
        playStopped();
    }
}

PlayFigures PlayStatistics::team(mrTeam team) const
{
    PlayFigures sum;
    for (std::size_t i = 0; i < mRobots.size(); ++i) {
        if (mTeams[i] == team) {
            sum.kicks += mRobots[i].kicks;
            sum.shots += mRobots[i].shots;
            sum.passes += mRobots[i].passes;
            sum.nearestSteps += mRobots[i].nearestSteps;
        }
    }
    return sum;
}

double PlayStatistics::possession(mrTeam team) const
{
    return mPlaySteps > 0 ? static_cast<double>(this->team(team).nearestSteps) / mPlaySteps : 0.0;
}
