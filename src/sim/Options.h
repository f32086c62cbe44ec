#pragma once
// The command line of simserver.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "sim/scenario/Scenario.h"

/// \brief Everything the command line can set.
struct SimOptions {
    std::string host = "127.0.0.1";
    int port = 20000;
    std::string scenarioFile;
    bool fiveASide = false;
    /// \brief Play time in seconds; negative = the scenario's.
    double length = -1.0;
    bool fast = false;
    /// \brief Fast mode: longest wait for the robots' answers to one world state.
    int stepTimeoutMs = 250;
    /// \brief Longest wait for every robot to connect before the kick-off.
    double waitSeconds = 10.0;
    bool seedSet = false;
    std::uint64_t seed = 0;
    /// \brief Noise overrides; negative = the scenario's.
    double noiseDist = -1.0;
    double noiseAngle = -1.0;
    double dropout = -1.0;
    std::vector<Blackout> blackouts;
    std::string recordFile;
    /// \brief Where the match summary goes as JSON; empty = nowhere.
    std::string summaryFile;
    /// \brief The program each team runs, as the summary and the record name it; the
    /// server cannot see which program drives a robot, so without a name it says so.
    std::string yellowProgram = "unknown";
    std::string blueProgram = "unknown";
    /// \brief Port that serves the match live over HTTP; negative = not served.
    int httpPort = -1;
    /// \brief Address the live HTTP server binds.
    std::string httpHost = "127.0.0.1";
    /// \brief Write the replay page of this record, then exit.
    std::string renderFile;
    /// \brief Where the replay page goes; empty = the record's name with ".html".
    std::string outputFile;
    /// \brief Where the replay page of the match's record goes once it ends; empty = nowhere.
    std::string pageFile;
    bool quiet = false;
    bool listRobots = false;
    /// \brief Write one agent working directory per robot here, then exit.
    std::string agentConfigDir;
    std::string agentTemplate;
    std::string velocidadeFile;
};

/// \brief Outcome of reading the command line.
enum class ParseOutcome { Run, Help, Version, Error };

/// \brief Reads argv into `options`; on Error `error` says why.
ParseOutcome parseOptions(int argc, const char* const* argv, SimOptions& options, std::string& error);

/// \brief The --help text.
/// `program` is the name the server was started by (argv[0] without its folder).
void printHelp(std::ostream& out, const std::string& program = "simserver");

/// \brief The page file `--render` writes: `--output`, or the record's name ending in ".html".
std::string replayPageFile(const SimOptions& options);

/// \brief The scenario the options ask for, with their overrides applied.
/// \throws ScenarioError
Scenario scenarioFor(const SimOptions& options);
