#pragma once
// Builds the world-state document the server would send one robot, from a
// physical scene described in that robot's own field frame. Lets tests feed
// a WorldData real geometry without a network.
//
// Conventions: the yellow frame is the physical one and the blue frame is it
// turned by half a turn; a field bearing t is the direction (sin t, -cos t);
// an observed angle is the object's bearing minus the robot's heading, in
// degrees wrapped to [-180, 180]. Distances of the ball and robots are sent
// as whole millimetres, flag distances with decimals, other robots'
// orientations as whole degrees of their physical bearing in [0, 360).

#include <string>
#include <vector>

#include "common/Team.h"
#include "geometry/BasicUtils.h"

/// \brief Another robot of the scene, in the agent's frame.
struct SceneRobot {
    int id = 0;
    std::string nickname;
    bool teammate = true;
    posicaoXY position{0, 0};
    /// \brief Field bearing (radians) in the agent's frame.
    double heading = 0;
    /// \brief Sent with status "found"; otherwise "lost".
    bool found = true;
};

/// \brief Everything one world-state message describes.
struct Scene {
    double length = 1500;
    double width = 1300;
    /// \brief Corner-to-post distance along the goal line.
    double postToCorner = 450;
    mrTeam team = TEAM_YELLOW;

    int myId = 1;
    std::string myNickname = "r1";
    bool meFound = true;
    /// \brief This robot's position and field bearing (radians), agent's frame.
    posicaoXY me{0, 0};
    double heading = 0;

    posicaoXY ball{0, 0};
    std::vector<SceneRobot> others;
    std::string playMode = "play on";
    double time = 0;

    /// \brief Echo of the last command: none, wheel velocities or a kick.
    enum class Echo { kNone, kWheels, kKick } echo = Echo::kNone;
    float echoLeft = 0;
    float echoRight = 0;

    /// \brief Flag ids left out of the message.
    std::vector<std::string> missingFlags;
};

/// \brief The physical (yellow-frame) position of a landmark of a field L x W with posts D
/// from the corners; the flag's message id. Unknown ids give (0, 0).
posicaoXY scenePhysicalFlag(const std::string& id, double length, double width, double postToCorner);
/// \brief The 19 landmark ids in enumerator order.
const std::vector<std::string>& sceneFlagIds();
/// \brief A point of the agent's frame in the physical frame.
posicaoXY sceneToPhysical(const Scene& scene, posicaoXY p);
/// \brief The robot-relative vector (mm, radians) from this robot to a point of the agent's
/// frame, as the server measures it (not rounded).
vector_t sceneRelative(const Scene& scene, posicaoXY p);
/// \brief The world-state document text for `scene`.
std::string buildWorldState(const Scene& scene);
