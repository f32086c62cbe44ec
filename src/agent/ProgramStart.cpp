#include "agent/ProgramStart.h"

#include <exception>
#include <iostream>
#include <memory>

#include "agent/Client.h"
#include "agent/CommandLine.h"
#include "agent/SettingError.h"
#include "common/ClientException.h"
#include "common/Logger.h"
#include "common/Properties.h"
#include "net/ClientConnector.h"
#include "net/Connection.h"

namespace {

constexpr const char* kAcceptAnySourceKey = "ACCEPT_ANY_SOURCE";
constexpr const char* kYes = "YES";
constexpr const char* kReceiveWaitKey = "RECEIVE_WAIT";
constexpr const char* kBlindWait = "SLEEP";
// A UDP port; anything else would silently be cut to its low 16 bits.
constexpr int kLowestPort = 1;
constexpr int kHighestPort = 65535;

// The one line on standard error that ends a failed run. Most failures come
// before logging is configured (or below its threshold), so the log alone
// would hide them.
std::ostream& failureLine(const ProgramStart& start) { return std::cerr << start.program << ": "; }

int runWithSettings(const Properties& settingsFile, int argc, char** argv, const ProgramStart& start,
                    const ConnectedRun& run)
{
    Properties settings = settingsFile;
    if (!override_properties_with_cmd(argc, argv, settings)) {
        return kExitStartupFailure;
    }

    const std::string host = settings.propertyValue("SERVER_IP");
    const int port = boundedIntSetting(settings, "PORT_TEAM", kLowestPort, kHighestPort);

    LoggerConfigurator logConfigurator(settings);
    logConfigurator.Configure();

    Client client(settings);
    ClientConnector connector(host, port);
    // Shared by plain pointers for the whole run; released only here, after
    // every user has gone, so the process ends without a leak.
    const std::unique_ptr<Connection> connection(connector.getConnection());
    if (settings.propertyValue(kAcceptAnySourceKey) == kYes) {
        connection->setAcceptAnySource(true);
    }
    if (start.honourReceiveWait) {
        // The full blind pause between receive attempts, only to compare reaction times.
        connection->setBlindWait(settings.propertyValue(kReceiveWaitKey) == kBlindWait);
    }

    if (!connector.ConnectToServer(client)) {
        LOG(log_INFO) << client.nickname() << " Could not connect to server. Exiting program.";
        failureLine(start) << client.nickname() << " Could not connect to server. Exiting program." << std::endl;
        return kExitStartupFailure;
    }
    LOG(log_INFO) << "Player " << client.nickname() << " successfully connected to server.";
    return run(settings, client, *connection);
}

}  // namespace

int runConnected(int argc, char** argv, const ProgramStart& start, const ConnectedRun& run)
{
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
            failureLine(start) << shape.error << std::endl;
            return kExitMalformedCommandLine;
        case CommandLineShape::kRun:
            break;
        }

        Properties settingsFile;
        try {
            settingsFile = read_file_properties(shape.configFile);
        } catch (const ClientException& e) {
            LOG(log_ERROR) << e.what();
            failureLine(start) << shape.configFile << ": " << e.what() << std::endl;
            return kExitStartupFailure;
        }
        return runWithSettings(settingsFile, argc, argv, start, run);
    } catch (const SettingError& e) {
        failureLine(start) << "setting " << e.key() << ": " << e.what() << std::endl;
    } catch (const std::exception& e) {
        // Anything else that escapes start-up or the run ends the program
        // with a readable reason rather than an abort.
        failureLine(start) << e.what() << std::endl;
    } catch (...) {
        failureLine(start) << "unknown failure" << std::endl;
    }
    return kExitStartupFailure;
}
