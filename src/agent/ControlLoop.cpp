#include "agent/ControlLoop.h"

#include "agent/CycleReport.h"
#include "agent/PlayStep.h"
#include "behaviour/BasicPlayer.h"
#include "common/ClientException.h"
#include "common/Logger.h"
#include "world/WorldData.h"

ControlLoop::ControlLoop(WorldData& world, BasicPlayer& player) : mWorld(world), mPlayer(player) {}

void ControlLoop::run()
{
    while (!mQuit) {
        try {
            cycle();
        } catch (const ClientException& e) {
            // The lost-time state stays as the interrupted cycle left it.
            reportClientException(mWorld.nickname(), e);
        }
    }
}

void ControlLoop::cycle()
{
    if (!mWorld.updateAll()) {
        LOG(log_DEBUG) << "Player " << mWorld.nickname() << " Didn't receive any update message from server.";
        return;
    }

    const bool gameOn = mWorld.pv_is_game_on();
    if (gameOn) {
        LOG(log_DEBUG) << "Game is on.";
    } else if (mWorld.mrPlayMode() == kTimeOverPlayMode) {
        mQuit = true;
        return;
    }

    const bool lost = mWorld.pv_i_am_lost();
    if (lost) {
        LOG(log_DEBUG) << "Agent is lost at " << mWorld.pv_time();
        if (mLostTimeCounter.isPaused()) {
            LOG(log_DEBUG) << "Starting lost time counter at " << mWorld.pv_time() << "\n";
            mLostTimeCounter.startTimer();
        }
    } else if (!mLostTimeCounter.isPaused()) {
        LOG(log_DEBUG) << "Agent was found, lost time counter was reset after " << mLostTimeCounter.getTotalTime()
                       << "s" << " at " << mWorld.pv_time();
        mLostTimeCounter = Timer();
    }

    if (lost && !mLostTimeCounter.isPaused()) {
        applyRecovery(mSchedule.next(mLostTimeCounter.getTotalTime()));
        LOG(log_DEBUG) << "Sending action to find robot...s";
        mPlayer.pv_flush();
        return;
    }

    mSchedule.reset();
    if (gameOn) {
        playStep(mWorld, mPlayer);
    }
}

void ControlLoop::applyRecovery(RecoveryMove move)
{
    switch (move) {
    case RecoveryMove::kRepeatLast: break;
    case RecoveryMove::kSlowTurnLeft: mPlayer.pv_slow_turn_left(); break;
    case RecoveryMove::kSlowTurnRight: mPlayer.pv_slow_turn_right(); break;
    case RecoveryMove::kForward: mPlayer.pv_go_straight(kRecoveryStraightSpeed); break;
    case RecoveryMove::kBackward: mPlayer.pv_go_straight(-kRecoveryStraightSpeed); break;
    }
}
