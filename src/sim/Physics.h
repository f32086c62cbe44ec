#pragma once
// The simulated bodies and one time step of their motion: differential-drive
// robots with a motor dead band, a rolling ball that slows down and bounces
// off the walls, kicks, contacts and goals. Everything is in the physical
// frame (mm, mm/s, radians); a heading is a field bearing: direction
// (sin h, -cos h), so a left wheel faster than the right increases it.

#include <vector>

#include "geometry/BasicUtils.h"
#include "sim/Scenario.h"

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
    /// \brief Forward speed of the last step (mm/s), for pushing the ball.
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
    /// \brief Indices of the robots whose kick went off.
    std::vector<int> kickers;
    GoalFor goal = GoalFor::None;

    void clear()
    {
        kickers.clear();
        goal = GoalFor::None;
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

/// \brief Moves robots and ball by one time step.
class Physics {
public:
    explicit Physics(const Scenario& scenario);

    /// \brief Gives `robot` a new command (a kick is tried once, at the next step).
    void command(RobotBody& robot, const RobotCommand& cmd) const;
    /// \brief Puts every robot on its kick-off pose, stopped, and the ball still on the centre.
    void placeForKickoff(std::vector<RobotBody>& robots, BallBody& ball) const;
    /// \brief One step: robots drive, kicks go off, the ball rolls, contacts and goals.
    void step(std::vector<RobotBody>& robots, BallBody& ball, StepEvents& events) const;

    /// \brief The kick rule: would `robot` reach `ball` with a kick now?
    bool canKick(const RobotBody& robot, const BallBody& ball) const;

private:
    void wheelSpeeds(const RobotBody& robot, double& left, double& right) const;
    void driveRobot(RobotBody& robot) const;
    void separateRobots(std::vector<RobotBody>& robots) const;
    void keepRobotInside(RobotBody& robot) const;
    bool tryKick(RobotBody& robot, BallBody& ball) const;
    void pushBall(const RobotBody& robot, BallBody& ball) const;
    GoalFor checkGoal(posicaoXY from, const BallBody& ball) const;
    void bounceBall(BallBody& ball) const;

    FieldSpec mField;
    PhysicsSpec mPhys;
    std::vector<RobotSpec> mRobots;
};
