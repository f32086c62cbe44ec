#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agent/Client.h"
#include "agent/CommandLine.h"
#include "agent/SettingError.h"
#include "common/Convert.h"

namespace {

// argv as the program receives it: a program name and then the words.
class Argv {
public:
    explicit Argv(std::vector<std::string> words) : mWords(std::move(words))
    {
        mWords.insert(mWords.begin(), "agent");
        for (auto& w : mWords) {
            mPointers.push_back(w.data());
        }
        mPointers.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(mWords.size()); }
    char** argv() { return mPointers.data(); }

private:
    std::vector<std::string> mWords;
    std::vector<char*> mPointers;
};

Properties clientSettings()
{
    Properties p;
    p.setProperty("VERSION", "1.0");
    p.setProperty("SLEEP", "1000");
    p.setProperty("TRIES", "500");
    p.setProperty("TEAM", "2");
    p.setProperty("VT_ID", "7");
    p.setProperty("RC_ID", "3");
    p.setProperty("NICK_NAME", "GO");
    return p;
}

}  // namespace

struct IntConversionCase {
    std::string text;
    bool ok;
    int value;
    std::string error;
};
void PrintTo(const IntConversionCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class IntConversion : public ::testing::TestWithParam<IntConversionCase> {};

TEST_P(IntConversion, SkipsLeadingBlanksAndIgnoresTrailingText)
{
    const auto& c = GetParam();
    if (c.ok) {
        EXPECT_EQ(convert_to<int>(c.text), c.value);
    } else {
        try {
            convert_to<int>(c.text);
            FAIL() << "converted " << c.text;
        } catch (const BadParameter& e) {
            EXPECT_EQ(std::string(e.what()), c.error);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, IntConversion,
                         ::testing::Values(IntConversionCase{"12x", true, 12, ""},
                                           IntConversionCase{" 7", true, 7, ""},
                                           IntConversionCase{"-3", true, -3, ""},
                                           IntConversionCase{"x12", false, 0, "Error converting x12 to i"},
                                           IntConversionCase{"", false, 0, "Error converting  to i"}));

TEST(ClientTest, ReadsEveryFieldFromItsKey)
{
    Properties p = clientSettings();
    Client c(p);
    EXPECT_EQ(c.version(), "1.0");
    EXPECT_EQ(c.getSleep(), 1000);
    EXPECT_EQ(c.getTries(), 500);
    EXPECT_EQ(c.getTeam(), TEAM_YELLOW);
    EXPECT_EQ(c.Team(), TEAM_YELLOW);
    EXPECT_EQ(c.vtID(), 7);
    EXPECT_EQ(c.rcID(), 3);
    EXPECT_EQ(c.nickname(), "GO");
}

TEST(ClientTest, TextFieldsMayBeMissingAndTeamIsNotRangeChecked)
{
    Properties p = clientSettings();
    p.eraseProperty("VERSION");
    p.eraseProperty("NICK_NAME");
    p.setProperty("TEAM", "3");
    p.setProperty("TRIES", "0");
    Client c(p);
    EXPECT_EQ(c.version(), "");
    EXPECT_EQ(c.nickname(), "");
    EXPECT_EQ(static_cast<int>(c.Team()), 3);
    EXPECT_EQ(c.getTries(), 0);
}

struct BadClientSetting {
    std::string key;
    std::string value;  // "<absent>" removes the key
    std::string message;
};
void PrintTo(const BadClientSetting& c, std::ostream* os) { *os << c.key << "=" << c.value; }

class ClientRefuses : public ::testing::TestWithParam<BadClientSetting> {};

TEST_P(ClientRefuses, NamingTheKey)
{
    const auto& c = GetParam();
    Properties p = clientSettings();
    if (c.value == "<absent>") {
        p.eraseProperty(c.key);
    } else {
        p.setProperty(c.key, c.value);
    }
    try {
        Client client(p);
        FAIL() << c.key << "=" << c.value << " accepted";
    } catch (const SettingError& e) {
        EXPECT_EQ(e.key(), c.key);
        EXPECT_EQ(std::string(e.what()), c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, ClientRefuses,
    ::testing::Values(BadClientSetting{"TRIES", "x12", "Error converting x12 to i"},
                      BadClientSetting{"SLEEP", "<absent>", "Error converting  to i"},
                      BadClientSetting{"TEAM", "blue", "Error converting blue to i"},
                      BadClientSetting{"VT_ID", "<absent>", "Error converting  to i"},
                      BadClientSetting{"RC_ID", "?", "Error converting ? to i"},
                      BadClientSetting{"SLEEP", "-1", "negative value -1 not allowed"},
                      BadClientSetting{"TRIES", "-5", "negative value -5 not allowed"}));

struct ShapeCase {
    std::vector<std::string> words;
    CommandLineShape::Outcome outcome;
    std::string configFile;
    std::string error;
};
void PrintTo(const ShapeCase& c, std::ostream* os)
{
    for (const auto& w : c.words) {
        *os << '[' << w << ']';
    }
}

class CommandLineShapeTest : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(CommandLineShapeTest, FirstPass)
{
    const auto& c = GetParam();
    Argv args(c.words);
    const CommandLineShape shape = check_command_line(args.argc(), args.argv());
    EXPECT_EQ(shape.outcome, c.outcome);
    EXPECT_EQ(shape.error, c.error);
    if (c.outcome == CommandLineShape::kRun) {
        EXPECT_EQ(shape.configFile, c.configFile);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, CommandLineShapeTest,
    ::testing::Values(
        ShapeCase{{}, CommandLineShape::kRun, "config.ini", ""},
        ShapeCase{{"-help"}, CommandLineShape::kHelp, "", ""},
        ShapeCase{{"--help"}, CommandLineShape::kLongHelp, "", ""},
        ShapeCase{{"--version"}, CommandLineShape::kVersion, "", ""},
        ShapeCase{{"-h"}, CommandLineShape::kMalformed, "", "Invalid argument list"},
        ShapeCase{{"-c"}, CommandLineShape::kMalformed, "", "Invalid argument list"},
        ShapeCase{{"-help", "10.0.0.1"}, CommandLineShape::kRun, "config.ini", ""},
        ShapeCase{{"-c", "my.ini", "-n", "A9"}, CommandLineShape::kRun, "my.ini", ""},
        ShapeCase{{"-config", "a.ini", "-c", "b.ini"}, CommandLineShape::kRun, "b.ini", ""},
        ShapeCase{{"-n", "-c", "-c", "x.ini"}, CommandLineShape::kRun, "x.ini", ""},
        ShapeCase{{"-n", "A", "-t"}, CommandLineShape::kMalformed, "", "Missing argument for value -t"},
        ShapeCase{{"foo", "bar"}, CommandLineShape::kMalformed, "", "Invalid argument"},
        ShapeCase{{"-", "bar"}, CommandLineShape::kMalformed, "", "Invalid argument"}));

TEST(OverridePropertiesTest, StoresTypedTextsInOrderAndLaterWins)
{
    Properties p = clientSettings();
    Argv args({"-host", "10.0.0.1", "-p", "12x", "-n", "-t", "-r", "4", "-v", " 9", "-t", "1", "-c", "other.ini",
               "-n", "B2"});
    ASSERT_TRUE(override_properties_with_cmd(args.argc(), args.argv(), p));
    EXPECT_EQ(p.propertyValue("SERVER_IP"), "10.0.0.1");
    EXPECT_EQ(p.propertyValue("PORT_TEAM"), "12x");
    EXPECT_EQ(p.propertyValue("NICK_NAME"), "B2");
    EXPECT_EQ(p.propertyValue("RC_ID"), "4");
    EXPECT_EQ(p.propertyValue("VT_ID"), " 9");
    EXPECT_EQ(p.propertyValue("TEAM"), "1");
    EXPECT_FALSE(p.exists("c"));
}

struct RefusedOption {
    std::vector<std::string> words;
    std::string stderrText;
};
void PrintTo(const RefusedOption& c, std::ostream* os)
{
    for (const auto& w : c.words) {
        *os << '[' << w << ']';
    }
}

class OverrideRefuses : public ::testing::TestWithParam<RefusedOption> {};

TEST_P(OverrideRefuses, WithALineOnStandardError)
{
    const auto& c = GetParam();
    Properties p = clientSettings();
    Argv args(c.words);
    ::testing::internal::CaptureStderr();
    const bool ok = override_properties_with_cmd(args.argc(), args.argv(), p);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(ok);
    EXPECT_EQ(err, c.stderrText);
}

INSTANTIATE_TEST_SUITE_P(
    Options, OverrideRefuses,
    ::testing::Values(RefusedOption{{"-x", "1"}, "Error bad argument \"-x\"\n"},
                      RefusedOption{{"-n", "A", "-zulu", "1"}, "Error bad argument \"-zulu\"\n"},
                      RefusedOption{{"-p", "abc"}, "Invalid argument exception: Error converting abc to i\n"},
                      RefusedOption{{"-team", ""}, "Invalid argument exception: Error converting  to i\n"}));
