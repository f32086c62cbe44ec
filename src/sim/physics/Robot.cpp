#include "sim/physics/Robot.h"

#include <algorithm>
#include <cmath>

#include "sim/physics/Kinematics.h"

namespace {

// A robot moving further than this in a sub-step (engine units) gets
// continuous collision: a few times the engine's contact slop.
constexpr float kBulletMove = 4.0f * b2_linearSlop;
// The wheels' sideways grip (engine units): a spring and damper between the
// robot's centre and a point far out on its side, so that they act straight
// sideways. The spring gives at most kMaxSlip before the wheels slide; at
// that give it holds kGripHold times the motors' push, and it settles in
// about kGripRelax seconds.
constexpr float kGripArm = 100.0f;
constexpr float kMaxSlip = 0.05f;
constexpr float kGripHold = 2.0f;
constexpr float kGripRelax = 0.1f;

b2FixtureDef fixtureOf(const b2Shape& shape, std::uint16_t category, std::uint16_t meets)
{
    b2FixtureDef def;
    def.shape = &shape;
    def.density = 1.0f;  // the masses are set on the bodies
    def.userData.pointer = static_cast<std::uintptr_t>(EnginePart::Robot);
    def.filter.categoryBits = category;
    def.filter.maskBits = meets;
    return def;
}

}  // namespace

Robot::Robot(b2World& world, std::size_t index, const RobotSpec& robot, const PhysicsSpec& physics,
             const RobotOutline& outline)
    : mPhys(physics)
{
    const float size = toUnits(physics.robotSize);
    // The robot turns about its centre, between its wheels.
    const b2MassData mass{static_cast<float>(physics.robotMass), b2Vec2(0.0f, 0.0f),
                          static_cast<float>(physics.robotMass) * size * size / 6.0f};
    b2BodyDef def;
    def.type = b2_dynamicBody;
    def.userData.pointer = index;
    def.position = bodyTransform(robot.kickoff, robot.kickoffHeading).p;
    def.angle = static_cast<float>(engineAngle(robot.kickoffHeading));
    mBody = world.CreateBody(&def);
    // One hull against robots and walls (one contact per pair instead of
    // several); the prongs and the V only for the ball.
    const b2FixtureDef hull = fixtureOf(outline.hull, kHullCategory, kWallCategory | kHullCategory);
    mBody->CreateFixture(&hull);
    for (const b2PolygonShape& part : outline.parts) {
        const b2FixtureDef fixture = fixtureOf(part, kProngCategory, kBallCategory);
        mBody->CreateFixture(&fixture);
    }
    mBody->SetMassData(&mass);

    b2BodyDef carrierDef;
    carrierDef.type = b2_kinematicBody;
    carrierDef.position = def.position;
    carrierDef.angle = def.angle;
    mCarrier = world.CreateBody(&carrierDef);
    // The wheels' grip: the engine solves a soft joint in its velocity pass and
    // leaves it out of its position pass, where the contacts push pressed
    // bodies apart, sideways too (a rigid joint would hold them in the overlap).
    const float stiffness = kGripHold * mass.mass * toUnits(physics.motorAccel) / kMaxSlip;
    b2DistanceJointDef grip;
    grip.bodyA = mCarrier;
    grip.bodyB = mBody;
    grip.localAnchorA.Set(0.0f, kGripArm);
    grip.localAnchorB.Set(0.0f, 0.0f);
    grip.length = kGripArm;
    grip.minLength = 0.0f;
    grip.maxLength = 2.0f * kGripArm;
    grip.stiffness = stiffness;
    grip.damping = stiffness * kGripRelax;
    world.CreateJoint(&grip);
    // The motors turn the robot towards the wheels' turn rate, and hold its
    // turn against a push as far as the grip's torque allows.
    b2MotorJointDef turn;
    turn.Initialize(mCarrier, mBody);
    turn.maxForce = 0.0f;
    turn.maxTorque = mass.I * static_cast<float>(physics.gripAccel / (physics.wheelBase / 2.0));
    turn.correctionFactor = 1.0f;
    mTurn = static_cast<b2MotorJoint*>(world.CreateJoint(&turn));
}

void Robot::place(posicaoXY pos, double heading)
{
    const b2Transform t = bodyTransform(pos, heading);
    mBody->SetTransform(t.p, static_cast<float>(engineAngle(heading)));
    mBody->SetLinearVelocity(b2Vec2(0.0f, 0.0f));
    mBody->SetAngularVelocity(0.0f);
    mCarrier->SetTransform(mBody->GetPosition(), mBody->GetAngle());
    mSlip = 0.0f;
}

