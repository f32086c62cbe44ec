#include "sim/physics/Physics.h"

#include <algorithm>
#include <cmath>

#include "sim/physics/BodyShapes.h"

namespace {

// Below this the ball counts as lying still (mm/s).
constexpr double kBallRest = 1.0;
// The engine's solver passes per step (its recommended values).
constexpr int kVelocityIterations = 8;
constexpr int kPositionIterations = 3;
// A robot corner further than this beyond a wall counts as outside (mm):
// more than the engine's contact slop, less than any real escape.
constexpr double kOutsideTolerance = 2.0;
// Keeps a robot put back inside this far from the walls (mm), and the rings
// searched for a free place this far apart, this many at most.
constexpr double kPutBackMargin = 2.0;
constexpr double kPutBackRing = 10.0;
constexpr int kPutBackRings = 100;
// A robot moving further than this in a sub-step (engine units) gets
// continuous collision: a few times the engine's contact slop.
constexpr float kBulletMove = 4.0f * b2_linearSlop;
// Mixed into the match seed so that the tie draw does not repeat the camera's.
constexpr std::uint64_t kTieDrawSalt = 0x9e3779b97f4a7c15ULL;

// What a fixture belongs to, kept in its user data.
enum class Part : std::uintptr_t { Wall = 1, Robot = 2, Ball = 3 };

Part partOf(b2Fixture* f)
{
    return static_cast<Part>(f->GetUserData().pointer);
}

b2FixtureDef fixtureOf(const b2Shape& shape, Part part, std::uint16_t category, std::uint16_t meets)
{
    b2FixtureDef def;
    def.shape = &shape;
    def.density = 1.0f;  // the masses are set on the bodies
    def.userData.pointer = static_cast<std::uintptr_t>(part);
    def.filter.categoryBits = category;
    def.filter.maskBits = meets;
    return def;
}

constexpr std::uint16_t kEverything = 0xFFFF;

// Whether `p` lies inside the walls, or within `tolerance` of them.
bool insideWallsBy(const FieldSpec& f, posicaoXY p, double tolerance)
{
    const double l = f.length / 2.0 + tolerance;
    const double w = f.width / 2.0 + tolerance;
    const double g = f.goalWidth / 2.0 + tolerance;
    if (std::fabs(p.y) > w || std::fabs(p.x) > l + f.goalDepth) {
        return false;
    }
    if (std::fabs(p.x) > l) {
        return std::fabs(p.y) < g;
    }
    // Not behind a corner's block: its face is the line where the distances
    // to the two walls add up to the block's leg.
    const double toWalls = (f.length / 2.0 - std::fabs(p.x)) + (f.width / 2.0 - std::fabs(p.y));
    return f.cornerBlock <= 0.0 || toWalls >= f.cornerBlock - tolerance * std::sqrt(2.0);
}

// Whether a corner of a robot of `size` at `pos` facing `heading` lies
// beyond a wall by more than the tolerance.
bool cornerOutside(const FieldSpec& field, double size, posicaoXY pos, double heading)
{
    const double half = size / 2.0;
    const posicaoXY f = bearingDirection(heading);
    const posicaoXY l = {-f.y, f.x};
    for (const double a : {-half, half}) {
        for (const double b : {-half, half}) {
            const posicaoXY corner = {pos.x + a * f.x + b * l.x, pos.y + a * f.y + b * l.y};
            if (!insideWallsBy(field, corner, kOutsideTolerance)) {
                return true;
            }
        }
    }
    return false;
}

b2Vec2 unitsPerSecond(posicaoXY mmPerSecond)
{
    return {toUnits(mmPerSecond.x), toUnits(mmPerSecond.y)};
}

bool samePose(const RobotBody& a, const RobotBody& b)
{
    return a.pos.x == b.pos.x && a.pos.y == b.pos.y && a.heading == b.heading;
}

}  // namespace

/// Sets the restitution and friction of each touching pair from the scenario:
/// the engine would otherwise mix the two fixtures' own values. A kicked ball
/// passes its own kicker: that one contact is switched off until they part.
class PhysicsContacts : public b2ContactListener {
public:
    PhysicsContacts(const PhysicsSpec& p, const int& passing) : mPhys(p), mPassing(passing) {}

