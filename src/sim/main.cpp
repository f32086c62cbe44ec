// simserver: a simulated Soccer Server for whole matches of agents on one machine.

#include <iostream>

#include "common/Version.h"
#include "sim/AgentConfigs.h"
#include "sim/Options.h"
#include "sim/record/ReplayPage.h"
#include "sim/SimServer.h"

namespace {

// The name the server was started by: simserver, or the package's soccer-simserver.
std::string programName(const char* argv0)
{
    const std::string path = argv0 != nullptr ? argv0 : "";
    const std::string name = path.substr(path.find_last_of('/') + 1);
    return name.empty() ? "simserver" : name;
}

}  // namespace

int main(int argc, char** argv)
{
    SimOptions options;
    std::string error;
    switch (parseOptions(argc, argv, options, error)) {
    case ParseOutcome::Help:
        printHelp(std::cout, programName(argv[0]));
        return 0;
    case ParseOutcome::Version:
        std::cout << programName(argv[0]) << " " << soccer_version() << "\n";
        return 0;
    case ParseOutcome::Error:
        std::cerr << "simserver: " << error << "\n";
        return 1;
    case ParseOutcome::Run:
        break;
    }

    if (!options.renderFile.empty()) {
        const std::string page = replayPageFile(options);
        long steps = 0;
        if (!writeReplayPage(options.renderFile, page, steps, error)) {
            std::cerr << "simserver: " << error << "\n";
            return 2;
        }
        std::cout << page << " (" << steps << " steps)\n";
        return 0;
    }

    Scenario scenario;
    try {
        scenario = scenarioFor(options);
        if (options.listRobots) {
            for (const RobotSpec& r : scenario.robots) {
                std::cout << r.vtId << " " << teamName(r.team) << " " << r.nickname << " " << r.kickoff.x << " "
                          << r.kickoff.y << " " << radToDeg(r.kickoffHeading) << "\n";
            }
            return 0;
        }
        if (!options.agentConfigDir.empty()) {
            for (const std::string& dir :
                 writeAgentDirectories(options.agentConfigDir, scenario, options.agentTemplate,
                                       options.velocidadeFile, options.host, options.port)) {
                std::cout << dir << "\n";
            }
            return 0;
        }
    } catch (const ScenarioError& e) {
        std::cerr << "simserver: " << e.what() << "\n";
        return 1;
    }

    if (!options.pageFile.empty() && options.recordFile.empty()) {
        std::cerr << "simserver: --page needs --record\n";
        return 1;
    }
    installStopSignals();
    SimServer server(scenario, options);
    // The HTTP port first: when it is taken, no record file is left behind.
    if ((options.httpPort >= 0 && !server.serveLive(options.httpHost, options.httpPort, error)) ||
        !server.open(error)) {
        std::cerr << "simserver: " << error << "\n";
        return 2;
    }
    if (options.httpPort >= 0) {
        // Printed even when quiet: it is the address to open.
        std::cerr << "simserver: watch live at " << liveAddress(options.httpHost, server.livePort()) << "\n";
    }
    if (!options.quiet) {
        std::cerr << "simserver: listening on " << options.host << ":" << server.port() << " ("
                  << scenario.robots.size() << " robots, " << scenario.rules.matchLength << " s, "
                  << (options.fast ? "fast" : "real time") << ")\n";
    }
    const int status = server.run(std::cout);
    // The page here saves the launcher a program start per match.
    if (!options.pageFile.empty()) {
        long steps = 0;
        if (!writeReplayPage(options.recordFile, options.pageFile, steps, error)) {
            std::cerr << "simserver: " << error << "\n";
        }
    }
    return status;
}
