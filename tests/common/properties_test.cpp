#include <gtest/gtest.h>

#include <sstream>

#include "common/Properties.h"

namespace {

Properties readText(const std::string& text)
{
    std::istringstream in(text);
    return PropertyReader().read(in);
}

struct ReadCase {
    const char* name;
    const char* text;
    std::vector<std::pair<std::string, std::string>> pairs;
};

class PropertyReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(PropertyReadTest, YieldsExactlyThePairs)
{
    const ReadCase& c = GetParam();
    const Properties props = readText(c.text);
    ASSERT_EQ(props.size(), c.pairs.size());
    for (const auto& [key, value] : c.pairs) {
        EXPECT_TRUE(props.exists(key)) << key;
        EXPECT_EQ(props.propertyValue(key), value) << key;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, PropertyReadTest,
    ::testing::Values(ReadCase{"empty", "", {}}, ReadCase{"comments", "#a=1\n\n# b\n", {}},
                      ReadCase{"valueWithEquals", "A=1=2\n", {{"A", "1=2"}}},
                      ReadCase{"emptyValue", "A=\n", {{"A", ""}}},
                      ReadCase{"blanksKept", "X = 1\n", {{"X ", " 1"}}},
                      ReadCase{"hashAfterBlank", "  #x=1\n", {{"  #x", "1"}}},
                      ReadCase{"lastLineWithoutNewline", "A=1\nB=2", {{"A", "1"}, {"B", "2"}}},
                      ReadCase{"laterWins", "A=1\nB=3\nA=2\n", {{"A", "2"}, {"B", "3"}}},
                      ReadCase{"carriageReturnKept", "A=1\r\n", {{"A", "1\r"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PropertyReader, MalformedLinesThrow)
{
    for (const char* text : {"=1\n", "   \n", "A=1\r\n\r\n", "novalue\n"}) {
        EXPECT_THROW(readText(text), BadPropertyFormatException) << text;
    }
}

TEST(PropertyReader, MissingFileThrowsStreamError)
{
    EXPECT_THROW(PropertyReader().read(std::string("/nonexistent/dir/x.ini")), PropertyStreamError);
}

TEST(PropertyReader, WritesHeaderThenSortedPairsAndReadsBack)
{
    Properties props;
    props.setProperty("B", "2");
    props.setProperty("A", "1=3");
    std::ostringstream out;
    PropertyReader().write(out, "x\ny", props);
    EXPECT_EQ(out.str(), "#x\n#y\nA=1=3\nB=2\n");

    const Properties back = readText(out.str());
    EXPECT_EQ(back.size(), 2u);
    EXPECT_EQ(back.propertyValue("A"), "1=3");
}

TEST(PropertyReader, WriteToFailedStreamThrows)
{
    Properties props;
    std::ostringstream out;
    out.setstate(std::ios::failbit);
    EXPECT_THROW(PropertyReader().write(out, props), PropertyStreamError);
}

TEST(Properties, AbsentKeysNeitherThrowNorInsert)
{
    Properties props;
    props.setProperty("A", "1");
    EXPECT_EQ(props.propertyValue("missing"), "");
    EXPECT_EQ(props.property("missing").key(), "");
    EXPECT_EQ(props.size(), 1u);
    EXPECT_FALSE(props.eraseProperty("missing"));
    EXPECT_TRUE(props.eraseProperty("A"));
    EXPECT_EQ(props.size(), 0u);
}

}  // namespace
