#include "sparring/StatueProgram.h"

#include <chrono>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "agent/Client.h"
#include "agent/CommandLine.h"
#include "agent/SettingError.h"
#include "common/BuildConstants.h"
#include "common/ClientException.h"
#include "common/Logger.h"
#include "common/Properties.h"
#include "net/ClientConnector.h"
#include "net/Connection.h"
#include "protocol/Command.h"
#include "world/WorldData.h"

namespace {

constexpr const char* kProgram = "statue";
constexpr const char* kTimeOver = "time over";
// A UDP port, as the agent accepts it.
constexpr int kLowestPort = 1;
constexpr int kHighestPort = 65535;

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

int runWithSettings(const Properties& settingsFile, int argc, char** argv)
{
    Properties props = settingsFile;
    if (!override_properties_with_cmd(argc, argv, props)) {
        return kExitStartupFailure;
    }
    const std::string host = props.propertyValue("SERVER_IP");
    const int port = boundedIntSetting(props, "PORT_TEAM", kLowestPort, kHighestPort);
    LoggerConfigurator logConfigurator(props);
    logConfigurator.Configure();

    Client client(props);
    ClientConnector connector(host, port);
    const std::unique_ptr<Connection> connection(connector.getConnection());
    if (props.propertyValue("ACCEPT_ANY_SOURCE") == "YES") {
        connection->setAcceptAnySource(true);
    }
    if (!connector.ConnectToServer(client)) {
        LOG(log_INFO) << client.nickname() << " Could not connect to server. Exiting program.";
        std::cerr << kProgram << ": " << client.nickname() << " Could not connect to server. Exiting program."
                  << std::endl;
        return kExitStartupFailure;
    }
    LOG(log_INFO) << "Player " << client.nickname() << " successfully connected to server.";
    // The world model reads the rest of the settings and velocidade.ini, as the agent's does.
    WorldData world(props, kMainBuild);
    world.setConnection(connection.get());
    standStill(world, *connection, client.nickname());
    LOG(log_INFO) << "Player " << client.nickname() << " Ending program.";
    return 0;
}

}  // namespace

int runStatue(int argc, char** argv)
{
    try {
        const CommandLineShape shape = check_command_line(argc, argv);
        switch (shape.outcome) {
        case CommandLineShape::kHelp:
            print_help(std::cout);
            return kExitHelp;
        case CommandLineShape::kMalformed:
            std::cerr << kProgram << ": " << shape.error << std::endl;
            return kExitMalformedCommandLine;
        case CommandLineShape::kRun:
            break;
        }
        Properties settingsFile;
        try {
            settingsFile = read_file_properties(shape.configFile);
        } catch (const ClientException& e) {
            std::cerr << kProgram << ": " << shape.configFile << ": " << e.what() << std::endl;
            return kExitStartupFailure;
        }
        return runWithSettings(settingsFile, argc, argv);
    } catch (const SettingError& e) {
        std::cerr << kProgram << ": setting " << e.key() << ": " << e.what() << std::endl;
    } catch (const std::exception& e) {
        std::cerr << kProgram << ": " << e.what() << std::endl;
    } catch (...) {
        std::cerr << kProgram << ": unknown failure" << std::endl;
    }
    return kExitStartupFailure;
}
