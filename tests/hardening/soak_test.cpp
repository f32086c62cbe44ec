// A long match: one agent alone on the simulated server in lock-step mode
// for about 100 000 cycles. Its resident memory must not grow once warm.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "FakeServer.h"
#include "ProcessRunner.h"

namespace {

constexpr double kTimeStep = 0.066;
#ifdef SOCCER_SANITIZED
// Freed memory waits in the sanitizer's quarantine, so the resident size says
// nothing there; a shorter match still checks that the agent lasts and ends
// without a leak report.
constexpr long kCycles = 5000;
constexpr bool kCheckMemory = false;
#else
constexpr long kCycles = 100000;
constexpr bool kCheckMemory = true;
#endif
constexpr long kWarmCycles = 1000;
constexpr long kAllowedGrowthKiB = 1024;
constexpr double kMatchSeconds = kCycles * kTimeStep;
// The last sample is taken this long (game time) before the end, while the agent still runs.
// In fast mode a game second passes in about a millisecond, so "near the end"
// must leave the sampling loop (20 ms polls, a loaded machine) room to see it.
constexpr double kEndMarginSeconds = kMatchSeconds * 0.03;
constexpr double kTimeLimitSeconds = 170;

// The field and the physics are the server's defaults; only the camera and the one robot are set.
const char* const kLoneScenario =
    "TIME_STEP=0.066\nKICKOFF_PAUSE=1\nWARN_ENDING=10\nTIME_OVER_LENGTH=1\nSEED=1\n"
    "NOISE_DIST=2\nNOISE_ANGLE=0.5\nDROPOUT=0.01\nROBOT_1=yellow A1 -300 -250 90\n";

long residentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

// The game time of the server's latest progress line, or -1.
double gameTime(const std::string& log)
{
    static const std::regex progress("t=\\s*([0-9.]+) s");
    double t = -1;
    for (std::sregex_iterator it(log.begin(), log.end(), progress), end; it != end; ++it) {
        t = std::stod((*it)[1]);
    }
    return t;
}

int listeningPort(const std::string& log)
{
    static const std::regex listening("listening on [^:]*:(\\d+)");
    std::smatch m;
    return std::regex_search(log, m, listening) ? std::stoi(m[1]) : -1;
}

}  // namespace

TEST(Soak, HundredThousandCyclesWithoutMemoryGrowth)
{
    using Clock = std::chrono::steady_clock;
    const auto started = Clock::now();
    ScratchDir serverDir;
    serverDir.write("lone.ini", kLoneScenario);
    ChildProcess server(SIMSERVER_BINARY,
                        {"--scenario", "lone.ini", "--port", "0", "--fast", "--length",
                         std::to_string(static_cast<int>(kMatchSeconds)), "--wait", "20"},
                        serverDir);
    int port = -1;
    for (int i = 0; i < 200 && port < 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        port = listeningPort(server.errorsSoFar());
    }
    ASSERT_GT(port, 0) << server.errorsSoFar();

    ScratchDir agentDir;
    writeAgentFiles(agentDir.path(), port);
    ChildProcess agent(AGENT_BINARY, {}, agentDir);

    long warm = -1;
    long last = -1;
    while (server.running() && Clock::now() - started < std::chrono::duration<double>(kTimeLimitSeconds)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const double t = gameTime(server.errorsSoFar());
        if (warm < 0 && t >= kWarmCycles * kTimeStep) {
            warm = residentKiB(agent.pid());
        }
        if (t >= kMatchSeconds - kEndMarginSeconds) {
            last = residentKiB(agent.pid());
            break;
        }
    }
    const ProcessResult serverEnd = server.wait(30);
    const ProcessResult agentEnd = agent.wait(10);
    std::cout << "agent resident memory: " << warm << " KiB after " << kWarmCycles << " cycles, " << last
              << " KiB near the end of " << kCycles << "; took "
              << std::chrono::duration<double>(Clock::now() - started).count() << " s" << std::endl;
    ASSERT_GT(warm, 0) << serverEnd.err;
    ASSERT_GT(last, 0) << "the match did not reach its end in time";
    if (kCheckMemory) {
        EXPECT_LE(last - warm, kAllowedGrowthKiB);
    }
    EXPECT_EQ(serverEnd.status, 0) << serverEnd.err;
    EXPECT_EQ(agentEnd.status, 0) << agentEnd.err;

    static const std::regex commands("robot 1 yellow A1: admitted yes, connect reply true, commands (\\d+)");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(serverEnd.out, m, commands)) << serverEnd.out;
    // Kick-off pauses after goals draw no commands; nearly every other step does.
    EXPECT_GT(std::stol(m[1]), kCycles * 8 / 10) << serverEnd.out;
}
