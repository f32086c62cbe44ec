// Construction, wiring, the wheel and kick commands, the speed quantisation,
// sending, and the fixed motion primitives of BasicPlayer.

#include <cfloat>
#include <cmath>
#include <iterator>

#include "behaviour/BasicPlayer.h"
#include "common/ClientException.h"
#include "common/Logger.h"
#include "net/Connection.h"
#include "xml/XMLSerializer.h"

namespace {

// The wheel speeds the robot can really run, in the command's velocity unit.
constexpr double kSpeedLevels[] = {
    26.5,             27.1737515808352, 28.5403484073564, 29.7275199330026, 30.7692307705761,
    31.7095882013831, 32.596700064096,  33.4782031837145, 34.3986235285784, 35.3982300649523,
    36.5128708434437, 37.7743094122629, 39.2106917979926, 40.8468965062284, 42.7046260622756,
    44.8021925258123, 47.1540511569392, 49.7702727545439, 52.6563426815607, 55.8139514832993,
    59.2437997314376, 62.9518643779293, 66.9610752901167, 71.3310909346848, 76.19046462625,
    81.789744370694,  88.5957620831557, 97.4805989810481, 110.162066327862, 130.434697458164,
};
constexpr std::size_t kLevelCount = std::size(kSpeedLevels);
constexpr double kMinLevel = kSpeedLevels[0];
constexpr double kMaxLevel = kSpeedLevels[kLevelCount - 1];

// Requested wheel speeds of the primitives (before quantisation).
constexpr double kQuickTurnSpeed = 133.0;
constexpr double kTurnSpeed = 110.0;
constexpr double kSlowTurnSpeed = 90.0;
constexpr double kPivotSpeed = 50.0;
constexpr double kCurveFast = 133.0;
constexpr double kCurveSlow = 33.0;
constexpr double kCurve2Fast = 90.0;
constexpr double kCurveLeftBackFast = 60.0;
constexpr double kCurveRightBackFast = 90.0;

constexpr double kRadToDeg = 180.0 / kPi;

// A value the command's float fields can hold without overflowing.
bool fitsFloat(double value)
{
    return std::isfinite(value) && std::fabs(value) <= static_cast<double>(FLT_MAX);
}

}  // namespace

BasicPlayer::BasicPlayer(mrTeam team, const BuildConstants& build) : mTeam(team), mBuild(build) {}

BasicPlayer::~BasicPlayer() = default;

void BasicPlayer::setConnection(Connection* connection)
{
    pConnection = connection;
}

void BasicPlayer::setWorldData(WorldData* worldData)
{
    mWorldData = worldData;
}

mrTeam BasicPlayer::getAgentTeam() const
{
    return mTeam;
}

WorldData& BasicPlayer::world() const
{
    if (mWorldData == nullptr) {
        throw ClientException("BasicPlayer used before its world model was set");
    }
    return *mWorldData;
}

double BasicPlayer::DiscreteSpeed(double speed_wheel)
{
    const double sinal = speed_wheel < 0 ? -1.0 : 1.0;
    const double speed = std::fabs(speed_wheel);
    // NaN fails every comparison below; the lowest level keeps it off the wire.
    if (std::isnan(speed) || speed < kMinLevel) {
        return sinal * kMinLevel;
    }
    if (speed >= kMaxLevel) {
        return sinal * kMaxLevel;
    }
    std::size_t i = 1;
    while (speed >= kSpeedLevels[i]) {
        ++i;
    }
    const double media = (kSpeedLevels[i - 1] + kSpeedLevels[i]) / 2;
    return sinal * (speed < media ? kSpeedLevels[i - 1] : kSpeedLevels[i]);
}

void BasicPlayer::pv_set_velocity(double left, double right)
{
    if (!std::isfinite(left) || !std::isfinite(right)) {
        LOG(log_WARN) << "Non-finite wheel speeds (" << left << ", " << right << ") requested; stopping instead.";
        left = 0.0;
        right = 0.0;
    }
    mCmd.setVelocity(static_cast<float>(DiscreteSpeed(left)), static_cast<float>(DiscreteSpeed(right)));
}

void BasicPlayer::pv_kick(double angle, double strength)
{
    // The command carries degrees and strength as floats: anything they cannot
    // hold would reach the wire as inf or nan.
    if (!fitsFloat(angle * kRadToDeg) || !fitsFloat(strength)) {
        LOG(log_WARN) << "Kick with angle " << angle << " and strength " << strength
                      << " cannot be sent; stopping instead.";
        pv_stop();
        return;
    }
    mCmd.setKick(angle, strength);
}

void BasicPlayer::pv_flush()
{
    if (pConnection == nullptr) {
        return;
    }
    mCmd.toDatagramText(mWire);
    pConnection->Send(mWire);
}

void BasicPlayer::pv_stop()
{
    pv_set_velocity(0, 0);
}

void BasicPlayer::pv_go_straight(double speed)
{
    pv_set_velocity(speed, speed);
}

void BasicPlayer::pv_quick_turn_left()
{
    pv_set_velocity(-kQuickTurnSpeed, kQuickTurnSpeed);
}

void BasicPlayer::pv_quick_turn_right()
{
    pv_set_velocity(kQuickTurnSpeed, -kQuickTurnSpeed);
}

void BasicPlayer::pv_turn_left()
{
    if (mBuild.pivotTurns) {
        pv_set_velocity(0, kPivotSpeed);
    } else {
        pv_set_velocity(-kTurnSpeed, kTurnSpeed);
    }
}

void BasicPlayer::pv_turn_right()
{
    if (mBuild.pivotTurns) {
        pv_set_velocity(kPivotSpeed, 0);
    } else {
        pv_set_velocity(kTurnSpeed, -kTurnSpeed);
    }
}

void BasicPlayer::pv_slow_turn_left()
{
    pv_set_velocity(-kSlowTurnSpeed, kSlowTurnSpeed);
}

void BasicPlayer::pv_slow_turn_right()
{
    pv_set_velocity(kSlowTurnSpeed, -kSlowTurnSpeed);
}

void BasicPlayer::pv_curve_left()
{
    pv_set_velocity(kCurveSlow, kCurveFast);
}

void BasicPlayer::pv_curve_right()
{
    pv_set_velocity(kCurveFast, kCurveSlow);
}

void BasicPlayer::pv_curve_left2(int back)
{
    if (back == 0) {
        pv_set_velocity(kCurveSlow, kCurve2Fast);
    } else {
        pv_set_velocity(-kCurveLeftBackFast, -kCurveSlow);
    }
}

void BasicPlayer::pv_curve_right2(int back)
{
    if (back == 0) {
        pv_set_velocity(kCurve2Fast, kCurveSlow);
    } else {
        pv_set_velocity(-kCurveSlow, -kCurveRightBackFast);
    }
}
