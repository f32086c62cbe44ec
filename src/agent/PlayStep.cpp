#include "agent/PlayStep.h"

#include "agent/CycleReport.h"
#include "behaviour/BasicPlayer.h"
#include "common/ClientException.h"
#include "common/Logger.h"
#include "world/WorldData.h"

bool isGoalkeeper(const std::string& nickname)
{
    return nickname == kGoalkeeperNickname;
}

void basePositionPass(WorldData& world)
{
    if (world.updateAll()) {
        if (!world.pv_i_am_lost()) {
            world.setPosBase();
            const posicaoXY pos_base = world.getPosBase();
            LOG(log_DEBUG) << world.nickname() << ": posBase calculada igual a: " << pos_base;
        } else {
            LOG(log_WARN) << world.nickname() << " - Where's my robot's body?!?";
        }
    } else {
        LOG(log_WARN) << world.nickname() << " Didn't receive any update message from server.";
    }
    if (world.pv_is_game_on()) {
        LOG(log_WARN) << world.nickname() << " Jogo rolando e eu estou sem PosBase!!!!";
    }
}

void runBasePositionPhase(WorldData& world)
{
    while (!world.isPosBaseSetted()) {
        try {
            basePositionPass(world);
        } catch (const ClientException& e) {
            reportClientException(world.nickname(), e);
        }
    }
}

void playStep(WorldData& world, BasicPlayer& player)
{
    const std::string meu_nick = world.nickname();
    // Computed even when the log is off: a robot that cannot place itself
    // fails the cycle here rather than playing on a bad position.
    const posicaoXY agent_pos = world.getMinhaPosicaoXY();
    LOG(log_DEBUG) << meu_nick << ": minha atual posicao eh " << agent_pos;
    if (isGoalkeeper(meu_nick)) {
        player.goleiro();
    } else {
        player.jogador();
    }
    world.saveLastPosBall();
    world.salvaMinhaUltimaPosicao();
    player.pv_flush();
}
