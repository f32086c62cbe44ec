#pragma once
// The simulated bodies as the rest of the server sees them, apart from the
// engine: each robot's pose and last command, the ball, a kick asked for,
// and what happened in one step. Physical frame: mm, mm/s, radians; a
// heading is a field bearing: direction (sin h, -cos h), so a left wheel
// faster than the right increases it.

#include <vector>

#include "geometry/BasicUtils.h"

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
    /// \brief Index of the robot whose kick went off (at most one, the one the
    /// referee chose among those whose kick could).
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
    /// \brief The kicker the ball still passes through at the end of the step (or
    /// came to rest in, to be pushed out of during the next step), or -1.
    int passing = -1;
    GoalFor goal = GoalFor::None;
    /// \brief The ball ended the step outside the walls (squeezed through; never expected).
    bool ballOut = false;
    /// \brief Indices of the robots found outside the walls and put back inside (by the referee's call).
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

/// \brief A kick that can go off this step: the robot, and its distance to the ball (mm).
struct KickRequest {
    int robot = -1;
    double distance = 0.0;
};
