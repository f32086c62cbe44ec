#include "sim/physics/World.h"

#include <box2d/box2d.h>

#include <algorithm>
#include <cmath>

#include "sim/physics/Ball.h"
#include "sim/physics/BodyShapes.h"
#include "sim/physics/Kinematics.h"
#include "sim/physics/Robot.h"

namespace {

// The engine's solver passes per step (its recommended values).
constexpr int kVelocityIterations = 8;
constexpr int kPositionIterations = 3;
// Keeps a robot put back inside this far from the walls (mm), and the rings
// searched for a free place this far apart, this many at most.
constexpr double kPutBackMargin = 2.0;
constexpr double kPutBackRing = 10.0;
constexpr int kPutBackRings = 100;
// A ball passing its kicker slower than this (mm/s) has stopped in it.
constexpr double kPassingSpeed = 100.0;

EnginePart partOf(b2Fixture* f)
{
    return static_cast<EnginePart>(f->GetUserData().pointer);
}

bool samePose(const RobotBody& a, const RobotBody& b)
{
    return a.pos.x == b.pos.x && a.pos.y == b.pos.y && a.heading == b.heading;
}

}  // namespace

// The engine times every step and island for a profile this program never
// reads, with two clock reads per timer: an eighth of a step's cost. These
// definitions take the place of the engine library's own timer (the dynamic
// linker binds the library's calls to the program's definitions), so that
// its profile reads zero.
b2Timer::b2Timer() = default;
void b2Timer::Reset() {}
float b2Timer::GetMilliseconds() const
{
    return 0.0f;
}

/// Sets the restitution and friction of each touching pair from the scenario:
/// the engine would otherwise mix the two fixtures' own values. A kicked ball
/// passes its own kicker: that one contact is switched off until they part.
class WorldContacts : public b2ContactListener {
public:
    WorldContacts(const PhysicsSpec& p, const int& passing) : mPhys(p), mPassing(passing) {}

