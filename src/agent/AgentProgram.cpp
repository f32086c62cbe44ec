#include "agent/AgentProgram.h"

#include <cstddef>
#include <string>

#include "agent/Client.h"
#include "agent/ControlLoop.h"
#include "agent/PlayStep.h"
#include "agent/ProgramStart.h"
#include "behaviour/BasicPlayer.h"
#include "common/Logger.h"
#include "common/Properties.h"
#include "net/Connection.h"
#include "world/WorldData.h"

namespace {

// The name failure lines begin with: the last part of argv[0].
std::string reportName(const char* argv0)
{
    const std::string path = argv0 != nullptr ? argv0 : "agent";
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int play(Properties& settings, Client& client, Connection& connection, const BuildConstants& build)
{
    WorldData gWorldData(settings, build);
    gWorldData.setConnection(&connection);
    LOG(log_INFO) << "Player " << client.nickname() << " World Data's connection successfully initialized.";

    BasicPlayer gPlayer(client.getTeam(), build);
    gPlayer.setConnection(&connection);
    LOG(log_INFO) << "Player " << client.nickname() << " Basic player's connection successfully initialized.";
    gPlayer.setWorldData(&gWorldData);

    runBasePositionPhase(gWorldData);

    ControlLoop loop(gWorldData, gPlayer);
    loop.run();

    LOG(log_INFO) << "Player " << client.nickname() << " Ending program.";
    return 0;
}

}  // namespace

int runAgent(int argc, char** argv, const BuildConstants& build)
{
    const ProgramStart start{reportName(argc > 0 ? argv[0] : nullptr), true};
    return runConnected(argc, argv, start, [&build](Properties& settings, Client& client, Connection& connection) {
        return play(settings, client, connection, build);
    });
}
