#include "sim/physics/Kinematics.h"

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

double norm(posicaoXY a)
{
    return std::hypot(a.x, a.y);
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

void wheelTargets(const RobotBody& robot, const PhysicsSpec& physics, double& left, double& right)
{
    left = right = 0.0;
    switch (robot.cmd.kind) {
    case RobotCommand::Kind::Wheels:
        left = wheelSpeed(robot.cmd.left, physics);
        right = wheelSpeed(robot.cmd.right, physics);
        break;
    case RobotCommand::Kind::Goto: {
        const double d = norm({robot.gotoTarget.x - robot.pos.x, robot.gotoTarget.y - robot.pos.y});
        if (d < kGotoArrive) {
            break;
        }
        const double rel = wrapAngle(bearingTo(robot.pos, robot.gotoTarget) - robot.heading);
        const double halfBase = physics.wheelBase / 2.0;
        if (std::fabs(rel) > kGotoSpinLimit) {
            const double s = wheelSpeed(kGotoSpinLevel, physics);
            left = rel > 0 ? s : -s;
            right = -left;
        } else {
            const double forward = wheelSpeed(kGotoDriveLevel, physics);
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

