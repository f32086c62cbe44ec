// simserver's command line: each bad value is named in the message users see,
// and the new labelling options reach the options.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/Options.h"

namespace {

ParseOutcome parse(std::vector<const char*> args, SimOptions& o, std::string& error)
{
    args.insert(args.begin(), "simserver");
    return parseOptions(static_cast<int>(args.size()), args.data(), o, error);
}

struct BadLine {
    std::vector<const char*> args;
    const char* message;
};

TEST(CommandLineMessages, EachBadLineGetsItsOwnMessage)
{
    const std::string longName(201, 'x');
    const std::vector<BadLine> cases = {
        {{"--length"}, "--length needs a value"},
        {{"--fast", "--seed"}, "--seed needs a value"},
        {{"--length", "0"}, "--length needs seconds greater than 0 and at most 86400"},
        {{"--length", "ten"}, "--length needs seconds greater than 0 and at most 86400"},
        {{"--length", "nan"}, "--length needs seconds greater than 0 and at most 86400"},
        {{"--port", "65536"}, "--port needs a number from 0 to 65535"},
        {{"--step-timeout", "0"}, "--step-timeout needs milliseconds from 1 to 60000"},
        {{"--wait", "-1"}, "--wait needs seconds from 0 to 3600"},
        {{"--seed", "-3"}, "--seed needs a whole number >= 0"},
        {{"--seed", "1.5"}, "--seed needs a whole number >= 0"},
        {{"--dropout", "1.1"}, "--dropout needs a number from 0 to 1"},
        {{"--noise-angle", "-0.1"}, "--noise-angle needs a number from 0 to 1000000"},
        {{"--blackout", "1:3-2"}, "--blackout needs ID:START-END (game seconds)"},
        {{"--blackout", "1:1-2", "--blackout", "x"}, "--blackout needs ID:START-END (game seconds)"},
        {{"--frobnicate"}, "unknown option --frobnicate (see --help)"},
        {{"--fast", "stray"}, "unknown option stray (see --help)"},
        {{"--yellow-program", ""}, "--yellow-program needs a name of 1 to 200 printable characters"},
        {{"--blue-program", "a\tb"}, "--blue-program needs a name of 1 to 200 printable characters"},
        {{"--blue-program", longName.c_str()}, "--blue-program needs a name of 1 to 200 printable characters"},
        {{"--http", "65536"}, "--http needs a port number from 0 to 65535"},
        {{"--http", "80x"}, "--http needs a port number from 0 to 65535"},
        {{"--http", "0", "--http-host", ""}, "--http-host needs an address"},
    };
    for (const BadLine& c : cases) {
        SimOptions o;
        std::string error;
        EXPECT_EQ(parse(c.args, o, error), ParseOutcome::Error) << c.message;
        EXPECT_EQ(error, c.message);
    }
}

TEST(CommandLineMessages, GoodLinesSetEveryField)
{
    SimOptions o;
    std::string error;
    ASSERT_EQ(parse({"--length", "5", "--length", "7", "--blackout", "1:0-1", "--blackout", "2:3-4", "-o", "p.html",
                     "--summary", "s.json", "--yellow-program", "agent-b", "--blue-program", "/opt/x/agent c",
                     "--quiet", "--5v5", "--wait", "0"},
                    o, error),
              ParseOutcome::Run)
        << error;
    EXPECT_EQ(o.length, 7);  // the last of a repeated option counts
    ASSERT_EQ(o.blackouts.size(), 2u);
    EXPECT_EQ(o.blackouts[1].vtId, 2);
    EXPECT_EQ(o.outputFile, "p.html");
    EXPECT_EQ(o.summaryFile, "s.json");
    EXPECT_EQ(o.yellowProgram, "agent-b");
    EXPECT_EQ(o.blueProgram, "/opt/x/agent c");
    EXPECT_TRUE(o.quiet);
    EXPECT_TRUE(o.fiveASide);
    EXPECT_EQ(o.waitSeconds, 0);

    SimOptions defaults;
    ASSERT_EQ(parse({}, defaults, error), ParseOutcome::Run);
    EXPECT_EQ(defaults.port, 20000);
    EXPECT_EQ(defaults.host, "127.0.0.1");
    EXPECT_EQ(defaults.yellowProgram, "unknown");
    EXPECT_FALSE(defaults.seedSet);
    // Not served live unless asked, and then only to this machine unless told otherwise.
    EXPECT_LT(defaults.httpPort, 0);
    EXPECT_EQ(defaults.httpHost, "127.0.0.1");
    EXPECT_EQ(parse({"-h"}, defaults, error), ParseOutcome::Help);
    EXPECT_EQ(parse({"--version"}, defaults, error), ParseOutcome::Version);
}

}  // namespace
