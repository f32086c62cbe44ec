#pragma once
// What to do while the camera does not see the robot, as a function of how
// long it has been unseen: repeat the last command at first, then turn
// slowly left, then random moves that change on a stretching schedule.

/// \brief The move of one recovery cycle.
enum class RecoveryMove {
    kRepeatLast,     ///< leave the command as it is, so it is sent again
    kSlowTurnLeft,   ///< pv_slow_turn_left()
    kSlowTurnRight,  ///< pv_slow_turn_right()
    kForward,        ///< pv_go_straight(kRecoveryStraightSpeed)
    kBackward,       ///< pv_go_straight(-kRecoveryStraightSpeed)
};

/// \brief Seconds unseen after which the robot turns slowly left.
inline constexpr double kLostThresholdTime = 0.6;
/// \brief Seconds unseen after which random moves begin; also the first change moment.
inline constexpr double kCriticalLostThresholdTime = 1.1;
/// \brief Added to the multiplier of the change moment at each draw.
inline constexpr double kCriticalChangeActionIncrement = 0.7;
/// \brief Wheel speed of the straight recovery moves.
inline constexpr double kRecoveryStraightSpeed = 90.0;
/// \brief Number of random recovery actions.
inline constexpr int kRecoveryActionCount = 4;

/// \brief The standard random source: rand() modulo 4, never seeded, so
/// every run draws the same sequence.
int drawRecoveryAction();

class RecoverySchedule {
public:
    using Draw = int (*)();

    /// \brief Multiplier 1.0, no action drawn yet (action() is -1).
    explicit RecoverySchedule(Draw draw = &drawRecoveryAction) : mDraw(draw) {}

    /// \brief The move for a cycle of a robot unseen for `lostSeconds`.
    /// Draws at most once per call, when the next change moment is reached.
    RecoveryMove next(double lostSeconds);
    /// \brief The robot was seen: the change moments start over (the last action is kept).
    void reset() { mChangeActionTimeMultiplier = 1.0; }

    /// \brief The action drawn last, 0 to 3; -1 before the first draw.
    int action() const { return mAction; }
    /// \brief Scale of the next change moment (kCriticalLostThresholdTime x multiplier).
    double multiplier() const { return mChangeActionTimeMultiplier; }

private:
    Draw mDraw;
    double mChangeActionTimeMultiplier = 1.0;
    int mAction = -1;
};
