#include "sim/physics/Ball.h"

#include <cmath>

#include "sim/physics/BodyShapes.h"
#include "sim/physics/Kinematics.h"

namespace {

// Below this the ball counts as lying still (mm/s).
constexpr double kBallRest = 1.0;

b2Vec2 units(posicaoXY mm)
{
    return {toUnits(mm.x), toUnits(mm.y)};
}

}  // namespace

Ball::Ball(b2World& world, const PhysicsSpec& physics) : mShape(ballShape(physics))
{
    b2BodyDef def;
    def.type = b2_dynamicBody;
    def.bullet = true;  // continuous collision against robots too, at any speed
    // Free rolling keeps ballKeep of the velocity per time step: the engine
    // divides the velocity by (1 + h * damping) each sub-step of length h.
    const double h = physics.timeStep / physics.subSteps;
    const double perSubStep = std::pow(physics.ballKeep, 1.0 / physics.subSteps);
    def.linearDamping = static_cast<float>((1.0 / perSubStep - 1.0) / h);
    def.angularDamping = def.linearDamping;
    mBody = world.CreateBody(&def);
    b2FixtureDef fixture;
    fixture.shape = &mShape;
    fixture.density = 1.0f;
    fixture.userData.pointer = static_cast<std::uintptr_t>(EnginePart::Ball);
    fixture.filter.categoryBits = kBallCategory;
    fixture.filter.maskBits = kWallCategory | kProngCategory;
    mBody->CreateFixture(&fixture);
    const float r = mShape.m_radius;
    const b2MassData mass{static_cast<float>(physics.ballMass), b2Vec2(0.0f, 0.0f),
                          0.4f * static_cast<float>(physics.ballMass) * r * r};
    mBody->SetMassData(&mass);
}

posicaoXY Ball::position() const
{
    const b2Vec2 p = mBody->GetPosition();
    return {toMm(p.x), toMm(p.y)};
}

void Ball::place(const BallBody& ball)
{
    mBody->SetTransform(units(ball.pos), 0.0f);
    mBody->SetLinearVelocity(units(ball.vel));
    mBody->SetAngularVelocity(0.0f);
}

posicaoXY Ball::kick(double speed, double bearing)
{
    const posicaoXY dir = bearingDirection(bearing);
    const posicaoXY vel = {speed * dir.x, speed * dir.y};
    mBody->SetLinearVelocity(units(vel));
    mBody->SetAngularVelocity(0.0f);
    return vel;
}

void Ball::read(BallBody& ball)
{
    if (toMm(mBody->GetLinearVelocity().Length()) < kBallRest) {
        mBody->SetLinearVelocity(b2Vec2(0.0f, 0.0f));
        mBody->SetAngularVelocity(0.0f);
    }
    const b2Vec2 v = mBody->GetLinearVelocity();
    ball.pos = position();
    ball.vel = {toMm(v.x), toMm(v.y)};
}

bool Ball::clearOf(const b2Body& robot, const b2PolygonShape& hull) const
{
    return !b2TestOverlap(&hull, 0, &mShape, 0, robot.GetTransform(), mBody->GetTransform());
}