    void PreSolve(b2Contact* contact, const b2Manifold*) override
    {
        const Part a = partOf(contact->GetFixtureA());
        const Part b = partOf(contact->GetFixtureB());
        const bool ball = a == Part::Ball || b == Part::Ball;
        const bool wall = a == Part::Wall || b == Part::Wall;
        if (ball && !wall && mPassing >= 0) {
            b2Fixture* robot = a == Part::Robot ? contact->GetFixtureA() : contact->GetFixtureB();
            if (static_cast<int>(robot->GetBody()->GetUserData().pointer) == mPassing) {
                contact->SetEnabled(false);
                return;
            }
        }
        if (ball && wall) {
            contact->SetRestitution(static_cast<float>(mPhys.wallRestitution));
            contact->SetFriction(0.0f);
        } else if (ball) {
            contact->SetRestitution(static_cast<float>(mPhys.ballRobotRestitution));
            contact->SetFriction(static_cast<float>(mPhys.ballRobotFriction));
        } else {
            contact->SetRestitution(static_cast<float>(mPhys.robotRestitution));
            contact->SetFriction(static_cast<float>(mPhys.robotFriction));
        }
    }

private:
    const PhysicsSpec& mPhys;
    const int& mPassing;
};

Physics::Physics(const Scenario& scenario)
    : mField(scenario.field),
      mPhys(scenario.physics),
      mRobots(scenario.robots),
      mKickOpening(kickOpening(scenario.physics)),
      mTieDraw(scenario.camera.seed ^ kTieDrawSalt)
{
    build();
}

Physics::~Physics() = default;

void Physics::build()
{
    mContacts = std::make_unique<PhysicsContacts>(mPhys, mPassing);
    mTouching.assign(mRobots.size(), 0);
    mTouchedBefore.assign(mRobots.size(), 0);
    mWorld = std::make_unique<b2World>(b2Vec2(0.0f, 0.0f));
    mWorld->SetAllowSleeping(false);
    mWorld->SetContactListener(mContacts.get());

    b2BodyDef wallDef;
    b2Body* walls = mWorld->CreateBody(&wallDef);
    const b2ChainShape chain = fieldWalls(mField);
    const b2FixtureDef wallFixture = fixtureOf(chain, Part::Wall, kWallCategory, kEverything);
    walls->CreateFixture(&wallFixture);

    const RobotOutline outline = robotOutline(mPhys);
    const float robotSize = toUnits(mPhys.robotSize);
    // The robot turns about its centre, between its wheels.
    const b2MassData robotMass{static_cast<float>(mPhys.robotMass), b2Vec2(0.0f, 0.0f),
                               static_cast<float>(mPhys.robotMass) * robotSize * robotSize / 6.0f};
    for (std::size_t i = 0; i < mRobots.size(); ++i) {
        b2BodyDef def;
        def.type = b2_dynamicBody;
        // Continuous collision between robots while they move (see drive()).
        def.bullet = true;
        def.userData.pointer = i;
        def.position = bodyTransform(mRobots[i].kickoff, mRobots[i].kickoffHeading).p;
        def.angle = static_cast<float>(engineAngle(mRobots[i].kickoffHeading));
        b2Body* body = mWorld->CreateBody(&def);
        // One hull against robots and walls (one contact per pair instead of
        // several); the prongs and the V only for the ball.
        const b2FixtureDef hull = fixtureOf(outline.hull, Part::Robot, kHullCategory, kWallCategory | kHullCategory);
        body->CreateFixture(&hull);
        for (const b2PolygonShape& part : outline.parts) {
            const b2FixtureDef fixture = fixtureOf(part, Part::Robot, kProngCategory, kBallCategory);
            body->CreateFixture(&fixture);
        }
        body->SetMassData(&robotMass);
        mRobotBodies.push_back(body);
        mWheels.push_back(wheelsFor(*body));
    }

    b2BodyDef ballDef;
    ballDef.type = b2_dynamicBody;
    ballDef.bullet = true;  // continuous collision against robots too, at any speed
    // Free rolling keeps ballKeep of the velocity per time step: the engine
    // divides the velocity by (1 + h * damping) each sub-step of length h.
    const double h = mPhys.timeStep / mPhys.subSteps;
    const double perSubStep = std::pow(mPhys.ballKeep, 1.0 / mPhys.subSteps);
    ballDef.linearDamping = static_cast<float>((1.0 / perSubStep - 1.0) / h);
    ballDef.angularDamping = ballDef.linearDamping;
    mBallBody = mWorld->CreateBody(&ballDef);
    const b2CircleShape circle = ballShape(mPhys);
    const b2FixtureDef ballFixture =
        fixtureOf(circle, Part::Ball, kBallCategory, kWallCategory | kProngCategory);
    mBallBody->CreateFixture(&ballFixture);
    const float r = circle.m_radius;
    const b2MassData ballMass{static_cast<float>(mPhys.ballMass), b2Vec2(0.0f, 0.0f),
                              0.4f * static_cast<float>(mPhys.ballMass) * r * r};
    mBallBody->SetMassData(&ballMass);
}

