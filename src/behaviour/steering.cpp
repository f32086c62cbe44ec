// The four steering laws: each turns a robot-relative target into exactly one
// wheel command, chosen by distance band and bearing. All comparisons are strict.

#include <cmath>

#include "behaviour/BasicPlayer.h"
#include "common/Logger.h"
#include "world/WorldData.h"

namespace {

constexpr double kHalfPi = kPi / 2;
constexpr double kThirdPi = kPi / 3;
constexpr double kTwoThirdsPi = 2 * kPi / 3;

// Field player's distance bands (mm) and bearing limits (degrees).
constexpr double kFarDistance = 120.0;
constexpr double kMidDistance = 70.0;
constexpr double kNearDistance = 25.0;
constexpr double kFarLimitDeg = 45.0;
constexpr double kOriginalMidLimitDeg = 35.0;
constexpr double kGoToMidLimitDeg = 45.0;
constexpr double kGoToNearLimitDeg = 55.0;
constexpr double kFastSpeed = 133.0;
constexpr double kCruiseSpeed = 90.0;

// Goalkeeper's distance bands (mm), bearing limits (degrees) and speeds.
constexpr double kKeeperFarDistance = 150.0;
constexpr double kKeeperMidDistance = 50.0;
constexpr double kKeeperNearDistance = 10.0;
constexpr double kKeeperReverseStopDistance = 35.0;
constexpr double kKeeperCurveLimitDeg = 45.0;
constexpr double kKeeperNearLimitDeg = 60.0;
constexpr double kKeeperFastForward = 93.0;
constexpr double kKeeperFastReverse = -173.0;
constexpr double kKeeperCruiseSpeed = 90.0;

// Beyond this a bearing is reduced in one step: subtracting 2*pi from a huge
// value changes nothing and would never end.
constexpr double kBearingReduceBound = 1.0e3;

double normalizaBearing(double a)
{
    if (std::fabs(a) > kBearingReduceBound) {
        a = std::fmod(a, kTwoPi);
    }
    while (a > kPi) {
        a -= kTwoPi;
    }
    while (a < -kPi) {
        a += kTwoPi;
    }
    return a;
}

// Target roughly beside the robot: the forward law turns towards it.
bool isBeside(double a)
{
    return (kThirdPi < a && a < kTwoThirdsPi) || (-kTwoThirdsPi < a && a < -kThirdPi);
}

// Measures a bearing from the robot's rear when the target lies behind; returns 1 then.
int reverseIfBehind(double& a)
{
    if (a > kHalfPi) {
        a -= kPi;
        return 1;
    }
    if (a < -kHalfPi) {
        a += kPi;
        return 1;
    }
    return 0;
}

// A target with a non-finite distance or bearing cannot be steered to: stop.
bool stoppedOnUnusable(BasicPlayer& player, const vector_t& v)
{
    if (std::isfinite(v.length) && std::isfinite(v.angle)) {
        return false;
    }
    LOG(log_WARN) << "Steering towards an unusable target (" << v << "); stopping instead.";
    player.pv_stop();
    return true;
}

// The forward laws turn on the spot towards a target behind the robot.
bool turnedTowardsBehind(BasicPlayer& player, double a)
{
    if (a > kHalfPi) {
        player.pv_turn_right();
        return true;
    }
    if (a < -kHalfPi) {
        player.pv_turn_left();
        return true;
    }
    return false;
}

}  // namespace

void BasicPlayer::pv_go_to_original(vector_t v)
{
    if (stoppedOnUnusable(*this, v)) {
        return;
    }
    const double a = normalizaBearing(v.angle);
    if (turnedTowardsBehind(*this, a)) {
        return;
    }
    const double d = v.length;
    if (d > kFarDistance) {
        const double limit = degToRad(kFarLimitDeg);
        if (a > limit) {
            pv_curve_right2(0);
        } else if (a < -limit) {
            pv_curve_left2(0);
        } else {
            pv_go_straight(kFastSpeed);
        }
    } else if (d > kMidDistance) {
        const double limit = degToRad(kOriginalMidLimitDeg);
        if (a > limit) {
            pv_curve_right2(0);
        } else if (a < -limit) {
            pv_curve_left2(0);
        } else {
            pv_go_straight(kCruiseSpeed);
        }
    } else if (d > kNearDistance) {
        const double limit = degToRad(mBuild.thirdBandLimitDeg);
        const double speed = mBuild.thirdBandSpeed;
        if (a > limit) {
            pv_set_velocity(speed, 0);
        } else if (a < -limit) {
            pv_set_velocity(0, speed);
        } else {
            pv_go_straight(kCruiseSpeed);
        }
    } else {
        pv_stop();
    }
}

