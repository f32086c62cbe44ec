#include "sim/Physics.h"

#include <algorithm>
#include <cmath>

namespace {

// Steering commands: arrive within this distance, spin on the spot beyond
// this bearing, and turn at this rate per radian of bearing on the way.
constexpr double kGotoArrive = 20.0;
constexpr double kGotoSpinLimit = 0.5;
constexpr double kGotoTurnGain = 4.0;
constexpr double kGotoSpinLevel = 60.0;
constexpr double kGotoDriveLevel = 90.0;
// Below this the ball counts as lying still (mm/s).
constexpr double kBallRest = 1.0;
// Contacts are resolved in a few passes so chains of robots settle.
constexpr int kContactPasses = 3;

double dot(posicaoXY a, posicaoXY b)
{
    return a.x * b.x + a.y * b.y;
}

double norm(posicaoXY a)
{
    return std::sqrt(dot(a, a));
}

}  // namespace

double wrapAngle(double a)
{
    if (!std::isfinite(a)) {
        return 0.0;
    }
    a = std::fmod(a, kTwoPi);
    if (a > kPi) {
        a -= kTwoPi;
    } else if (a < -kPi) {
        a += kTwoPi;
    }
    return a;
}

posicaoXY bearingDirection(double bearing)
{
    return {std::sin(bearing), -std::cos(bearing)};
}

double bearingTo(posicaoXY from, posicaoXY to)
{
    const double dx = to.x - from.x;
    const double dy = to.y - from.y;
    if (dx == 0.0 && dy == 0.0) {
        return 0.0;
    }
    return std::atan2(dx, -dy);
}

double clampLevel(double level, const PhysicsSpec& physics)
{
    if (!std::isfinite(level)) {
        return 0.0;
    }
    return std::clamp(level, -physics.maxLevel, physics.maxLevel);
}

double wheelSpeed(double level, const PhysicsSpec& physics)
{
    level = clampLevel(level, physics);
    const double magnitude = std::fabs(level);
    if (magnitude <= physics.deadBand) {
        return 0.0;
    }
    const double speed = physics.wheelGain * (magnitude - physics.deadBand);
    return level < 0 ? -speed : speed;
}

Physics::Physics(const Scenario& scenario)
    : mField(scenario.field), mPhys(scenario.physics), mRobots(scenario.robots)
{
}

void Physics::command(RobotBody& robot, const RobotCommand& cmd) const
{
    robot.cmd = cmd;
    robot.cmd.left = clampLevel(cmd.left, mPhys);
    robot.cmd.right = clampLevel(cmd.right, mPhys);
    robot.kickPending = cmd.kind == RobotCommand::Kind::Kick;
    if (cmd.kind == RobotCommand::Kind::Goto) {
        const posicaoXY dir = bearingDirection(robot.heading + degToRad(cmd.gotoAngleDeg));
        const double d = cmd.gotoDist;
        robot.gotoTarget = {robot.pos.x + d * dir.x, robot.pos.y + d * dir.y};
    }
}

void Physics::placeForKickoff(std::vector<RobotBody>& robots, BallBody& ball) const
{
    robots.resize(mRobots.size());
    for (std::size_t i = 0; i < robots.size(); ++i) {
        RobotBody& r = robots[i];
        r.pos = mRobots[i].kickoff;
        r.heading = mRobots[i].kickoffHeading;
        r.speed = 0.0;
        r.kickPending = false;
        // The robots stand still until their agents speak again.
        r.cmd = RobotCommand{};
    }
    ball = BallBody{};
}

void Physics::wheelSpeeds(const RobotBody& robot, double& left, double& right) const
{
    left = right = 0.0;
    switch (robot.cmd.kind) {
    case RobotCommand::Kind::Wheels:
        left = wheelSpeed(robot.cmd.left, mPhys);
        right = wheelSpeed(robot.cmd.right, mPhys);
        break;
    case RobotCommand::Kind::Goto: {
        const double d = norm({robot.gotoTarget.x - robot.pos.x, robot.gotoTarget.y - robot.pos.y});
        if (d < kGotoArrive) {
            break;
        }
        const double rel = wrapAngle(bearingTo(robot.pos, robot.gotoTarget) - robot.heading);
        const double halfBase = mPhys.wheelBase / 2.0;
        if (std::fabs(rel) > kGotoSpinLimit) {
            const double s = wheelSpeed(kGotoSpinLevel, mPhys);
            left = rel > 0 ? s : -s;
            right = -left;
        } else {
            const double forward = wheelSpeed(kGotoDriveLevel, mPhys);
            const double turn = kGotoTurnGain * rel * halfBase;
            left = forward + turn;
            right = forward - turn;
        }
        break;
    }
    case RobotCommand::Kind::Kick:  // a kick stops the wheels
    case RobotCommand::Kind::None:
        break;
    }
}

