#pragma once
// The simulated bodies and one time step of their motion on a rigid-body
// engine: differential-drive robots with a motor dead band and a kicker
// mouth, a rolling ball that slows down and bounces off walls, posts and
// robots, kicks and goals. The plain structs below are the bodies' poses as
// the rest of the server sees them (physical frame: mm, mm/s, radians; a
// heading is a field bearing: direction (sin h, -cos h), so a left wheel
// faster than the right increases it); the engine's world lives inside
// Physics, which reads a pose that was changed from outside (a kick-off
// placement, a test) as a move of that body.

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "geometry/BasicUtils.h"
#include "sim/scenario/Scenario.h"

/// \brief The last command a robot sent, as the server applies and echoes it.
struct RobotCommand {
    enum class Kind { None, Wheels, Kick, Goto };
    Kind kind = Kind::None;
    /// \brief Wheel levels as received (already clamped to the motors' range).
    double left = 0.0;
    double right = 0.0;
    /// \brief Kick direction relative to the heading (degrees) and force.
    double kickAngleDeg = 0.0;
    double kickForce = 0.0;
    /// \brief Steering goal relative to the robot: distance (mm) and angle (degrees).
    unsigned int gotoDist = 0;
    int gotoAngleDeg = 0;
};

/// \brief One robot's body and what drives it.
struct RobotBody {
    posicaoXY pos{0.0, 0.0};
    double heading = 0.0;
    /// \brief Forward speed at the end of the last step (mm/s).
    double speed = 0.0;
    RobotCommand cmd;
    /// \brief A kick command waits to be tried at the next step (once).
    bool kickPending = false;
    /// \brief Field point a steering command heads for.
    posicaoXY gotoTarget{0.0, 0.0};
};

/// \brief The ball.
struct BallBody {
    posicaoXY pos{0.0, 0.0};
    posicaoXY vel{0.0, 0.0};
};

/// \brief Which team scored in a step.
enum class GoalFor { None, Yellow, Blue };

/// \brief What happened in one step; reused from step to step.
struct StepEvents {
    /// \brief Index of the robot whose kick went off (at most one: the nearest
    /// to the ball of those whose kick could, an exact tie drawn by lot).
    std::vector<int> kickers;
    /// \brief The kick's angle as asked (degrees from the heading) and the field
    /// bearing the ball left on (radians); set when `kickers` is not empty.
    double kickAskedDeg = 0.0;
    double kickLeftBearing = 0.0;
    /// \brief Indices of the robots whose body touched the ball during the step, each once.
    std::vector<int> touchers;
    /// \brief When the ball was touched in the step (a kick counts), the robot that
    /// touched it last, else -1.
    int lastToucher = -1;
    /// \brief The kicker the ball still passes through at the end of the step, or -1.
    int passing = -1;
    GoalFor goal = GoalFor::None;
    /// \brief The ball ended the step outside the walls (squeezed through; never expected).
    bool ballOut = false;
    /// \brief Indices of the robots found outside the walls and put back inside.
    std::vector<int> putBack;

    void clear()
    {
        kickers.clear();
        touchers.clear();
        putBack.clear();
        lastToucher = -1;
        passing = -1;
        goal = GoalFor::None;
        ballOut = false;
    }
};

/// \brief Wraps an angle into [-pi, pi].
double wrapAngle(double a);
/// \brief Unit vector of a field bearing.
posicaoXY bearingDirection(double bearing);
/// \brief Field bearing of the way from `from` to `to` (0 when they coincide).
double bearingTo(posicaoXY from, posicaoXY to);
/// \brief Ground speed (mm/s) of a wheel driven at `level`: zero within the dead band.
double wheelSpeed(double level, const PhysicsSpec& physics);
/// \brief `level` clamped to the motors' range (a non-finite level stops the wheel).
double clampLevel(double level, const PhysicsSpec& physics);
/// \brief Ground speeds (mm/s) the robot's command asks of its wheels now: its wheel
/// levels, the steering law towards a goto target, or stopped (kick, none).
void wheelTargets(const RobotBody& robot, const PhysicsSpec& physics, double& left, double& right);

