#include "agent/AgentProgram.h"

#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "agent/Client.h"
#include "agent/CommandLine.h"
#include "agent/ControlLoop.h"
#include "agent/PlayStep.h"
#include "agent/SettingError.h"
#include "behaviour/BasicPlayer.h"
#include "common/ClientException.h"
#include "common/Logger.h"
#include "common/Properties.h"
#include "net/ClientConnector.h"
#include "net/Connection.h"
#include "world/WorldData.h"

namespace {

constexpr const char* kAcceptAnySourceKey = "ACCEPT_ANY_SOURCE";
constexpr const char* kYes = "YES";
constexpr const char* kReceiveWaitKey = "RECEIVE_WAIT";
constexpr const char* kBlindWait = "SLEEP";
// A UDP port; anything else would silently be cut to its low 16 bits.
constexpr int kLowestPort = 1;
constexpr int kHighestPort = 65535;

// Writes the one line on standard error that ends a failed run. Most
// failures come before logging is configured (or below its threshold), so
// the log alone would hide them.
class FailureReport {
public:
    explicit FailureReport(const char* argv0)
    {
        const std::string path = argv0 != nullptr ? argv0 : "agent";
        const std::size_t slash = path.find_last_of('/');
        mProgram = slash == std::string::npos ? path : path.substr(slash + 1);
    }

    std::ostream& line() const { return std::cerr << mProgram << ": "; }

private:
    std::string mProgram;
};

int runWithSettings(const Properties& settingsFile, int argc, char** argv, const BuildConstants& build,
                    const FailureReport& report)
{
    Properties client_properties = settingsFile;
    if (!override_properties_with_cmd(argc, argv, client_properties)) {
        return kExitStartupFailure;
    }

    const std::string host = client_properties.propertyValue("SERVER_IP");
    const int port = boundedIntSetting(client_properties, "PORT_TEAM", kLowestPort, kHighestPort);

    LoggerConfigurator log_configurator(client_properties);
    log_configurator.Configure();

    Client gClient(client_properties);
    ClientConnector client_connector(host, port);
    Connection* connection = client_connector.getConnection();
    // Shared by plain pointers for the whole run; released only here, after
    // every user below has gone, so the process ends without a leak.
    const std::unique_ptr<Connection> connectionOwner(connection);
    if (client_properties.propertyValue(kAcceptAnySourceKey) == kYes) {
        connection->setAcceptAnySource(true);
    }
    // The full blind pause between receive attempts, only to compare reaction times.
    connection->setBlindWait(client_properties.propertyValue(kReceiveWaitKey) == kBlindWait);

    if (!client_connector.ConnectToServer(gClient)) {
        LOG(log_INFO) << gClient.nickname() << " Could not connect to server. Exiting program.";
        report.line() << gClient.nickname() << " Could not connect to server. Exiting program." << std::endl;
        return kExitStartupFailure;
    }
    LOG(log_INFO) << "Player " << gClient.nickname() << " successfully connected to server.";

    WorldData gWorldData(client_properties, build);
    gWorldData.setConnection(connection);
    LOG(log_INFO) << "Player " << gClient.nickname() << " World Data's connection successfully initialized.";

    BasicPlayer gPlayer(gClient.getTeam(), build);
    gPlayer.setConnection(connection);
    LOG(log_INFO) << "Player " << gClient.nickname() << " Basic player's connection successfully initialized.";
    gPlayer.setWorldData(&gWorldData);

    runBasePositionPhase(gWorldData);

    ControlLoop loop(gWorldData, gPlayer);
    loop.run();

    LOG(log_INFO) << "Player " << gClient.nickname() << " Ending program.";
    return 0;
}

}  // namespace

int runAgent(int argc, char** argv, const BuildConstants& build)
{
    const FailureReport report(argc > 0 ? argv[0] : nullptr);
    try {
        const CommandLineShape shape = check_command_line(argc, argv);
        switch (shape.outcome) {
        case CommandLineShape::kHelp:
            print_help(std::cout);
            return kExitHelp;
        case CommandLineShape::kLongHelp:
            print_long_help(std::cout, program_name(argc > 0 ? argv[0] : nullptr));
            return kExitHelp;
        case CommandLineShape::kVersion:
            print_version(std::cout, program_name(argc > 0 ? argv[0] : nullptr));
            return kExitHelp;
        case CommandLineShape::kMalformed:
            report.line() << shape.error << std::endl;
            return kExitMalformedCommandLine;
        case CommandLineShape::kRun:
            break;
        }

        Properties settingsFile;
        try {
            settingsFile = read_file_properties(shape.configFile);
        } catch (const ClientException& e) {
            LOG(log_ERROR) << e.what();
            report.line() << shape.configFile << ": " << e.what() << std::endl;
            return kExitStartupFailure;
        }
        return runWithSettings(settingsFile, argc, argv, build, report);
    } catch (const SettingError& e) {
        report.line() << "setting " << e.key() << ": " << e.what() << std::endl;
    } catch (const std::exception& e) {
        // Anything else that escapes start-up or a cycle ends the program
        // with a readable reason rather than an abort.
        report.line() << e.what() << std::endl;
    } catch (...) {
        report.line() << "unknown failure" << std::endl;
    }
    return kExitStartupFailure;
}