void BasicPlayer::pv_go_to(vector_t v)
{
    if (stoppedOnUnusable(*this, v)) {
        return;
    }
    double a = normalizaBearing(v.angle);
    if (isBeside(a)) {
        v.angle = a;
        pv_go_to_original(v);
        return;
    }
    const int back = reverseIfBehind(a);
    const double sentido = back ? -1.0 : 1.0;
    const double d = v.length;
    if (d > kMidDistance) {
        const bool far = d > kFarDistance;
        const double limit = degToRad(far ? kFarLimitDeg : kGoToMidLimitDeg);
        if (a > limit) {
            pv_curve_right2(back);
        } else if (a < -limit) {
            pv_curve_left2(back);
        } else {
            pv_go_straight(sentido * (far ? kFastSpeed : kCruiseSpeed));
        }
    } else if (d > kNearDistance) {
        const double limit = degToRad(kGoToNearLimitDeg);
        const double speed = -mBuild.thirdBandSpeed;
        if (a > limit) {
            if (back) {
                pv_set_velocity(0, speed);
            } else {
                pv_set_velocity(speed, 0);
            }
        } else if (a < -limit) {
            if (back) {
                pv_set_velocity(speed, 0);
            } else {
                pv_set_velocity(0, speed);
            }
        } else {
            pv_go_straight(sentido * kCruiseSpeed);
        }
    } else {
        pv_stop();
    }
}

void BasicPlayer::pv_go_to_original_goleiro(vector_t v)
{
    if (stoppedOnUnusable(*this, v)) {
        return;
    }
    const double a = normalizaBearing(v.angle);
    if (turnedTowardsBehind(*this, a)) {
        return;
    }
    const double d = v.length;
    if (d > kKeeperMidDistance) {
        const double limit = degToRad(kKeeperCurveLimitDeg);
        if (a > limit) {
            pv_curve_right();
        } else if (a < -limit) {
            pv_curve_left();
        } else {
            pv_go_straight(d > kKeeperFarDistance ? kKeeperFastForward : kKeeperCruiseSpeed);
        }
    } else if (d > kKeeperNearDistance) {
        const double limit = degToRad(kKeeperNearLimitDeg);
        if (a > limit) {
            pv_set_velocity(kKeeperCruiseSpeed, 0);
        } else if (a < -limit) {
            pv_set_velocity(0, kKeeperCruiseSpeed);
        } else {
            pv_go_straight(kKeeperCruiseSpeed);
        }
    } else {
        pv_stop();
    }
}

void BasicPlayer::pv_go_to_goleiro(vector_t v)
{
    // Only a log line: it must neither need the world model nor fail with it.
    if (LogParameters::instance().enabled(log_DEBUG) && mWorldData != nullptr && !mWorldData->pv_i_am_lost()) {
        LOG(log_DEBUG) << "angulo para a bola " << mWorldData->pv_ball().angle;
    }
    if (stoppedOnUnusable(*this, v)) {
        return;
    }
    double a = normalizaBearing(v.angle);
    if (isBeside(a)) {
        v.angle = a;
        pv_go_to_original_goleiro(v);
        return;
    }
    const int back = reverseIfBehind(a);
    const double sentido = back ? -1.0 : 1.0;
    const double d = v.length;
    if (d > kKeeperMidDistance) {
        const double limit = degToRad(kKeeperCurveLimitDeg);
        if (a > limit) {
            pv_curve_right2(back);
        } else if (a < -limit) {
            pv_curve_left2(back);
        } else if (d > kKeeperFarDistance) {
            pv_go_straight(back ? kKeeperFastReverse : kKeeperFastForward);
        } else {
            pv_go_straight(sentido * kKeeperCruiseSpeed);
        }
    } else if (d > kKeeperReverseStopDistance) {
        pv_go_straight(sentido * kKeeperCruiseSpeed);
    } else {
        pv_stop();
    }
}