void Physics::command(RobotBody& robot, const RobotCommand& cmd) const
{
    robot.cmd = cmd;
    robot.cmd.left = clampLevel(cmd.left, mPhys);
    robot.cmd.right = clampLevel(cmd.right, mPhys);
    if (!std::isfinite(robot.cmd.kickAngleDeg) || !std::isfinite(robot.cmd.kickForce)) {
        robot.cmd.kickAngleDeg = 0.0;
        robot.cmd.kickForce = 0.0;
    }
    robot.kickPending = cmd.kind == RobotCommand::Kind::Kick;
    if (cmd.kind == RobotCommand::Kind::Goto) {
        const posicaoXY dir = bearingDirection(robot.heading + degToRad(cmd.gotoAngleDeg));
        const double d = cmd.gotoDist;
        robot.gotoTarget = {robot.pos.x + d * dir.x, robot.pos.y + d * dir.y};
    }
}

void Physics::placeForKickoff(std::vector<RobotBody>& robots, BallBody& ball) const
{
    placeForFreeBall(robots, ball, {0.0, 0.0});
}

void Physics::placeForFreeBall(std::vector<RobotBody>& robots, BallBody& ball, posicaoXY spot) const
{
    robots.resize(mRobots.size());
    for (std::size_t i = 0; i < robots.size(); ++i) {
        RobotBody& r = robots[i];
        r.pos = mRobots[i].kickoff;
        r.heading = mRobots[i].kickoffHeading;
        r.speed = 0.0;
        r.kickPending = false;
        // The robots stand still until their agents speak again.
        r.cmd = RobotCommand{};
    }
    ball = BallBody{};
    ball.pos = spot;
}

void Physics::syncIn(std::vector<RobotBody>& robots, BallBody& ball)
{
    robots.resize(mRobotBodies.size());
    const bool all = !mSyncedOnce;
    mSynced.resize(robots.size());
    for (std::size_t i = 0; i < robots.size(); ++i) {
        if (all || !samePose(robots[i], mSynced[i])) {
            b2Body* body = mRobotBodies[i];
            const b2Transform t = bodyTransform(robots[i].pos, robots[i].heading);
            body->SetTransform(t.p, static_cast<float>(engineAngle(robots[i].heading)));
            body->SetLinearVelocity(b2Vec2(0.0f, 0.0f));
            body->SetAngularVelocity(0.0f);
            mWheels[i]->GetBodyA()->SetTransform(body->GetPosition(), body->GetAngle());
        }
    }
    if (all || ball.pos.x != mSyncedBall.pos.x || ball.pos.y != mSyncedBall.pos.y ||
        ball.vel.x != mSyncedBall.vel.x || ball.vel.y != mSyncedBall.vel.y) {
        mBallBody->SetTransform(unitsPerSecond(ball.pos), 0.0f);
        mBallBody->SetLinearVelocity(unitsPerSecond(ball.vel));
        mBallBody->SetAngularVelocity(0.0f);
        // A ball placed anew has no kicker to pass, and nobody touched it.
        mPassing = -1;
        mLastToucher = -1;
    }
    mSyncedOnce = true;
}