void Robot::moveTo(posicaoXY pos)
{
    mBody->SetTransform(b2Vec2(toUnits(pos.x), toUnits(pos.y)), mBody->GetAngle());
    mBody->SetLinearVelocity(b2Vec2(0.0f, 0.0f));
    mBody->SetAngularVelocity(0.0f);
    mCarrier->SetTransform(mBody->GetPosition(), mBody->GetAngle());
    mSlip = 0.0f;
}

void Robot::drive(const RobotBody& state, float h)
{
    b2Body& body = *mBody;
    double left = 0.0;
    double right = 0.0;
    wheelTargets(state, mPhys, left, right);
    const float forward = toUnits((left + right) / 2.0);
    const float turn = static_cast<float>((left - right) / mPhys.wheelBase);
    // The motors pull the robot along its axis towards the wheels' speed, as
    // far as their force allows.
    const b2Vec2 ahead = body.GetWorldVector(b2Vec2(1.0f, 0.0f));
    const float along = b2Dot(body.GetLinearVelocity(), ahead);
    const float maxPush = toUnits(mPhys.motorAccel) * h;
    const float push = b2Clamp(forward - along, -maxPush, maxPush);
    body.ApplyForceToCenter((body.GetMass() * push / h) * ahead, true);
    // The wheels grip the ground through a carrier that stands under the
    // robot, facing its way, moved along with it every sub-step. It keeps the
    // wheels' sideways give from the last sub-step; beyond kMaxSlip the
    // wheels slide and the carrier follows the robot.
    const b2Vec2 lastSide = mCarrier->GetWorldVector(b2Vec2(0.0f, 1.0f));
    mSlip = b2Clamp(b2Dot(body.GetPosition() - mCarrier->GetPosition(), lastSide), -kMaxSlip, kMaxSlip);
    mCarrier->SetTransform(body.GetPosition() - mSlip * body.GetWorldVector(b2Vec2(0.0f, 1.0f)), body.GetAngle());
    const float maxSpin = static_cast<float>(mPhys.motorAccel / (mPhys.wheelBase / 2.0)) * h;
    const float w = body.GetAngularVelocity();
    // The turn joint steers the angle towards where this sub-step's turn rate takes it.
    mTurn->SetAngularOffset((w + b2Clamp(turn - w, -maxSpin, maxSpin)) * h);
    // Continuous collision against other robots while a point of the robot
    // moves further than the contact slop in a sub-step: without it a robot
    // driving into another sinks millimetres into it before the contact
    // holds. A robot that stands, or presses against another, is left to
    // the solver alone, where its wheels hold it: the engine's continuous
    // collision would redo their sub-step without the wheels.
    const float corner = toUnits(mPhys.robotSize) * 0.7072f;
    body.SetBullet((body.GetLinearVelocity().Length() + std::fabs(w) * corner) * h > kBulletMove);
}

void Robot::read(RobotBody& r)
{
    const b2Vec2 p = mBody->GetPosition();
    float angle = mBody->GetAngle();
    if (std::fabs(angle) > 2.0f * b2_pi) {
        // Kept small, so that a long spin does not eat the angle's precision.
        angle = static_cast<float>(wrapAngle(angle));
        mBody->SetTransform(p, angle);
    }
    r.pos = {toMm(p.x), toMm(p.y)};
    r.heading = wrapAngle(static_cast<double>(angle) + kPi / 2.0);
    const b2Vec2 v = mBody->GetLinearVelocity();
    r.speed = toMm(b2Dot(v, mBody->GetWorldVector(b2Vec2(1.0f, 0.0f))));
}

bool Robot::canKick(const RobotBody& robot, const BallBody& ball, const PhysicsSpec& physics)
{
    const double d = std::hypot(ball.pos.x - robot.pos.x, ball.pos.y - robot.pos.y);
    if (d > physics.kickReach) {
        return false;
    }
    const double rel = wrapAngle(bearingTo(robot.pos, ball.pos) - robot.heading);
    return std::fabs(rel) <= degToRad(physics.kickHalfAngleDeg);
}

double Robot::kickBearing(const RobotBody& robot, const PhysicsSpec& physics, double opening)
{
    double angle = wrapAngle(degToRad(robot.cmd.kickAngleDeg));
    if (physics.kickModel == KickModel::Mouth) {
        // This kicker can only push the ball out through its mouth.
        angle = std::clamp(angle, -opening, opening);
    }
    return wrapAngle(robot.heading + angle);
}

double Robot::kickSpeed(const RobotBody& robot, const PhysicsSpec& physics)
{
    const double force = std::max(0.0, robot.cmd.kickForce);
    return std::min(force * physics.kickSpeedPerForce, physics.kickMaxSpeed);
}
