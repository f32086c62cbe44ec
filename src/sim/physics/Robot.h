#pragma once
// One robot in the engine: a square body with its kicker mouth, on wheels
// that roll along its axis and give at most a millimetre sideways before they
// slide, driven by two motors with a dead band; its kicker sends the ball off
// when the ball is within reach.

#include <box2d/box2d.h>

#include <cstddef>

#include "sim/physics/Bodies.h"
#include "sim/physics/BodyShapes.h"
#include "sim/scenario/Scenario.h"

class Robot {
public:
    /// \brief Creates robot number `index` of `world` at `robot`'s kick-off pose.
    Robot(b2World& world, std::size_t index, const RobotSpec& robot, const PhysicsSpec& physics,
          const RobotOutline& outline);

    b2Body& body() const { return *mBody; }
    /// \brief Puts the robot at a pose, stopped.
    void place(posicaoXY pos, double heading);
    /// \brief Moves the robot to `pos` keeping its heading, stopped.
    void moveTo(posicaoXY pos);
    /// \brief Sets the motors for one sub-step of length `h` from the robot's command.
    void drive(const RobotBody& state, float h);
    /// \brief The robot's pose and forward speed as the engine has them.
    void read(RobotBody& out);

    /// \brief The kick rule: is `ball` within the kicker's reach?
    static bool canKick(const RobotBody& robot, const BallBody& ball, const PhysicsSpec& physics);
    /// \brief The field bearing a kick sends the ball on: the angle asked, or with a
    /// mouth-limited kicker, at most `opening` off the heading.
    static double kickBearing(const RobotBody& robot, const PhysicsSpec& physics, double opening);
    /// \brief The ball's speed (mm/s) a kick of the robot's force gives.
    static double kickSpeed(const RobotBody& robot, const PhysicsSpec& physics);

private:
    const PhysicsSpec& mPhys;
    b2Body* mBody = nullptr;
    /// \brief Where its wheels grip the ground: a body under it, facing its way.
    b2Body* mCarrier = nullptr;
    /// \brief How far (engine units) the robot stands to the left of its wheels' grip.
    float mSlip = 0.0f;
    /// \brief Its motors' turn, against the carrier.
    b2MotorJoint* mTurn = nullptr;
};