void Physics::syncOut(std::vector<RobotBody>& robots, BallBody& ball)
{
    for (std::size_t i = 0; i < robots.size(); ++i) {
        b2Body* body = mRobotBodies[i];
        const b2Vec2 p = body->GetPosition();
        float angle = body->GetAngle();
        if (std::fabs(angle) > 2.0f * b2_pi) {
            // Kept small, so that a long spin does not eat the angle's precision.
            angle = static_cast<float>(wrapAngle(angle));
            body->SetTransform(p, angle);
        }
        RobotBody& r = robots[i];
        r.pos = {toMm(p.x), toMm(p.y)};
        r.heading = wrapAngle(static_cast<double>(angle) + kPi / 2.0);
        const b2Vec2 v = body->GetLinearVelocity();
        r.speed = toMm(b2Dot(v, body->GetWorldVector(b2Vec2(1.0f, 0.0f))));
        mSynced[i] = r;
    }
    const b2Vec2 v = mBallBody->GetLinearVelocity();
    if (toMm(v.Length()) < kBallRest) {
        mBallBody->SetLinearVelocity(b2Vec2(0.0f, 0.0f));
        mBallBody->SetAngularVelocity(0.0f);
    }
    const b2Vec2 p = mBallBody->GetPosition();
    const b2Vec2 rest = mBallBody->GetLinearVelocity();
    ball.pos = {toMm(p.x), toMm(p.y)};
    ball.vel = {toMm(rest.x), toMm(rest.y)};
    mSyncedBall = ball;
}

b2WheelJoint* Physics::wheelsFor(b2Body& robot)
{
    b2BodyDef carrierDef;
    carrierDef.type = b2_kinematicBody;
    carrierDef.position = robot.GetPosition();
    carrierDef.angle = robot.GetAngle();
    b2Body* carrier = mWorld->CreateBody(&carrierDef);
    // The robot rolls freely along its axis and not at all sideways; the
    // motors turn it, and hold its turn against a push as far as the grip's
    // torque allows.
    b2WheelJointDef wheels;
    wheels.Initialize(carrier, &robot, robot.GetPosition(), robot.GetWorldVector(b2Vec2(1.0f, 0.0f)));
    wheels.enableMotor = true;
    wheels.maxMotorTorque = robot.GetInertia() * static_cast<float>(mPhys.gripAccel / (mPhys.wheelBase / 2.0));
    wheels.stiffness = 0.0f;
    wheels.damping = 0.0f;
    return static_cast<b2WheelJoint*>(mWorld->CreateJoint(&wheels));
}

void Physics::drive(const RobotBody& robot, b2Body& body, b2WheelJoint& wheels, float h) const
{
    double left = 0.0;
    double right = 0.0;
    wheelTargets(robot, mPhys, left, right);
    const float forward = toUnits((left + right) / 2.0);
    const float turn = static_cast<float>((left - right) / mPhys.wheelBase);
    // The motors pull the robot along its axis towards the wheels' speed, as
    // far as their force allows.
    const b2Vec2 ahead = body.GetWorldVector(b2Vec2(1.0f, 0.0f));
    const float along = b2Dot(body.GetLinearVelocity(), ahead);
    const float maxPush = toUnits(mPhys.motorAccel) * h;
    const float push = b2Clamp(forward - along, -maxPush, maxPush);
    body.ApplyForceToCenter((body.GetMass() * push / h) * ahead, true);
    // The wheels hold the robot to a carrier that stands where it stands,
    // facing its way: the engine's solver keeps it from sliding sideways in
    // every sub-step, against whatever pushes it.
    wheels.GetBodyA()->SetTransform(body.GetPosition(), body.GetAngle());
    const float maxSpin = static_cast<float>(mPhys.motorAccel / (mPhys.wheelBase / 2.0)) * h;
    const float w = body.GetAngularVelocity();
    wheels.SetMotorSpeed(w + b2Clamp(turn - w, -maxSpin, maxSpin));
    // Continuous collision against other robots while a point of the robot
    // moves further than the contact slop in a sub-step: without it a robot
    // driving into another sinks millimetres into it before the contact
    // holds. A robot that stands, or presses against another, is left to
    // the solver alone, where its wheels hold it: the engine's continuous
    // collision would redo their sub-step without the wheels.
    const float pointSpeed = body.GetLinearVelocity().Length() + std::fabs(w) * toUnits(mPhys.robotSize) * 0.7072f;
    body.SetBullet(pointSpeed * h > kBulletMove);
}

bool Physics::canKick(const RobotBody& robot, const BallBody& ball) const
{
    const double d = std::hypot(ball.pos.x - robot.pos.x, ball.pos.y - robot.pos.y);
    if (d > mPhys.kickReach) {
        return false;
    }
    const double rel = wrapAngle(bearingTo(robot.pos, ball.pos) - robot.heading);
    return std::fabs(rel) <= degToRad(mPhys.kickHalfAngleDeg);
}

