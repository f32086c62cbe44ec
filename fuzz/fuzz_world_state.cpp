// A world-state datagram read into a fresh world model, then one decision of
// the goalkeeper and one of a field player on it. The command each decision
// leaves must serialise to finite numbers.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>

#include "FuzzSupport.h"
#include "behaviour/BasicPlayer.h"
#include "common/ClientException.h"
#include "common/Properties.h"
#include "world/WorldData.h"
#include "xml/XMLSerializer.h"

namespace {

Properties settings(mrTeam team, const char* nickname)
{
    Properties p;
    p.setProperty("SLEEP", "0");
    p.setProperty("TRIES", "1");
    p.setProperty("TEAM", std::to_string(static_cast<int>(team)));
    p.setProperty("NICK_NAME", nickname);
    p.setProperty("POS_BASE_X", "0.35");
    p.setProperty("POS_BASE_Y", "0.5");
    p.setProperty("KICKABLE", "80");
    p.setProperty("FATOR_ATRACAO_X", "0.5");
    p.setProperty("FATOR_ATRACAO_Y", "0.5");
    p.setProperty("X_MINIMO", "0.1");
    p.setProperty("X_MAXIMO", "0.9");
    p.setProperty("Y_MINIMO", "0.1");
    p.setProperty("Y_MAXIMO", "0.9");
    return p;
}

void checkCommand(const Command& command)
{
    const CommandType& c = command.mCommandType;
    if (!std::isfinite(c.mLeftVelocity) || !std::isfinite(c.mRightVelocity) || !std::isfinite(c.mStrength) ||
        !std::isfinite(c.mdAngle)) {
        std::abort();
    }
    Command copy = command;
    std::ostringstream text;
    XMLSerializer::writeNestedNode(&text, copy, 0);
    const std::string wire = text.str();
    if (wire.find("nan") != std::string::npos || wire.find("inf") != std::string::npos) {
        std::abort();
    }
}

// Two cycles, so that the history kept from the first meets the second.
void play(const uint8_t* data, size_t size, mrTeam team, const char* nickname, bool goalkeeper)
{
    Properties p = settings(team, nickname);
    WorldData world(p);
    BasicPlayer player(team);
    player.setWorldData(&world);
    for (int cycle = 0; cycle < 2; ++cycle) {
        if (!world.updateFromText(reinterpret_cast<const char*>(data), size)) {
            return;
        }
        try {
            if (!world.isPosBaseSetted() && !world.pv_i_am_lost()) {
                world.setPosBase();
            }
            if (world.pv_i_am_lost()) {
                return;
            }
            world.getMinhaPosicaoXY();
            if (goalkeeper) {
                player.goleiro();
            } else {
                player.jogador();
            }
            world.saveLastPosBall();
            world.salvaMinhaUltimaPosicao();
        } catch (const ClientException&) {
            // A cycle may end in a reported exception; the loop goes on.
        }
        checkCommand(player.command());
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzQuietScratchDir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    play(data, size, TEAM_BLUE, "GO", true);
    play(data, size, TEAM_YELLOW, "Y1", false);
    return 0;
}
