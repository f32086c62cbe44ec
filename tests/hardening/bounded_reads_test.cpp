// Every file the agent and simserver read is read up to a limit: a device
// or a file just over the limit is refused at once, in one line, with the
// program's status for an unusable file.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "FakeServer.h"
#include "ProcessRunner.h"

namespace {

constexpr std::size_t kSettingsLimit = std::size_t{1} << 20;
constexpr std::size_t kRecordLimit = std::size_t{256} << 20;
// Far below what reading a device without end would take.
constexpr double kPromptly = 5.0;
constexpr int kHandshakeWaitMs = 5000;

// A sparse file of `bytes` zero bytes: costs no disk.
void makeSparse(const std::string& path, std::size_t bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(bytes)), 0);
    ::close(fd);
}

std::size_t lineCount(const std::string& text)
{
    std::size_t n = 0;
    for (const char c : text) {
        n += c == '\n' ? 1 : 0;
    }
    return n;
}

struct RefusalCase {
    const char* name;
    const char* program;
    std::vector<std::string> args;  // "FILE" stands for the file under test
    const char* file;               // a path, or nullptr for a sparse file of `bytes`
    std::size_t bytes;
    int status;
    const char* says;
};

class OversizedFile : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(OversizedFile, IsRefusedAtOnceInOneLine)
{
    const RefusalCase& c = GetParam();
    ScratchDir dir;
    std::string file = c.file ? c.file : dir.path() + "/big";
    if (!c.file) {
        makeSparse(file, c.bytes);
    }
    std::vector<std::string> args;
    for (const std::string& a : c.args) {
        args.push_back(a == "FILE" ? file : a == "DIR" ? dir.path() + "/agents" : a);
    }
    const auto start = std::chrono::steady_clock::now();
    const ProcessResult r = runProgram(c.program, args, dir, kPromptly);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_FALSE(r.timedOut) << c.name;
    EXPECT_LT(took, kPromptly);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(dir.read("agents/1_yellow_GO/config.ini"), "") << "written before the refusal";
}

INSTANTIATE_TEST_SUITE_P(
    Readers, OversizedFile,
    ::testing::Values(
        RefusalCase{"agentSettingsDevice", AGENT_BINARY, {"-c", "FILE"}, "/dev/zero", 0, 255, "larger than 1 MiB"},
        RefusalCase{"agentSettingsJustOver", AGENT_BINARY, {"-c", "FILE"}, nullptr, kSettingsLimit + 1, 255,
                    "larger than 1 MiB"},
        RefusalCase{"scenarioDevice", SIMSERVER_BINARY, {"--scenario", "FILE"}, "/dev/zero", 0, 1, "larger than 1 MiB"},
        RefusalCase{"scenarioJustOver", SIMSERVER_BINARY, {"--scenario", "FILE"}, nullptr, kSettingsLimit + 1, 1,
                    "larger than 1 MiB"},
        RefusalCase{"renderDevice", SIMSERVER_BINARY, {"--render", "FILE"}, "/dev/zero", 0, 2,
                    "larger than 256 MiB"},
        RefusalCase{"renderJustOver", SIMSERVER_BINARY, {"--render", "FILE"}, nullptr, kRecordLimit + 1, 2,
                    "larger than 256 MiB"},
        RefusalCase{"agentTemplateDevice", SIMSERVER_BINARY, {"--agent-configs", "DIR", "--agent-template", "FILE"},
                    "/dev/zero", 0, 1, "larger than 1 MiB"},
        RefusalCase{"speedFileDevice", SIMSERVER_BINARY, {"--agent-configs", "DIR", "--velocidade", "FILE"},
                    "/dev/zero", 0, 1, "larger than 1 MiB"}),
    [](const auto& info) { return std::string(info.param.name); });

// The speed file is read once connected: past the limit the agent stops there.
TEST(OversizedFile, AgentSpeedFileJustOverTheLimitEndsTheAgentAfterTheHandshake)
{
    ScratchDir dir;
    FakeServer server;
    writeAgentFiles(dir.path(), server.port());
    makeSparse(dir.path() + "/velocidade.ini", kSettingsLimit + 1);
    ChildProcess agent(AGENT_BINARY, {}, dir);
    ASSERT_TRUE(server.handshake(kHandshakeWaitMs)) << agent.errorsSoFar();
    const ProcessResult r = agent.wait(kPromptly);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 255);
    EXPECT_NE(r.err.find("speed file velocidade.ini"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("larger than 1 MiB"), std::string::npos) << r.err;
}

}  // namespace
