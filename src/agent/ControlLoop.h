#pragma once
// One cycle per world state until the match is over: play while the robot
// is seen and the game is on, recover while it is unseen, idle otherwise.

#include <string>

#include "agent/RecoverySchedule.h"
#include "common/Timer.h"

class BasicPlayer;
class WorldData;

/// \brief The play mode that ends the program when the game is not on.
inline constexpr const char* kTimeOverPlayMode = "time over";

class ControlLoop {
public:
    /// \brief A loop over `world` and `player`, which must outlive it.
    ControlLoop(WorldData& world, BasicPlayer& player);

    /// \brief Runs cycles until the match is over. A ClientException ends
    /// only its cycle; any other exception leaves the loop.
    void run();
    /// \brief One cycle; sends at most one command. May throw ClientException.
    void cycle();
    /// \brief Whether "time over" has been seen while the game was not on.
    bool quit() const { return mQuit; }

private:
    /// Sets the recovery move's command on the player.
    void applyRecovery(RecoveryMove move);

    WorldData& mWorld;
    BasicPlayer& mPlayer;
    // Stopped and zero while the robot is seen; running since it was lost.
    Timer mLostTimeCounter;
    RecoverySchedule mSchedule;
    bool mQuit = false;
};
