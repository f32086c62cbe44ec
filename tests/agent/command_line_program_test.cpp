#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "ProcessRunner.h"

namespace {

constexpr int kStartupFailure = 255;

// A server that never answers: the handshake runs out of its few tries fast.
std::string settings(const std::string& overrides = "")
{
    std::string text =
        "SERVER_IP=127.0.0.1\n"
        "PORT_TEAM=9\n"
        "VERSION=1.0\n"
        "SLEEP=1000\n"
        "TRIES=3\n"
        "TEAM=1\n"
        "VT_ID=1\n"
        "RC_ID=1\n"
        "NICK_NAME=A1\n"
        "LOG_ENABLED=NO\n"
        "LOG_LEVEL=WARN\n";
    // Later lines win, so overrides replace the defaults above.
    return text + overrides;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

struct ProgramCase {
    const char* name;
    std::vector<std::string> args;
    std::string configOverrides;  // "<none>" leaves no config.ini at all
    int status;
    std::string stderrHas;        // empty: nothing to check
    std::string stdoutHas;
};

std::ostream& operator<<(std::ostream& os, const ProgramCase& c) { return os << c.name; }

class ProgramStartup : public ::testing::TestWithParam<ProgramCase> {};

}  // namespace

TEST_P(ProgramStartup, EndsWithTheStatusAndMessage)
{
    const auto& c = GetParam();
    ScratchDir dir;
    if (c.configOverrides != "<none>") {
        dir.write("config.ini", settings(c.configOverrides));
    }
    dir.write("other.ini", settings("TRIES=x12\n"));
    const ProcessResult r = runProgram(AGENT_BINARY, c.args, dir);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, c.status) << "stderr: " << r.err;
    if (!c.stderrHas.empty()) {
        EXPECT_NE(r.err.find(c.stderrHas), std::string::npos) << "stderr: " << r.err;
    }
    if (!c.stdoutHas.empty()) {
        EXPECT_NE(r.out.find(c.stdoutHas), std::string::npos) << "stdout: " << r.out;
    }
    if (c.status != 0) {
        // Every failure says why, in one line, even with logging off.
        EXPECT_EQ(lines(r.err).size(), 1u) << "stderr: " << r.err;
    }
    EXPECT_EQ(r.out.find("Available agents parameters:"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, ProgramStartup,
    ::testing::Values(
        ProgramCase{"HostAlone", {"-h"}, "", 1, "Invalid argument list", ""},
        ProgramCase{"ConfigAlone", {"-c"}, "", 1, "Invalid argument list", ""},
        ProgramCase{"LastOptionWithoutValue", {"-n", "A", "-t"}, "", 1, "Missing argument for value -t", ""},
        ProgramCase{"WordsThatAreNoOptions", {"foo", "bar"}, "", 1, "Invalid argument", ""},
        ProgramCase{"UnknownOption", {"-x", "1"}, "", kStartupFailure, "Error bad argument \"-x\"", ""},
        ProgramCase{"NonNumericPort", {"-p", "abc"}, "", kStartupFailure, "Error converting abc to i", ""},
        // A well-formed pair: -help is an option like -h, so it names the server.
        ProgramCase{"HelpWithAValue", {"-help", "127.0.0.1"}, "", kStartupFailure, "Could not connect", ""},
        ProgramCase{"NoServer", {}, "", kStartupFailure, "A1 Could not connect to server. Exiting program.", ""},
        ProgramCase{"MissingConfig", {}, "<none>", kStartupFailure, "config.ini: Could not read properties file", ""},
        ProgramCase{"MalformedConfig", {}, "not a setting\n", kStartupFailure, "Could not read properties file", ""},
        ProgramCase{"NamedConfigIsRead", {"-c", "other.ini", "-n", "A9"}, "", kStartupFailure,
                    "setting TRIES: Error converting x12 to i", ""},
        ProgramCase{"NonNumericTries", {}, "TRIES=x12\n", kStartupFailure, "setting TRIES: Error converting x12 to i",
                    ""},
        ProgramCase{"MissingPort", {}, "PORT_TEAM=\n", kStartupFailure, "setting PORT_TEAM: Error converting  to i",
                    ""},
        ProgramCase{"NegativeSleep", {}, "SLEEP=-1000\n", kStartupFailure, "setting SLEEP: negative value", ""},
        // A port is never cut to its low 16 bits.
        ProgramCase{"PortZero", {}, "PORT_TEAM=0\n", kStartupFailure, "agent: setting PORT_TEAM: 0 is outside 1-65535",
                    ""},
        ProgramCase{"PortAboveRange", {}, "PORT_TEAM=65536\n", kStartupFailure,
                    "agent: setting PORT_TEAM: 65536 is outside 1-65535", ""},
        ProgramCase{"PortOptionAboveRange", {"-p", "70000"}, "", kStartupFailure,
                    "agent: setting PORT_TEAM: 70000 is outside 1-65535", ""},
        ProgramCase{"NegativePortOption", {"-p", "-1"}, "", kStartupFailure, "setting PORT_TEAM: -1 is outside", ""},
        // Negative ids and colours are the user's business: the agent goes on to connect.
        ProgramCase{"NegativeIdsAccepted", {"-t", "-1", "-v", "-2", "-r", "-3"}, "", kStartupFailure,
                    "Could not connect", ""}),
    [](const ::testing::TestParamInfo<ProgramCase>& info) { return std::string(info.param.name); });

TEST(ProgramHelp, PrintsEightLinesAndSucceeds)
{
    ScratchDir dir;  // no configuration needed for help
    const ProcessResult r = runProgram(AGENT_BINARY, {"-help"}, dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> expected = {
        "Available agents parameters:",
        " -h(ost) - Server ip address ",
        " -c(onfig.ini) Configuration file name",
        " -p(ort) - Client's port",
        " -n(ick name) - The players nickname",
        " -r(cID) The agent's robot control id",
        " -v(tID) the agent's robot control id",
        " -t(eam) the agent's team",
    };
    EXPECT_EQ(lines(r.out), expected);
}

TEST(ProgramHelp, EveryBuildHasTheSameCommandLine)
{
    ScratchDir dir;
    for (const char* program : {AGENT_B_BINARY, AGENT_C_BINARY}) {
        EXPECT_EQ(runProgram(program, {"-help"}, dir).status, 0) << program;
        EXPECT_EQ(runProgram(program, {"foo", "bar"}, dir).status, 1) << program;
    }
}

TEST(ProgramPort, TrailingTextIsIgnoredAndTheOptionOverridesTheFile)
{
    // Port 12 needs privileges; without them the check cannot be made here.
    const int sock = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(12);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(sock);
        GTEST_SKIP() << "cannot bind port 12";
    }
    timeval wait{5, 0};
    setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);

    ScratchDir dir;
    dir.write("config.ini", settings());
    ChildProcess agent(AGENT_BINARY, {"-p", "12x", "-n", "P12"}, dir);
    char buffer[2048];
    const ssize_t n = recv(sock, buffer, sizeof buffer - 1, 0);
    close(sock);
    ASSERT_GT(n, 0) << "no connect request on port 12";
    const std::string request(buffer, static_cast<std::size_t>(n));
    EXPECT_NE(request.find("<nickname>P12</nickname>"), std::string::npos) << request;
    EXPECT_EQ(agent.wait(10).status, kStartupFailure);
}
