#pragma once
// Runs a whole match for the end-to-end tests: the real simserver and one
// real agent per robot of the scenario, each agent in its own
// working directory under a fresh temporary run folder. Every process it
// starts is stopped by the time runMatch returns.

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/JsonLite.h"

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

/// \brief What came out of it.
struct MatchResult {
    std::string dir;
    int serverStatus = -1;
    std::vector<std::string> agentDirs;
    /// \brief Exit status per agent; -1 when it had to be killed.
    std::vector<int> agentStatus;
    std::string summary;
    std::string serverLog;
    std::vector<JsonValue> record;
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
