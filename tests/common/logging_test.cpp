#include <gtest/gtest.h>

#include <regex>

#include "common/Logger.h"

namespace {

// The log parameters are process-wide: each test restores them.
class LoggingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_level_ = LogParameters::instance().level();
        saved_active_ = LogParameters::instance().active();
    }
    void TearDown() override
    {
        LogParameters::instance().level(saved_level_);
        LogParameters::instance().active(saved_active_);
    }

    static std::string configure(const char* enabled, const char* level, std::string* out = nullptr)
    {
        Properties props;
        if (enabled) props.setProperty("LOG_ENABLED", enabled);
        if (level) props.setProperty("LOG_LEVEL", level);
        LoggerConfigurator configurator(props);
        ::testing::internal::CaptureStderr();
        ::testing::internal::CaptureStdout();
        configurator.Configure();
        const std::string stdoutText = ::testing::internal::GetCapturedStdout();
        if (out) *out = stdoutText;
        return ::testing::internal::GetCapturedStderr();
    }

    log_level_t saved_level_{};
    bool saved_active_{};
};

TEST_F(LoggingTest, LevelNames)
{
    EXPECT_EQ(log_level_to_string(log_TRACE), "trace");
    EXPECT_EQ(log_level_to_string(log_ERROR), "error");
    EXPECT_EQ(log_level_to_string(static_cast<log_level_t>(9)), "invalid");
}

TEST_F(LoggingTest, InfoLevelAnnouncesItselfWithAStampedLine)
{
    const std::string err = configure("YES", "INFO");
    EXPECT_TRUE(std::regex_match(err, std::regex(R"(\d{1,2}:\d{1,2}:\d{1,2} - info - Log level set to INFO\n)"))) << err;
    EXPECT_TRUE(LogParameters::instance().active());
    EXPECT_EQ(LogParameters::instance().level(), log_INFO);
}

TEST_F(LoggingTest, ThresholdFiltersBeforeFormatting)
{
    configure("YES", "WARN");
    int formatted = 0;
    auto count = [&formatted]() { return ++formatted; };
    ::testing::internal::CaptureStderr();
    LOG(log_DEBUG) << "hidden " << count();
    LOG(log_WARN) << "shown " << count();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(formatted, 1);
    EXPECT_NE(err.find(" - warn - shown 1\n"), std::string::npos) << err;
    EXPECT_EQ(err.find("hidden"), std::string::npos);
}

TEST_F(LoggingTest, ConfigurationTable)
{
    struct Case {
        const char* enabled;
        const char* level;
        bool active;
        log_level_t threshold;
        bool invalidMessage;
    };
    const Case cases[] = {
        {"YES", "TRACE", true, log_TRACE, false}, {"YES", "DEBUG", true, log_DEBUG, false},
        {"YES", "ERROR", true, log_ERROR, false}, {"yes", "INFO", false, log_INFO, false},
        {nullptr, "INFO", false, log_INFO, false}, {"YES", "verbose", true, log_WARN, true},
        {"YES", "WARN ", true, log_WARN, true},   {"YES", nullptr, true, log_WARN, true},
    };
    for (const Case& c : cases) {
        std::string out;
        const std::string err = configure(c.enabled, c.level, &out);
        EXPECT_EQ(LogParameters::instance().active(), c.active) << c.level;
        EXPECT_EQ(LogParameters::instance().level(), c.threshold) << c.level;
        EXPECT_EQ(out == "Invalid log level, defaults to WARN\n", c.invalidMessage) << out;
        if (c.threshold > log_INFO || !c.active) {
            EXPECT_EQ(err, "") << c.level;
        }
    }
}

TEST_F(LoggingTest, MultiLineMessageGetsOneLineEnd)
{
    configure("YES", "TRACE");
    ::testing::internal::CaptureStderr();
    { Logger().Get(log_ERROR) << "a\n"; }
    { Logger logger; }
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(std::regex_search(err, std::regex(R"( - error - a\n\n)"))) << err;
    EXPECT_TRUE(std::regex_search(err, std::regex(R"( - trace - \n$)"))) << err;
}

TEST_F(LoggingTest, AddOverwritesAndClearEmpties)
{
    Properties first;
    first.setProperty("LOG_ENABLED", "NO");
    Properties second;
    second.setProperty("LOG_ENABLED", "YES");
    second.setProperty("LOG_LEVEL", "ERROR");
    LoggerConfigurator configurator(first);
    configurator.Add(second);
    configurator.Current();
    configurator.Configure();
    EXPECT_TRUE(LogParameters::instance().active());
    configurator.Clear();
    ::testing::internal::CaptureStdout();
    configurator.Configure();
    ::testing::internal::GetCapturedStdout();
    EXPECT_FALSE(LogParameters::instance().active());
}

}  // namespace