int Physics::kickThatGoesOff(std::vector<RobotBody>& robots, const BallBody& ball)
{
    int kicker = -1;
    double nearest = 0.0;
    std::uint64_t tied = 0;
    for (std::size_t i = 0; i < robots.size(); ++i) {
        RobotBody& robot = robots[i];
        if (!robot.kickPending) {
            continue;
        }
        robot.kickPending = false;
        if (!canKick(robot, ball)) {
            continue;
        }
        const double d = std::hypot(ball.pos.x - robot.pos.x, ball.pos.y - robot.pos.y);
        if (kicker < 0 || d < nearest) {
            kicker = static_cast<int>(i);
            nearest = d;
            tied = 1;
        } else if (d == nearest) {
            // Each of the tied robots wins with equal chance, whatever its index.
            ++tied;
            if (mTieDraw() % tied == 0) {
                kicker = static_cast<int>(i);
            }
        }
    }
    return kicker;
}

double Physics::kick(int kicker, const RobotBody& robot, BallBody& ball)
{
    const double force = std::max(0.0, robot.cmd.kickForce);
    const double speed = std::min(force * mPhys.kickSpeedPerForce, mPhys.kickMaxSpeed);
    double angle = wrapAngle(degToRad(robot.cmd.kickAngleDeg));
    if (mPhys.kickModel == KickModel::Mouth) {
        // This kicker can only push the ball out through its mouth.
        angle = std::clamp(angle, -mKickOpening, mKickOpening);
    } else {
        // The ball leaves where it is asked to, through its own kicker if need be.
        mPassing = kicker;
    }
    const double bearing = wrapAngle(robot.heading + angle);
    const posicaoXY dir = bearingDirection(bearing);
    ball.vel = {speed * dir.x, speed * dir.y};
    mBallBody->SetLinearVelocity(unitsPerSecond(ball.vel));
    mBallBody->SetAngularVelocity(0.0f);
    return bearing;
}

GoalFor Physics::goalAt(posicaoXY ball) const
{
    if (std::fabs(ball.y) >= mField.goalWidth / 2.0) {
        return GoalFor::None;
    }
    if (ball.x > mField.length / 2.0) {
        return GoalFor::Yellow;  // yellow attacks +x
    }
    if (ball.x < -mField.length / 2.0) {
        return GoalFor::Blue;
    }
    return GoalFor::None;
}

void Physics::noteTouches(StepEvents& events)
{
    std::swap(mTouching, mTouchedBefore);
    std::fill(mTouching.begin(), mTouching.end(), 0);
    int begun = -1;
    int any = -1;
    for (const b2ContactEdge* e = mBallBody->GetContactList(); e != nullptr; e = e->next) {
        // A contact switched off for a passing kicker is no touch.
        if (!e->contact->IsTouching() || !e->contact->IsEnabled() || e->other->GetType() != b2_dynamicBody) {
            continue;
        }
        const int robot = static_cast<int>(e->other->GetUserData().pointer);
        const std::size_t r = static_cast<std::size_t>(robot);
        mTouching[r] = 1;
        if (std::find(events.touchers.begin(), events.touchers.end(), robot) == events.touchers.end()) {
            events.touchers.push_back(robot);
        }
        // Of touches that begin together, or go on together, the lowest index,
        // so that a run repeats.
        if (!mTouchedBefore[r] && (begun < 0 || robot < begun)) {
            begun = robot;
        }
        if (any < 0 || robot < any) {
            any = robot;
        }
    }
    // The last toucher is the robot whose touch began last, or one still
    // touching when that one has let go.
    if (begun >= 0) {
        mLastToucher = begun;
    } else if (any >= 0 && (mLastToucher < 0 || !mTouching[static_cast<std::size_t>(mLastToucher)])) {
        mLastToucher = any;
    }
    if (any >= 0) {
        events.lastToucher = mLastToucher;
    }
}

bool Physics::ballClearOf(int robot) const
{
    const b2PolygonShape hull = robotOutline(mPhys).hull;
    const b2CircleShape circle = ballShape(mPhys);
    return !b2TestOverlap(&hull, 0, &circle, 0, mRobotBodies[static_cast<std::size_t>(robot)]->GetTransform(),
                          mBallBody->GetTransform());
}

