#include "sparring/StatueProgram.h"

#include <chrono>
#include <string>

#include "agent/Client.h"
#include "agent/ProgramStart.h"
#include "common/BuildConstants.h"
#include "common/ClientException.h"
#include "common/Logger.h"
#include "common/Properties.h"
#include "net/Connection.h"
#include "protocol/Command.h"
#include "world/WorldData.h"

namespace {

constexpr const char* kProgram = "statue";
constexpr const char* kTimeOver = "time over";

using Clock = std::chrono::steady_clock;

// Zero on both wheels: below the motors' dead band, where the agent's own stop
// (26.5) would sit on its edge.
std::string standStillText()
{
    Command command;
    command.setVelocity(0.0f, 0.0f);
    std::string text;
    command.toDatagramText(text);
    return text;
}

void standStill(WorldData& world, Connection& connection, const std::string& nickname)
{
    const std::string answer = standStillText();
    Clock::time_point lastHeard = Clock::now();
    for (;;) {
        bool updated = false;
        try {
            updated = world.updateAll();
        } catch (const ClientException& e) {
            // A malformed world state is skipped, as the agent skips it.
            LOG(log_DEBUG) << nickname << " skipped a world state: " << e.what();
            lastHeard = Clock::now();
            continue;
        }
        if (!updated) {
            const std::chrono::duration<double> silent = Clock::now() - lastHeard;
            if (silent.count() >= kSilenceLimitSeconds) {
                LOG(log_INFO) << "Player " << nickname << " The server has been silent for "
                              << kSilenceLimitSeconds << " s. Ending program.";
                return;
            }
            continue;
        }
        lastHeard = Clock::now();
        if (world.mrPlayMode() == kTimeOver) {
            return;
        }
        connection.Send(answer);
    }
}

int play(Properties& settings, Client& client, Connection& connection)
{
    // The world model reads the rest of the settings and velocidade.ini, as the agent's does.
    WorldData world(settings, kMainBuild);
    world.setConnection(&connection);
    standStill(world, connection, client.nickname());
    LOG(log_INFO) << "Player " << client.nickname() << " Ending program.";
    return 0;
}

}  // namespace

int runStatue(int argc, char** argv) { return runConnected(argc, argv, ProgramStart{kProgram, false}, play); }