class b2Body;
class b2WheelJoint;
class b2PolygonShape;
class b2World;
class PhysicsContacts;

/// \brief Moves robots and ball by one time step.
class Physics {
public:
    explicit Physics(const Scenario& scenario);
    ~Physics();
    Physics(const Physics&) = delete;
    Physics& operator=(const Physics&) = delete;

    /// \brief Gives `robot` a new command (a kick is tried once, at the next step).
    void command(RobotBody& robot, const RobotCommand& cmd) const;
    /// \brief Puts every robot on its kick-off pose, stopped, and the ball still on the centre.
    void placeForKickoff(std::vector<RobotBody>& robots, BallBody& ball) const;
    /// \brief As for a kick-off, but the ball lies still on `spot`.
    void placeForFreeBall(std::vector<RobotBody>& robots, BallBody& ball, posicaoXY spot) const;
    /// \brief One step: the kick goes off, then the engine moves everything in sub-steps with
    /// the wheels driving; stops early when the ball's centre enters a goal pocket. A robot
    /// that ends it outside the walls is put on the nearest free place inside.
    void step(std::vector<RobotBody>& robots, BallBody& ball, StepEvents& events);

    /// \brief The kick rule: would `robot` reach `ball` with a kick now?
    bool canKick(const RobotBody& robot, const BallBody& ball) const;
    /// \brief Which goal the ball's centre lies in, if any.
    GoalFor goalAt(posicaoXY ball) const;
    /// \brief Whether a point lies inside the walls (the field or a goal pocket,
    /// not behind a corner's block).
    bool insideWalls(posicaoXY ball) const;

private:
    void build();
    void syncIn(std::vector<RobotBody>& robots, BallBody& ball);
    void syncOut(std::vector<RobotBody>& robots, BallBody& ball);
    b2WheelJoint* wheelsFor(b2Body& robot);
    void drive(const RobotBody& robot, b2Body& body, b2WheelJoint& wheels, float h) const;
    int kickThatGoesOff(std::vector<RobotBody>& robots, const BallBody& ball);
    double kick(int kicker, const RobotBody& robot, BallBody& ball);
    void noteTouches(StepEvents& events);
    bool ballClearOf(int robot) const;
    bool robotOutside(const RobotBody& robot) const;
    bool placeIsFree(const b2PolygonShape& hull, std::size_t robot, posicaoXY at, double heading,
                     const BallBody& ball) const;
    void putBackInside(std::vector<RobotBody>& robots, const BallBody& ball, StepEvents& events);

    FieldSpec mField;
    PhysicsSpec mPhys;
    std::vector<RobotSpec> mRobots;
    /// \brief Half the mouth's opening (radians): the widest kick.
    double mKickOpening;
    /// \brief The kicker whose contact with the ball the engine ignores until they part, or -1.
    int mPassing = -1;
    /// \brief Robots touching the ball after the last sub-step and the one before
    /// (to tell a touch that begins), and the robot that touched it last, or -1.
    std::vector<char> mTouching;
    std::vector<char> mTouchedBefore;
    int mLastToucher = -1;
    /// \brief Decides exact ties between kicks; seeded from the match's seed.
    std::mt19937_64 mTieDraw;
    std::unique_ptr<PhysicsContacts> mContacts;
    std::unique_ptr<b2World> mWorld;
    std::vector<b2Body*> mRobotBodies;
    /// \brief Each robot's wheels: a joint to a carrier body that stands in for the ground.
    std::vector<b2WheelJoint*> mWheels;
    b2Body* mBallBody = nullptr;
    /// \brief The poses as last written to the structs, to notice moves from outside.
    std::vector<RobotBody> mSynced;
    BallBody mSyncedBall;
    bool mSyncedOnce = false;
};
