#include "sim/perception/Camera.h"

#include <cmath>

#include "sim/physics/Kinematics.h"

namespace {

constexpr double kFullTurnDeg = 360.0;

}  // namespace

Observation observe(posicaoXY pos, double heading, posicaoXY target)
{
    const double dx = target.x - pos.x;
    const double dy = target.y - pos.y;
    const double dist = std::sqrt(dx * dx + dy * dy);
    return {dist, radToDeg(wrapAngle(bearingTo(pos, target) - heading))};
}

int orientationDegrees(double heading)
{
    // A field bearing h points along (sin h, -cos h): atan2 angle h - 90 deg.
    double deg = std::fmod(radToDeg(heading) - 90.0, kFullTurnDeg);
    if (deg < 0.0) {
        deg += kFullTurnDeg;
    }
    const int whole = static_cast<int>(std::lround(deg));
    return whole >= 360 ? whole - 360 : whole;
}

Camera::Camera(const CameraSpec& cameraSetup, const std::vector<RobotSpec>& robots)
    : mSpec(cameraSetup), mSeen(robots.size(), 1), mState(cameraSetup.seed)
{
    for (const RobotSpec& r : robots) {
        mVtIds.push_back(r.vtId);
        mDropout.push_back(r.dropout >= 0.0 ? r.dropout : cameraSetup.dropout);
    }
}

// splitmix64: small, fast and the same on every platform, unlike the
// standard distributions whose output is left to the library.
double Camera::uniform()
{
    std::uint64_t z = (mState += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * 0x1.0p-53;
}

double Camera::gaussian()
{
    // Box-Muller; 1 - u keeps the logarithm finite.
    const double u1 = 1.0 - uniform();
    const double u2 = uniform();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(kTwoPi * u2);
}

bool Camera::inBlackout(int vtId, double gameTime) const
{
    for (const Blackout& b : mSpec.blackouts) {
        if (b.vtId == vtId && gameTime >= b.start && gameTime < b.end) {
            return true;
        }
    }
    return false;
}

void Camera::takeFrame(double gameTime)
{
    for (std::size_t i = 0; i < mSeen.size(); ++i) {
        bool seen = !inBlackout(mVtIds[i], gameTime);
        if (mDropout[i] > 0.0 && uniform() < mDropout[i]) {
            seen = false;
        }
        mSeen[i] = seen ? 1 : 0;
    }
}

Observation Camera::blur(Observation exact)
{
    if (mSpec.distNoise > 0.0) {
        exact.dist = std::fmax(0.0, exact.dist + mSpec.distNoise * gaussian());
    }
    if (mSpec.angleNoise > 0.0) {
        exact.angleDeg = radToDeg(wrapAngle(degToRad(exact.angleDeg + mSpec.angleNoise * gaussian())));
    }
    return exact;
}