void Physics::driveRobot(RobotBody& robot) const
{
    double left = 0.0;
    double right = 0.0;
    wheelSpeeds(robot, left, right);
    const double dt = mPhys.timeStep;
    const double forward = (left + right) / 2.0;
    const double turnRate = (left - right) / mPhys.wheelBase;
    // Midpoint rule: drive along the mean heading of the step.
    const posicaoXY dir = bearingDirection(robot.heading + turnRate * dt / 2.0);
    robot.pos.x += forward * dt * dir.x;
    robot.pos.y += forward * dt * dir.y;
    robot.heading = wrapAngle(robot.heading + turnRate * dt);
    robot.speed = forward;
}

void Physics::separateRobots(std::vector<RobotBody>& robots) const
{
    const double minDist = 2.0 * mPhys.robotRadius;
    for (std::size_t i = 0; i < robots.size(); ++i) {
        for (std::size_t j = i + 1; j < robots.size(); ++j) {
            posicaoXY d{robots[j].pos.x - robots[i].pos.x, robots[j].pos.y - robots[i].pos.y};
            double dist = norm(d);
            if (dist >= minDist) {
                continue;
            }
            if (dist < 1e-9) {
                // Exactly on top of each other: part them along x, deterministically.
                d = {1.0, 0.0};
                dist = 0.0;
            } else {
                d = {d.x / dist, d.y / dist};
            }
            const double push = (minDist - dist) / 2.0;
            robots[i].pos.x -= push * d.x;
            robots[i].pos.y -= push * d.y;
            robots[j].pos.x += push * d.x;
            robots[j].pos.y += push * d.y;
        }
    }
}

void Physics::keepRobotInside(RobotBody& robot) const
{
    const double r = mPhys.robotRadius;
    const double hl = mField.length / 2.0 - r;
    const double hw = mField.width / 2.0 - r;
    robot.pos.x = std::clamp(robot.pos.x, -hl, hl);
    robot.pos.y = std::clamp(robot.pos.y, -hw, hw);
}

bool Physics::canKick(const RobotBody& robot, const BallBody& ball) const
{
    const double d = norm({ball.pos.x - robot.pos.x, ball.pos.y - robot.pos.y});
    if (d > mPhys.kickReach) {
        return false;
    }
    const double rel = wrapAngle(bearingTo(robot.pos, ball.pos) - robot.heading);
    return std::fabs(rel) <= degToRad(mPhys.kickHalfAngleDeg);
}

bool Physics::tryKick(RobotBody& robot, BallBody& ball) const
{
    robot.kickPending = false;
    if (!canKick(robot, ball)) {
        return false;
    }
    const double force = std::max(0.0, robot.cmd.kickForce);
    const double speed = std::min(force * mPhys.kickSpeedPerForce, mPhys.kickMaxSpeed);
    const posicaoXY dir = bearingDirection(robot.heading + degToRad(robot.cmd.kickAngleDeg));
    ball.vel = {speed * dir.x, speed * dir.y};
    return true;
}