void Physics::step(std::vector<RobotBody>& robots, BallBody& ball, StepEvents& events)
{
    events.clear();
    syncIn(robots, ball);
    const int kicker = kickThatGoesOff(robots, ball);
    if (kicker >= 0) {
        const RobotBody& robot = robots[static_cast<std::size_t>(kicker)];
        events.kickAskedDeg = robot.cmd.kickAngleDeg;
        events.kickLeftBearing = kick(kicker, robot, ball);
        events.kickers.push_back(kicker);
        events.lastToucher = mLastToucher = kicker;
    }
    const float h = static_cast<float>(mPhys.timeStep / mPhys.subSteps);
    for (int s = 0; s < mPhys.subSteps; ++s) {
        for (std::size_t i = 0; i < robots.size(); ++i) {
            drive(robots[i], *mRobotBodies[i], *mWheels[i], h);
        }
        mWorld->Step(h, kVelocityIterations, kPositionIterations);
        if (mPassing >= 0 && ballClearOf(mPassing)) {
            mPassing = -1;
        }
        noteTouches(events);
        const b2Vec2 p = mBallBody->GetPosition();
        events.goal = goalAt({toMm(p.x), toMm(p.y)});
        if (events.goal != GoalFor::None) {
            break;
        }
    }
    syncOut(robots, ball);
    events.passing = mPassing;
    putBackInside(robots, ball, events);
    events.ballOut = events.goal == GoalFor::None && !insideWalls(ball.pos);
}

bool Physics::robotOutside(const RobotBody& robot) const
{
    return cornerOutside(mField, mPhys.robotSize, robot.pos, robot.heading);
}

bool Physics::placeIsFree(const b2PolygonShape& hull, std::size_t robot, posicaoXY at, double heading,
                          const BallBody& ball) const
{
    const b2Transform t = bodyTransform(at, heading);
    for (std::size_t j = 0; j < mRobotBodies.size(); ++j) {
        if (j != robot && b2TestOverlap(&hull, 0, &hull, 0, t, mRobotBodies[j]->GetTransform())) {
            return false;
        }
    }
    const b2CircleShape circle = ballShape(mPhys);
    const b2Transform ballAt(unitsPerSecond(ball.pos), b2Rot(0.0f));
    return !b2TestOverlap(&hull, 0, &circle, 0, t, ballAt);
}

void Physics::putBackInside(std::vector<RobotBody>& robots, const BallBody& ball, StepEvents& events)
{
    // Any heading fits inside this rectangle of centres.
    const double reach = mPhys.robotSize / std::sqrt(2.0) + kPutBackMargin;
    const double maxX = mField.length / 2.0 - reach;
    const double maxY = mField.width / 2.0 - reach;
    for (std::size_t i = 0; i < robots.size(); ++i) {
        RobotBody& robot = robots[i];
        if (!robotOutside(robot)) {
            continue;
        }
        const b2PolygonShape hull = robotOutline(mPhys).hull;
        const posicaoXY start = {std::clamp(robot.pos.x, -maxX, maxX), std::clamp(robot.pos.y, -maxY, maxY)};
        posicaoXY place = start;
        // Inside the walls (and clear of the corners' blocks) and of the other bodies.
        const auto fits = [&](posicaoXY p) {
            return std::fabs(p.x) <= maxX && std::fabs(p.y) <= maxY &&
                   !cornerOutside(mField, mPhys.robotSize, p, robot.heading) &&
                   placeIsFree(hull, i, p, robot.heading, ball);
        };
        bool found = fits(start);
        for (int ring = 1; ring <= kPutBackRings && !found; ++ring) {
            const double radius = ring * kPutBackRing;
            const int points = 6 * ring;
            for (int k = 0; k < points && !found; ++k) {
                const double a = kTwoPi * k / points;
                const posicaoXY p = {start.x + radius * std::cos(a), start.y + radius * std::sin(a)};
                if (fits(p)) {
                    place = p;
                    found = true;
                }
            }
        }
        robot.pos = place;
        robot.speed = 0.0;
        b2Body* body = mRobotBodies[i];
        body->SetTransform(bodyTransform(place, robot.heading).p, body->GetAngle());
        body->SetLinearVelocity(b2Vec2(0.0f, 0.0f));
        body->SetAngularVelocity(0.0f);
        mWheels[i]->GetBodyA()->SetTransform(body->GetPosition(), body->GetAngle());
        mSynced[i] = robot;
        events.putBack.push_back(static_cast<int>(i));
    }
}

bool Physics::insideWalls(posicaoXY ball) const
{
    return insideWallsBy(mField, ball, 0.0);
}
