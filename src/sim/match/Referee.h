#pragma once
// The match clock and the play modes: a kick-off pause, play, a warning
// before the end, and "time over" until the server stops. Every rule of play
// is called here: which of several kicks goes off, goals and own goals,
// robots put back inside the walls, and free balls when the ball has stayed
// in one place too long (a pile-up) or left the field. Time is counted in
// whole steps so that long matches do not drift.

#include <cstdint>
#include <random>
#include <vector>

#include "sim/physics/Bodies.h"
#include "sim/physics/Field.h"
#include "sim/scenario/Scenario.h"

class World;

/// \brief The play modes, in match order.
enum class PlayMode { BeforeKickOff, PlayOn, WarnEnding, TimeOver };

/// \brief The exact text of a play mode on the wire.
const char* playModeText(PlayMode mode);
/// \brief Whether the robots play in `mode` (the agents answer then).
bool isPlaying(PlayMode mode);

/// \brief One goal: when, for whom, and the robot that touched the ball last
/// (-1 when none did); an own goal when that robot's side conceded it.
struct GoalRecord {
    double time;
    GoalFor side;
    int lastToucher = -1;
    bool ownGoal = false;
};

/// \brief Why the referee put the ball back into play.
enum class FreeBallCause { Stalled, LeftField };

/// \brief The word a summary or a record uses for a cause: "stalled" or "left the field".
const char* freeBallCauseText(FreeBallCause cause);

/// \brief One free ball: when, in which step, why, and where the ball was.
struct FreeBallRecord {
    double time;
    long step;
    FreeBallCause cause;
    posicaoXY ball;
};

/// \brief Keeps the clock, the mode and the score.
class Referee {
public:
    /// \brief The referee of `scenario`'s match.
    explicit Referee(const Scenario& scenario);
    /// \brief `teams` gives each robot's side, in the scenario's order (for own goals);
    /// ties between kicks are drawn from `seed`.
    Referee(const RulesSpec& rules, double timeStep, std::vector<mrTeam> teams = {}, FieldSpec field = {},
            std::uint64_t seed = 1);

    PlayMode mode() const { return mMode; }
    /// \brief Game seconds since the match began.
    double time() const { return static_cast<double>(mStep) * mTimeStep; }
    /// \brief Steps taken since the match began.
    long step() const { return mStep; }
    /// \brief Play seconds so far.
    double playTime() const { return static_cast<double>(mPlaySteps) * mTimeStep; }
    /// \brief True once "time over" has been announced for its full length.
    bool finished() const { return mFinished; }
    int yellow() const { return mYellow; }
    int blue() const { return mBlue; }
    const std::vector<GoalRecord>& goals() const { return mGoals; }
    /// \brief The free-ball restarts so far.
    const std::vector<FreeBallRecord>& freeBalls() const { return mFreeBalls; }
    /// \brief The free ball called in the step just ticked, or null.
    const FreeBallRecord* freeBallOfLastStep() const;

    /// \brief Own goals put in by `team` (scored for the other side).
    int ownGoals(mrTeam team) const;
    /// \brief The robot that touched the ball last since it was put into play, or -1.
    int lastToucher() const { return mLastToucher; }

    /// \brief One step of play: picks the kick that goes off, has `world` move the
    /// bodies, puts back robots squeezed outside the walls, and fills in the goal,
    /// the ball out of the walls and the last touch in `events`. Scoring the goal and
    /// calling a free ball are left to scored(), ballStalled() and freeBall().
    void playStep(World& world, std::vector<RobotBody>& robots, BallBody& ball, StepEvents& events);
    /// \brief Of kicks that would go off together, the one that does: the nearest
    /// the ball; a tie within a micrometre is drawn, so neither colour is favoured.
    int chooseKicker(const std::vector<KickRequest>& requests);
    /// \brief Whether a corner of `robot` lies beyond the walls (by more than the engine's give).
    bool outside(const RobotBody& robot) const;

    /// \brief `robot` touched the ball last in the step just played (-1: nobody touched it).
    void ballTouched(int robot);
    /// \brief Counts a goal, an own goal when the ball's last toucher is of the side that
    /// concedes, and starts a kick-off pause.
    void scored(GoalFor side);
    /// \brief Watches the ball after a play step: true when, over the last stall time
    /// of play, it has stayed within the stall distance of one place.
    bool ballStalled(posicaoXY ball);
    /// \brief Counts a free-ball restart for `cause`, the ball at `ball`, and starts a
    /// kick-off pause.
    void freeBall(FreeBallCause cause, posicaoXY ball);
    /// \brief Moves the clock on by one step and changes mode when it is due.
    void tick();

private:
    PlayMode playingMode() const;
    void restart();

    double mTimeStep;
    long mLengthSteps;
    long mPauseSteps;
    long mWarnSteps;
    long mTimeOverSteps;
    PlayMode mMode = PlayMode::BeforeKickOff;
    long mStep = 0;
    long mPlaySteps = 0;
    long mModeSteps = 0;
    bool mFinished = false;
    int mYellow = 0;
    int mBlue = 0;
    std::vector<GoalRecord> mGoals;
    std::vector<FreeBallRecord> mFreeBalls;
    long mStallSteps;
    double mStallDistance;
    /// \brief The ball's places over the last stall time of play, oldest first
    /// from `mWindowStart` round the ring; `mWindowCount` of them are filled.
    std::vector<posicaoXY> mWindow;
    std::size_t mWindowStart = 0;
    std::size_t mWindowCount = 0;
    /// \brief Scratch space of the check, kept to spare an allocation per step.
    std::vector<posicaoXY> mScratch;
    /// \brief Each robot's side, and the robot that touched the ball last (-1: none since the restart).
    std::vector<mrTeam> mTeams;
    int mLastToucher = -1;
    Field mField;
    double mRobotSize = 75.0;
    /// \brief Decides ties between kicks; seeded from the match's seed.
    std::mt19937_64 mTieDraw;
};
