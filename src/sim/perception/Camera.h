#pragma once
// What the overhead camera reports: the exact geometry of an observation,
// plus the imperfections of the camera model (Gaussian noise, random
// drop-outs, scripted blackouts). Every random draw comes from one seeded
// generator, so a run with the same seed and the same traffic repeats.

#include <cstdint>
#include <vector>

#include "geometry/BasicUtils.h"
#include "sim/scenario/Scenario.h"

/// \brief One object as a robot sees it: centre-to-centre distance (mm) and
/// bearing relative to the robot's heading (degrees, in [-180, 180]).
struct Observation {
    double dist;
    double angleDeg;
};

/// \brief The exact observation of `target` from a robot at `pos` with `heading`.
Observation observe(posicaoXY pos, double heading, posicaoXY target);

/// \brief A heading as sent for other robots: whole degrees in [0, 360),
/// counter-clockwise from the physical +x axis as atan2 measures it.
int orientationDegrees(double heading);

/// \brief The camera model of one match.
class Camera {
public:
    Camera(const CameraSpec& cameraSetup, const std::vector<RobotSpec>& robots);

    /// \brief Decides which robots are seen in the frame taken at `gameTime`.
    void takeFrame(double gameTime);
    /// \brief Whether robot `index` (scenario order) is seen in the current frame.
    bool seen(std::size_t index) const { return mSeen[index] != 0; }
    /// \brief Adds the camera's noise to an exact observation (no draw when noise is off).
    Observation blur(Observation exact);
    /// \brief Whether any noise is configured.
    bool noisy() const { return mSpec.distNoise > 0.0 || mSpec.angleNoise > 0.0; }

private:
    double uniform();
    double gaussian();
    bool inBlackout(int vtId, double gameTime) const;

    CameraSpec mSpec;
    std::vector<int> mVtIds;
    std::vector<double> mDropout;
    std::vector<char> mSeen;
    std::uint64_t mState;
};