    void PreSolve(b2Contact* contact, const b2Manifold*) override
    {
        const EnginePart a = partOf(contact->GetFixtureA());
        const EnginePart b = partOf(contact->GetFixtureB());
        const bool ball = a == EnginePart::Ball || b == EnginePart::Ball;
        const bool wall = a == EnginePart::Wall || b == EnginePart::Wall;
        if (ball && !wall && mPassing >= 0) {
            b2Fixture* robot = a == EnginePart::Robot ? contact->GetFixtureA() : contact->GetFixtureB();
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

World::World(const Scenario& scenario)
    : mField(scenario.field),
      mPhys(scenario.physics),
      mRobotSpecs(scenario.robots),
      mKickOpening(kickOpening(scenario.physics)),
      mTouching(scenario.robots.size(), 0),
      mTouchedBefore(scenario.robots.size(), 0)
{
    mContacts = std::make_unique<WorldContacts>(mPhys, mPassing);
    mWorld = std::make_unique<b2World>(b2Vec2(0.0f, 0.0f));
    mWorld->SetAllowSleeping(false);
    mWorld->SetContactListener(mContacts.get());
    mField.build(*mWorld);
    const RobotOutline outline = robotOutline(mPhys);
    for (std::size_t i = 0; i < mRobotSpecs.size(); ++i) {
        mRobots.push_back(std::make_unique<Robot>(*mWorld, i, mRobotSpecs[i], mPhys, outline));
    }
    mBall = std::make_unique<Ball>(*mWorld, mPhys);
}

World::~World() = default;

void World::command(RobotBody& robot, const RobotCommand& cmd) const
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

void World::placeForKickoff(std::vector<RobotBody>& robots, BallBody& ball) const
{
    placeForFreeBall(robots, ball, {0.0, 0.0});
}

void World::placeForFreeBall(std::vector<RobotBody>& robots, BallBody& ball, posicaoXY spot) const
{
    robots.resize(mRobotSpecs.size());
    for (std::size_t i = 0; i < robots.size(); ++i) {
        RobotBody& r = robots[i];
        r.pos = mRobotSpecs[i].kickoff;
        r.heading = mRobotSpecs[i].kickoffHeading;
        r.speed = 0.0;
        r.kickPending = false;
        // The robots stand still until their agents speak again.
        r.cmd = RobotCommand{};
    }
    ball = BallBody{};
    ball.pos = spot;
}

void World::syncIn(std::vector<RobotBody>& robots, BallBody& ball)
{
    robots.resize(mRobots.size());
    const bool all = !mSyncedOnce;
    mSynced.resize(robots.size());
    for (std::size_t i = 0; i < robots.size(); ++i) {
        if (all || !samePose(robots[i], mSynced[i])) {
            mRobots[i]->place(robots[i].pos, robots[i].heading);
        }
    }
    if (all || ball.pos.x != mSyncedBall.pos.x || ball.pos.y != mSyncedBall.pos.y ||
        ball.vel.x != mSyncedBall.vel.x || ball.vel.y != mSyncedBall.vel.y) {
        mBall->place(ball);
        // A ball placed anew has no kicker to pass, and nobody touched it.
        mPassing = -1;
        mLastToucher = -1;
    }
    mSyncedOnce = true;
}

void World::syncOut(std::vector<RobotBody>& robots, BallBody& ball)
{
    for (std::size_t i = 0; i < robots.size(); ++i) {
        mRobots[i]->read(robots[i]);
        mSynced[i] = robots[i];
    }
    mBall->read(ball);
    mSyncedBall = ball;
}

bool World::canKick(const RobotBody& robot, const BallBody& ball) const
{
    return Robot::canKick(robot, ball, mPhys);
}

std::vector<KickRequest> World::kickRequests(std::vector<RobotBody>& robots, const BallBody& ball) const
{
    std::vector<KickRequest> requests;
    for (std::size_t i = 0; i < robots.size(); ++i) {
        RobotBody& robot = robots[i];
        if (!robot.kickPending) {
            continue;
        }
        robot.kickPending = false;
        // A ball on its way through its kicker is out of that kicker's reach.
        if (static_cast<int>(i) != mPassing && canKick(robot, ball)) {
            requests.push_back(
                {static_cast<int>(i), std::hypot(ball.pos.x - robot.pos.x, ball.pos.y - robot.pos.y)});
        }
    }
    return requests;
}

void World::noteTouches(StepEvents& events)
{
    std::swap(mTouching, mTouchedBefore);
    std::fill(mTouching.begin(), mTouching.end(), 0);
    int begun = -1;
    int any = -1;
    for (const b2ContactEdge* e = mBall->body().GetContactList(); e != nullptr; e = e->next) {
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

void World::step(std::vector<RobotBody>& robots, BallBody& ball, StepEvents& events, int kicker)
{
    events.clear();
    syncIn(robots, ball);
    if (kicker >= 0 && static_cast<std::size_t>(kicker) < robots.size()) {
        const RobotBody& robot = robots[static_cast<std::size_t>(kicker)];
        events.kickAskedDeg = robot.cmd.kickAngleDeg;
        events.kickLeftBearing = Robot::kickBearing(robot, mPhys, mKickOpening);
        ball.vel = mBall->kick(Robot::kickSpeed(robot, mPhys), events.kickLeftBearing);
        // An aimed kick sends the ball where it is asked to, through its own
        // kicker when it leaves beside the mouth's opening.
        const double off = std::fabs(wrapAngle(events.kickLeftBearing - robot.heading));
        mPassing = mPhys.kickModel == KickModel::Aimed && off > mKickOpening ? kicker : -1;
        events.kickers.push_back(kicker);
        events.lastToucher = mLastToucher = kicker;
    }
    const float h = static_cast<float>(mPhys.timeStep / mPhys.subSteps);
    const b2PolygonShape hull = robotOutline(mPhys).hull;
    // A kicker whose ball stopped inside it this step: the engine pushes the
    // ball out of it during the next step.
    int leaving = -1;
    for (int s = 0; s < mPhys.subSteps; ++s) {
        for (std::size_t i = 0; i < robots.size(); ++i) {
            mRobots[i]->drive(robots[i], h);
        }
        mWorld->Step(h, kVelocityIterations, kPositionIterations);
        if (mPassing >= 0) {
            const b2Body& kicker = mRobots[static_cast<std::size_t>(mPassing)]->body();
            if (mBall->clearOf(kicker, hull)) {
                mPassing = -1;
            } else if (stoppedIn(kicker)) {
                leaving = mPassing;
                mPassing = -1;
            }
        }
        noteTouches(events);
        if (mField.goalAt(mBall->position()) != GoalFor::None) {
            break;  // the ball stays where it crossed into the goal
        }
    }
    syncOut(robots, ball);
    events.passing = mPassing >= 0 ? mPassing : leaving;
}

bool World::stoppedIn(const b2Body& kicker) const
{
    // A kick too weak to carry the ball through its kicker leaves it there:
    // the contact comes back and the engine pushes the ball out.
    const b2Body& ball = mBall->body();
    const b2Vec2 relative = ball.GetLinearVelocity() - kicker.GetLinearVelocityFromWorldPoint(ball.GetPosition());
    return toMm(relative.Length()) < kPassingSpeed;
}

bool World::placeIsFree(std::size_t robot, posicaoXY at, double heading, const BallBody& ball) const
{
    const b2PolygonShape hull = robotOutline(mPhys).hull;
    const b2Transform t = bodyTransform(at, heading);
    for (std::size_t j = 0; j < mRobots.size(); ++j) {
        if (j != robot && b2TestOverlap(&hull, 0, &hull, 0, t, mRobots[j]->body().GetTransform())) {
            return false;
        }
    }
    const b2CircleShape circle = ballShape(mPhys);
    const b2Transform ballAt(b2Vec2(toUnits(ball.pos.x), toUnits(ball.pos.y)), b2Rot(0.0f));
    return !b2TestOverlap(&hull, 0, &circle, 0, t, ballAt);
}

void World::putBack(std::vector<RobotBody>& robots, const BallBody& ball, std::size_t index)
{
    RobotBody& robot = robots[index];
    // The search starts from the nearest place in the field where any heading fits.
    const double reach = mPhys.robotSize / std::sqrt(2.0) + kPutBackMargin;
    const double maxX = mField.dimensions().length / 2.0 - reach;
    const double maxY = mField.dimensions().width / 2.0 - reach;
    const posicaoXY start = {std::clamp(robot.pos.x, -maxX, maxX), std::clamp(robot.pos.y, -maxY, maxY)};
    // Inside the walls, clear of them and of the other bodies.
    const auto fits = [&](posicaoXY p) {
        return mField.holdsSquare(p, robot.heading, mPhys.robotSize, -kPutBackMargin) &&
               placeIsFree(index, p, robot.heading, ball);
    };
    posicaoXY place = start;
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
    mRobots[index]->moveTo(place);
    mSynced[index] = robot;
}
