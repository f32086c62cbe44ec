#pragma once
// The ball in the engine: a bullet (continuous collision against everything)
// that rolls on keeping its share of velocity per time step.

#include <box2d/box2d.h>

#include "sim/physics/Bodies.h"
#include "sim/scenario/Scenario.h"

class Ball {
public:
    Ball(b2World& world, const PhysicsSpec& physics);

    b2Body& body() const { return *mBody; }
    posicaoXY position() const;
    /// \brief Puts the ball where `ball` says, moving as it says.
    void place(const BallBody& ball);
    /// \brief Sends the ball off at `speed` (mm/s) on field bearing `bearing`; the velocity given.
    posicaoXY kick(double speed, double bearing);
    /// \brief The ball as the engine has it; a ball slower than a crawl is stopped.
    void read(BallBody& out);
    /// \brief Whether the ball lies clear of the square of `robot` (of side `robotSize`).
    bool clearOf(const b2Body& robot, const b2PolygonShape& hull) const;

private:
    b2Body* mBody = nullptr;
    b2CircleShape mShape;
};
