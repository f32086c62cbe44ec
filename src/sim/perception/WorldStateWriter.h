#pragma once
// Writes the world-state document one robot receives each cycle: what the
// camera sees from that robot (ball, other robots, the 19 flags), the clock,
// the play mode, the score and the echo of the robot's last command. The
// text is built into one reused buffer, so a cycle allocates nothing once
// the buffer has grown.

#include <array>
#include <string>
#include <vector>

#include "sim/perception/Camera.h"
#include "sim/perception/Landmarks.h"
#include "sim/physics/Bodies.h"
#include "sim/scenario/Scenario.h"

/// \brief What every robot's document shares in one cycle.
struct WorldStateHeader {
    double time = 0.0;
    const char* playMode = "before kick off";
    int yellow = 0;
    int blue = 0;
};

/// \brief Builds world-state documents for the robots of one scenario.
class WorldStateWriter {
public:
    explicit WorldStateWriter(const Scenario& scenario);

    /// \brief The document for robot `observer` (scenario order); valid until the next call.
    /// Noise is drawn from `camera` for every observation written.
    const std::string& build(std::size_t observer, const std::vector<RobotBody>& robots, const BallBody& ball,
                             Camera& camera, const WorldStateHeader& header);

private:
    void leaf(const char* name, const char* text);
    void leafInt(const char* name, long value);
    void leafReal(const char* name, double value, int decimals);
    void leafShort(const char* name, double value);
    void open(const char* name);
    void close(const char* name);
    void echo(const RobotCommand& cmd);

    std::vector<RobotSpec> mRobots;
    std::array<Landmark, kFlagCount> mFlags;
    std::string mOut;
};
