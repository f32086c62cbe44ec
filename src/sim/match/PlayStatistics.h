#pragma once
// The figures of play over one match: kicks, shots, passes and possession,
// per robot and per team, worked out from the bodies after each step in play.

#include <vector>

#include "common/Team.h"
#include "sim/physics/Bodies.h"
#include "sim/scenario/Scenario.h"

/// \brief One robot's or one team's figures of play.
struct PlayFigures {
    long kicks = 0;
    /// \brief Kicks after which the ball, rolling on unhindered, would cross the
    /// opponent's goal line between the posts (or did, in the kick's own step).
    long shots = 0;
    /// \brief Kicks whose next touch was by a teammate.
    long passes = 0;
    /// \brief Steps in play in which this side had the robot nearest the ball.
    long nearestSteps = 0;
};

/// \brief Would a ball at `pos` rolling at `vel` (mm/s), keeping `physics.ballKeep` of its
/// velocity per time step and never hindered, cross the goal line at x = `goalLineX`
/// between the posts?
bool rollsIntoGoal(posicaoXY pos, posicaoXY vel, double goalLineX, const FieldSpec& field,
                   const PhysicsSpec& physics);

/// \brief Counts the figures of play step by step.
class PlayStatistics {
public:
    explicit PlayStatistics(const Scenario& scenario);

    /// \brief Takes in one step in play, after the engine moved the bodies and before a
    /// goal puts them back on their kick-off places.
    void afterStep(const std::vector<RobotBody>& robots, const BallBody& ball, const StepEvents& events);
    /// \brief The ball left play (goal, free ball, end): a kick still rolling is no pass.
    void playStopped() { mPendingKicker = -1; }

    /// \brief Per robot, in the scenario's order.
    const std::vector<PlayFigures>& robots() const { return mRobots; }
    /// \brief The sum over a team's robots.
    PlayFigures team(mrTeam team) const;
    /// \brief Steps in play counted so far.
    long playSteps() const { return mPlaySteps; }
    /// \brief Share of the steps in play in which `team` had the robot nearest the ball (0 when none).
    double possession(mrTeam team) const;

private:
    bool sameTeam(int a, int b) const;
    void settlePendingKick(const StepEvents& events, bool kickStep);
    bool isShot(int kicker, const BallBody& ball, const StepEvents& events) const;

    FieldSpec mField;
    PhysicsSpec mPhysics;
    std::vector<mrTeam> mTeams;
    std::vector<PlayFigures> mRobots;
    long mPlaySteps = 0;
    /// \brief The robot whose kick waits for its next touch, or -1.
    int mPendingKicker = -1;
};