void Physics::pushBall(const RobotBody& robot, BallBody& ball) const
{
    const posicaoXY fwd = bearingDirection(robot.heading);
    const posicaoXY right = bearingDirection(robot.heading + kPi / 2);
    const posicaoXY d{ball.pos.x - robot.pos.x, ball.pos.y - robot.pos.y};
    const double f = dot(d, fwd);
    const double l = dot(d, right);
    const double front = mPhys.robotRadius + mPhys.ballRadius;
    posicaoXY to = ball.pos;
    if (f > 0.0 && std::fabs(l) <= mPhys.mouthHalfWidth) {
        // The V-shaped mouth: its walls run from the apex, mouthDepth ahead of the
        // centre, to the front of the robot at +-mouthHalfWidth. A ball pressed
        // against a wall is pushed off it, forwards and towards the middle.
        const double slope = (front - mPhys.mouthDepth) / mPhys.mouthHalfWidth;
        const double allowed = mPhys.mouthDepth + slope * std::fabs(l);
        if (f >= allowed) {
            return;
        }
        const double depth = (allowed - f) / (1.0 + slope * slope);
        double nf = f + depth;
        double nl = l - (l > 0 ? 1.0 : -1.0) * slope * depth;
        if (l == 0.0 || (nl > 0) != (l > 0)) {
            nl = 0.0;  // never past the middle: the ball sits in the apex
            nf = std::max(f, mPhys.mouthDepth);
        }
        to = {robot.pos.x + nf * fwd.x + nl * right.x, robot.pos.y + nf * fwd.y + nl * right.y};
    } else {
        const double dist = norm(d);
        if (dist >= front) {
            return;
        }
        const posicaoXY n = dist < 1e-9 ? fwd : posicaoXY{d.x / dist, d.y / dist};
        to = {robot.pos.x + n.x * front, robot.pos.y + n.y * front};
    }
    const posicaoXY moved{to.x - ball.pos.x, to.y - ball.pos.y};
    const double len = norm(moved);
    ball.pos = to;
    if (len < 1e-12) {
        return;
    }
    // A ball running into the robot bounces off it as off a wall, and it
    // moves off at least as fast as the robot presses into it.
    const posicaoXY n{moved.x / len, moved.y / len};
    const double pressing = robot.speed * dot(fwd, n);
    const double along = dot(ball.vel, n);
    if (along < pressing) {
        // Only the ball's own run-in bounces; a pushed ball rides along (dribbling).
        const double change = pressing - along + mPhys.wallRestitution * std::max(0.0, -along);
        ball.vel.x += change * n.x;
        ball.vel.y += change * n.y;
    }
}

GoalFor Physics::checkGoal(posicaoXY from, const BallBody& ball) const
{
    const double line = mField.length / 2.0;
    const double mouth = mField.goalWidth / 2.0;
    const auto crossesAt = [&](double x) {
        const double t = (x - from.x) / (ball.pos.x - from.x);
        return from.y + t * (ball.pos.y - from.y);
    };
    if (ball.pos.x > line && from.x <= line && std::fabs(crossesAt(line)) < mouth) {
        return GoalFor::Yellow;  // yellow attacks +x
    }
    if (ball.pos.x < -line && from.x >= -line && std::fabs(crossesAt(-line)) < mouth) {
        return GoalFor::Blue;
    }
    return GoalFor::None;
}

void Physics::bounceBall(BallBody& ball) const
{
    const double r = mPhys.ballRadius;
    const double e = mPhys.wallRestitution;
    const double hl = mField.length / 2.0 - r;
    const double hw = mField.width / 2.0 - r;
    const double mouth = mField.goalWidth / 2.0;
    if (ball.pos.y < -hw) {
        ball.pos.y = -hw;
        ball.vel.y = std::fabs(ball.vel.y) * e;
    } else if (ball.pos.y > hw) {
        ball.pos.y = hw;
        ball.vel.y = -std::fabs(ball.vel.y) * e;
    }
    // The end walls stop outside the goal mouths only.
    if (std::fabs(ball.pos.y) >= mouth) {
        if (ball.pos.x < -hl) {
            ball.pos.x = -hl;
            ball.vel.x = std::fabs(ball.vel.x) * e;
        } else if (ball.pos.x > hl) {
            ball.pos.x = hl;
            ball.vel.x = -std::fabs(ball.vel.x) * e;
        }
    } else {
        // Inside a mouth the ball may roll into the goal pocket, never beyond it.
        const double back = mField.length / 2.0 + mField.goalDepth - r;
        ball.pos.x = std::clamp(ball.pos.x, -back, back);
    }
}

void Physics::step(std::vector<RobotBody>& robots, BallBody& ball, StepEvents& events) const
{
    events.clear();
    for (RobotBody& r : robots) {
        driveRobot(r);
    }
    for (int pass = 0; pass < kContactPasses; ++pass) {
        separateRobots(robots);
        for (RobotBody& r : robots) {
            keepRobotInside(r);
        }
    }
    for (std::size_t i = 0; i < robots.size(); ++i) {
        if (robots[i].kickPending && tryKick(robots[i], ball)) {
            events.kickers.push_back(static_cast<int>(i));
        }
    }
    const posicaoXY from = ball.pos;
    const double dt = mPhys.timeStep;
    ball.pos.x += ball.vel.x * dt;
    ball.pos.y += ball.vel.y * dt;
    for (const RobotBody& r : robots) {
        pushBall(r, ball);
    }
    events.goal = checkGoal(from, ball);
    bounceBall(ball);
    ball.vel.x *= mPhys.ballKeep;
    ball.vel.y *= mPhys.ballKeep;
    if (norm(ball.vel) < kBallRest) {
        ball.vel = {0.0, 0.0};
    }
}
