#pragma once
// Runs a whole match for the end-to-end tests: the real simserver and one
// real agent per robot of the scenario, each agent in its own
// working directory under a fresh temporary run folder. Every process it
// starts is stopped by the time runMatch returns.

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>


/// \brief What to run.
struct MatchSetup {
    /// \brief Scenario file for the server and the agents; empty = the built-in 3 against 3.
    std::string scenarioFile;
    /// \brief Extra simserver options (e.g. --fast, --length 30).
    std::vector<std::string> serverArgs;
    /// \brief LOG_LEVEL of every agent.
    std::string logLevel = "WARN";
    /// \brief Longest wall time for the server to end.
    int timeoutSeconds = 50;
    /// \brief Called with the server's port once the agents are started.
    std::function<void(int port)> duringMatch;
};

/// \brief One robot in one line of the replay.
struct RecordRobot {
    int id = 0;
    std::string team;
    double x = 0.0;
    double y = 0.0;
    bool seen = false;
    /// \brief "none", "wheel_velocities", "kick" or "goto"; wheel levels when wheels.
    std::string cmd;
    double left = 0.0;
    double right = 0.0;
};

/// \brief One line of the replay.
struct RecordStep {
    long step = 0;
    double time = 0.0;
    std::string mode;
    int yellow = 0;
    int blue = 0;
    std::vector<int> kicks;
    std::string goal;
    std::vector<RecordRobot> robots;

    bool playing() const { return mode == "play on" || mode == "warn ending"; }
    /// \brief The robot with `id` (the first robot when there is none).
    const RecordRobot& robot(int id) const;
};

/// \brief Reads one replay line; false when it is not one.
bool parseRecordLine(const std::string& line, RecordStep& out);

/// \brief What came out of it.
struct MatchResult {
    std::string dir;
    int serverStatus = -1;
    std::vector<std::string> agentDirs;
    /// \brief Exit status per agent; -1 when it had to be killed.
    std::vector<int> agentStatus;
    std::string summary;
    std::string serverLog;
    /// \brief The record's header line.
    nlohmann::json header;
    /// \brief The record's closing summary line (null when there is none).
    nlohmann::json closing;
    std::vector<RecordStep> record;
    /// \brief Lines of the record that did not parse.
    int badRecordLines = 0;

    /// \brief The standard error of agent `i`.
    std::string agentLog(std::size_t i) const;
};

/// \brief Runs one match; `name` marks the run folder.
MatchResult runMatch(const std::string& name, const MatchSetup& setup);

/// \brief Removes the run folder of a match (kept when a test failed, for a look).
void discardRun(const MatchResult& result);

/// \brief The whole content of a file ("" when it cannot be read).
std::string readFile(const std::string& path);

/// \brief Removes a match's run folder at the end of the test, unless the test failed.
struct DiscardOnSuccess {
    const MatchResult& result;
    ~DiscardOnSuccess()
    {
        if (!::testing::Test::HasFailure()) {
            discardRun(result);
        }
    }
};
