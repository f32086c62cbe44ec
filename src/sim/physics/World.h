#pragma once
// The simulated field in the engine: the walls, the robots and the ball,
// moved one time step at a time in sub-steps. The plain structs of
// Bodies.h are the bodies as the rest of the server sees them; the world
// reads a pose changed from outside (a kick-off placement, a test) as a move
// of that body. The world only moves bodies: which kick goes off, goals,
// free balls and put-backs are the referee's calls.

#include <memory>
#include <vector>

#include "sim/physics/Bodies.h"
#include "sim/physics/Field.h"
#include "sim/scenario/Scenario.h"

class b2Body;
class b2PolygonShape;
class b2World;
class Ball;
class Robot;
class WorldContacts;

class World {
public:
    explicit World(const Scenario& scenario);
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    const Field& field() const { return mField; }
    /// \brief Gives `robot` a new command (a kick is tried once, at the next step).
    void command(RobotBody& robot, const RobotCommand& cmd) const;
    /// \brief Puts every robot on its kick-off pose, stopped, and the ball still on the centre.
    void placeForKickoff(std::vector<RobotBody>& robots, BallBody& ball) const;
    /// \brief As for a kick-off, but the ball lies still on `spot`.
    void placeForFreeBall(std::vector<RobotBody>& robots, BallBody& ball, posicaoXY spot) const;

    /// \brief The kicks asked for since the last step that would go off now; the
    /// requests are used up.
    std::vector<KickRequest> kickRequests(std::vector<RobotBody>& robots, const BallBody& ball) const;
    /// \brief One step: robot `kicker` (or none, -1) kicks, then the engine moves
    /// everything in sub-steps with the wheels driving; stops early when the ball's
    /// centre enters a goal pocket.
    void step(std::vector<RobotBody>& robots, BallBody& ball, StepEvents& events, int kicker);
    /// \brief The kick rule: would `robot` reach `ball` with a kick now?
    bool canKick(const RobotBody& robot, const BallBody& ball) const;
    /// \brief Moves robot `index` to the nearest free place inside the walls, stopped.
    void putBack(std::vector<RobotBody>& robots, const BallBody& ball, std::size_t index);

private:
    void syncIn(std::vector<RobotBody>& robots, BallBody& ball);
    void syncOut(std::vector<RobotBody>& robots, BallBody& ball);
    void noteTouches(StepEvents& events);
    /// \brief Has the ball passing through `kicker` come to rest in it?
    bool stoppedIn(const b2Body& kicker) const;
    bool placeIsFree(std::size_t robot, posicaoXY at, double heading, const BallBody& ball) const;

    Field mField;
    PhysicsSpec mPhys;
    std::vector<RobotSpec> mRobotSpecs;
    /// \brief Half the mouth's opening (radians): the widest mouth-limited kick.
    double mKickOpening;
    /// \brief The kicker whose contact with the ball the engine ignores until they part, or -1.
    int mPassing = -1;
    /// \brief Robots touching the ball after the last sub-step and the one before
    /// (to tell a touch that begins), and the robot that touched it last, or -1.
    std::vector<char> mTouching;
    std::vector<char> mTouchedBefore;
    int mLastToucher = -1;
    std::unique_ptr<WorldContacts> mContacts;
    std::unique_ptr<b2World> mWorld;
    std::vector<std::unique_ptr<Robot>> mRobots;
    std::unique_ptr<Ball> mBall;
    /// \brief The poses as last written to the structs, to notice moves from outside.
    std::vector<RobotBody> mSynced;
    BallBody mSyncedBall;
    bool mSyncedOnce = false;
};
