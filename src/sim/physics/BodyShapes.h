#pragma once
// The shapes of the simulated bodies in the physics engine: the length unit,
// a robot's outline with its kicker mouth, the ball, and the field's walls
// with the goal pockets. Shared by the simulation and by the check that a
// scenario's bodies stand apart at kick-off.

#include <box2d/box2d.h>

#include <array>
#include <cstdint>

#include "sim/scenario/Scenario.h"

/// \brief Millimetres per engine length unit. The engine is tuned for moving
/// bodies of 0.1 to 10 units, and moves a body at most 2 units per sub-step:
/// at 20 mm the ball (1.05) and a robot (3.75) sit inside that range, the
/// contact slop is 0.1 mm, the field (75 units) is a fine static size, and
/// the fastest kick (3000 mm/s) needs 6 sub-steps of a 66 ms step (the
/// fields run 8, so that robots meeting at speed do not press into each other).
constexpr double kMmPerUnit = 20.0;

/// \brief Engine length of `mm` millimetres.
inline float toUnits(double mm)
{
    return static_cast<float>(mm / kMmPerUnit);
}

/// \brief Millimetres of `units` engine lengths.
inline double toMm(float units)
{
    return static_cast<double>(units) * kMmPerUnit;
}

/// \brief How much two resting bodies may overlap in the engine (mm).
constexpr double kContactSlopMm = b2_linearSlop * kMmPerUnit;
/// \brief The engine's largest move of a body in one engine step (mm).
constexpr double kMaxMoveMm = b2_maxTranslation * kMmPerUnit;

/// \brief A robot's shapes in its own frame (x forward, y to its left).
/// `hull` is the full square: the only shape other robots and the walls meet,
/// so that a robot touches them with one contact each. `parts` are its two
/// halves, each ending at the front in a prong, with the V-shaped kicker
/// mouth between them: the only shapes the ball meets. `mouth` fills the V
/// (parts and mouth together make up the hull), for checks of overlap.
struct RobotOutline {
    b2PolygonShape hull;
    std::array<b2PolygonShape, 2> parts;
    b2PolygonShape mouth;
};

/// \brief Collision categories: robots meet robots and walls with their hulls,
/// the ball meets walls and the robots' prongs.
enum CollisionCategory : std::uint16_t {
    kWallCategory = 0x0001,
    kHullCategory = 0x0002,
    kProngCategory = 0x0004,
    kBallCategory = 0x0008,
};

/// \brief What a fixture belongs to, kept in its user data.
enum class EnginePart : std::uintptr_t { Wall = 1, Robot = 2, Ball = 3 };

/// \brief The kicker mouth's V in the robot's frame (mm): its apex on the
/// robot's axis, and the angle of its walls to the axis.
struct MouthGeometry {
    double apexX = 0.0;
    double wallAngle = 0.0;
};

/// \brief The mouth of a robot of `robotSize`: walls from the front corners'
/// tips (`mouthHalfWidth` either side of the axis) that a ball touches both of
/// with its centre `mouthDepth` ahead of the robot's centre. False when the
/// constants allow no such mouth with a solid back behind it.
bool mouthGeometry(const PhysicsSpec& physics, MouthGeometry& out);

/// \brief Half the opening of the mouth (radians): a ball seated in the V and
/// sent at most this far off the robot's axis leaves without touching a
/// prong. It is the angle of the V's walls to the axis; 0 when the constants
/// allow no mouth.
double kickOpening(const PhysicsSpec& physics);

/// \brief The fastest any point of a robot moves under its own drive (mm/s):
/// forward at the top wheel speed, or a corner while it spins on the spot.
double robotTopPointSpeed(const PhysicsSpec& physics);

/// \brief The fastest the ball can leave a robot (mm/s): a kick at the cap, or
/// a ball at the kick cap meeting a robot that drives into it at its top speed.
double ballTopSpeed(const PhysicsSpec& physics);

/// \brief The fastest a body may move and still be moved in full by the engine
/// in one sub-step (mm/s), with a margin.
double engineSpeedLimit(const PhysicsSpec& physics);

/// \brief The robot's outline; the physics constants must allow a mouth.
RobotOutline robotOutline(const PhysicsSpec& physics);

/// \brief The ball's shape.
b2CircleShape ballShape(const PhysicsSpec& physics);

/// \brief The closed outline of the walls: the field's sides with a pocket
/// behind each goal mouth; the posts are corners of this loop.
b2ChainShape fieldWalls(const FieldSpec& field);

/// \brief Engine transform of a pose in the physical frame (mm, field bearing).
b2Transform bodyTransform(posicaoXY pos, double heading);

/// \brief Engine angle of a field bearing, and back: a bearing faces (sin h, -cos h),
/// the engine's angle a faces (cos a, sin a).
inline double engineAngle(double heading)
{
    return heading - kPi / 2.0;
}

/// \brief Throws ScenarioError when two robots, a robot and the ball on the
/// centre spot or a free-ball spot, or a robot and the walls overlap at kick-off.
void checkBodiesApart(const Scenario& scenario);
