#pragma once
// Everything a simulated match is made of: the field, the physical
// constants, the camera model, the match rules and the robots, as plain
// values with the built-in 3 against 3 defaults. Reading and checking a
// scenario file is done beside them (sim/scenario/ScenarioFile.h).

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/Team.h"
#include "geometry/BasicUtils.h"

/// \brief A scenario file that cannot be read or holds a bad key or value.
class ScenarioError : public std::runtime_error {
public:
    explicit ScenarioError(const std::string& what) : std::runtime_error(what) {}
};

/// \brief Field dimensions in mm; the goals are centred on the two short sides.
struct FieldSpec {
    double length = 1500.0;
    double width = 1300.0;
    double goalWidth = 400.0;
    /// \brief How far the goal pocket reaches behind the goal line.
    double goalDepth = 100.0;
    /// \brief Legs of the right-angled triangular blocks that fill the four
    /// corners (mm); 0 leaves square corners.
    double cornerBlock = 70.0;

    /// \brief Distance from a corner to the nearer goal post along the goal line.
    double poleOffset() const { return (width - goalWidth) / 2.0; }
};

/// \brief Aimed kicks leave in any direction the robot asks; mouth-limited ones only through its mouth's opening.
enum class KickModel { Aimed, Mouth };

/// \brief Motor, body, ball and kick constants.
struct PhysicsSpec {
    double timeStep = 0.066;
    /// \brief Engine steps inside each time step.
    int subSteps = 8;
    /// \brief Wheel levels up to this magnitude do not turn the wheel.
    double deadBand = 26.5;
    /// \brief Wheel speed in mm/s per level above the dead band.
    double wheelGain = 8.0;
    /// \brief Highest wheel level the motors accept; larger requests are clamped.
    double maxLevel = 130.434697458164;
    double wheelBase = 75.0;
    /// \brief Side of the square robot (mm).
    double robotSize = 75.0;
    double ballRadius = 21.0;
    /// \brief Centre-to-centre distance of a ball seated in the V of the kicker mouth.
    double mouthDepth = 20.0;
    /// \brief Half width of the kicker mouth where it opens onto the front of the robot.
    double mouthHalfWidth = 36.0;
    /// \brief Masses in kg.
    double robotMass = 0.4;
    double ballMass = 0.046;
    /// \brief Most the motors can speed a robot up or slow it down (mm/s^2).
    double motorAccel = 12000.0;
    /// \brief Most the wheels' grip can hold a robot's turn against a push, as an
    /// acceleration at the wheels (mm/s^2); sideways the wheels never slide.
    double gripAccel = 20000.0;
    /// \brief Share of its velocity the ball keeps each time step while rolling free.
    double ballKeep = 0.868;
    /// \brief Restitution of the ball off walls and posts.
    double wallRestitution = 0.6;
    /// \brief Restitution and friction of the ball off robots (a plastic ball off a robot).
    double ballRobotRestitution = 0.4;
    double ballRobotFriction = 0.0;
    /// \brief Restitution and friction of robots off robots and walls.
    double robotRestitution = 0.05;
    double robotFriction = 0.0;
    /// \brief A kick needs the ball this close (centre to centre)...
    double kickReach = 45.0;
    /// \brief ... and within this many degrees of the heading.
    double kickHalfAngleDeg = 60.0;
    /// \brief Ball speed (mm/s) per unit of kick force.
    double kickSpeedPerForce = 2706.0;
    double kickMaxSpeed = 3000.0;
    /// \brief How a kick's direction is chosen.
    KickModel kickModel = KickModel::Aimed;
};

/// \brief A scripted camera blackout of one robot, in game seconds [start, end).
struct Blackout {
    int vtId = 0;
    double start = 0.0;
    double end = 0.0;
};

/// \brief Camera imperfections; all random draws come from `seed`.
struct CameraSpec {
    std::uint64_t seed = 1;
    /// \brief Standard deviation of the distance noise (mm); 0 = exact.
    double distNoise = 0.0;
    /// \brief Standard deviation of the angle noise (degrees); 0 = exact.
    double angleNoise = 0.0;
    /// \brief Chance per step that a robot is not seen (robots may override it).
    double dropout = 0.0;
    std::vector<Blackout> blackouts;
};

/// \brief Timing of the match, in game seconds.
struct RulesSpec {
    /// \brief Play time ("play on" and "warn ending" together).
    double matchLength = 60.0;
    /// \brief Length of each "before kick off" pause.
    double kickoffPause = 1.0;
    /// \brief The last part of the play time announced as "warn ending".
    double warnEnding = 10.0;
    /// \brief How long "time over" is announced before the server stops.
    double timeOverLength = 1.0;
    /// \brief Play time after which a ball that has not moved more than
    /// `stallDistance` (mm) is put back into play from a free-ball spot.
    double stallTime = 10.0;
    double stallDistance = 100.0;
    /// \brief The free-ball spots are (+-freeBallX, +-freeBallY).
    double freeBallX = 375.0;
    double freeBallY = 450.0;
};

/// \brief The four free-ball spots.
std::vector<posicaoXY> freeBallSpots(const RulesSpec& rules);

/// \brief One robot: who it is and where it stands at kick-off (physical frame).
struct RobotSpec {
    int vtId = 0;
    mrTeam team = TEAM_YELLOW;
    std::string nickname;
    posicaoXY kickoff{0.0, 0.0};
    /// \brief Kick-off heading as a field bearing in radians.
    double kickoffHeading = 0.0;
    /// \brief Per-robot drop-out chance; negative = the camera's default.
    double dropout = -1.0;
};

/// \brief One value of a field family as drawn for a match: a number, or a word (KICK_MODEL).
struct DrawnValue {
    /// \brief The scenario file's key.
    std::string key;
    bool isNumber = true;
    double number = 0.0;
    std::string word;
};

/// \brief A whole match set-up.
struct Scenario {
    FieldSpec field;
    PhysicsSpec physics;
    CameraSpec camera;
    RulesSpec rules;
    /// \brief Robots ordered by vt_id.
    std::vector<RobotSpec> robots;
    /// \brief The protocol version the server announces.
    std::string protocolVersion = "1.0";
    /// \brief The values drawn for this match from a field family, by key; empty for a fixed scenario.
    std::vector<DrawnValue> drawn;

    /// \brief The robot with `vtId`, or null.
    const RobotSpec* robot(int vtId) const;
};

/// \brief The built-in scenario: `perSide` robots a side (3 or 5), a goalkeeper "GO" each;
/// five a side play on a 2200 x 1800 mm field.
Scenario defaultScenario(int perSide = 3);

/// \brief "yellow" or "blue".
const char* teamName(mrTeam team);
