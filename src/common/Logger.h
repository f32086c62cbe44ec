#pragma once
// Levelled log lines on standard error. One process-wide switch and
// threshold; a message is formatted only when it will be written.

#include <sstream>
#include <string>

#include "common/Properties.h"

enum log_level_t {
    log_TRACE = 0,
    log_DEBUG = 1,
    log_INFO = 2,
    log_WARN = 3,
    log_ERROR = 4,
};

/// \brief The name written in a log line: "trace" ... "error", else "invalid".
std::string log_level_to_string(log_level_t level);

/// \brief The process-wide log switch and threshold (off until configured).
class LogParameters {
public:
    static LogParameters& instance();

    log_level_t level() const { return m_logLevel; }
    void level(log_level_t level) { m_logLevel = level; }
    bool active() const { return m_active; }
    void active(bool active) { m_active = active; }

    /// \brief Whether a message of `level` would be written now.
    bool enabled(log_level_t level) const { return m_active && m_logLevel <= level; }

private:
    LogParameters() = default;
    log_level_t m_logLevel = log_TRACE;
    bool m_active = false;
};

/// \brief One message: collects the text, writes the stamped line when destroyed.
class Logger {
public:
    Logger() = default;
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;
    ~Logger();

    /// \brief Records the level and returns the stream that collects the text.
    std::ostringstream& Get(log_level_t level);

private:
    std::ostringstream m_os{std::ios_base::out};
    log_level_t m_level = log_TRACE;
};

/// \brief Applies LOG_ENABLED and LOG_LEVEL from a set of properties.
class LoggerConfigurator {
public:
    LoggerConfigurator() = default;
    explicit LoggerConfigurator(Properties& props) : m_Properties(props) {}

    /// \brief Copies every pair of `props`, overwriting equal keys.
    void Add(Properties& props);
    void Clear() { m_Properties.clear(); }
    const LoggerConfigurator& Current() const { return *this; }
    /// \brief Configures the process-wide parameters.
    void Configure();
    void Configure(LogParameters& params);

private:
    Properties m_Properties;
};

// Usage: LOG(log_DEBUG) << "text " << value;
// The level test comes first, so a suppressed message costs no formatting.
#define LOG(level)                                          \
    if (!::LogParameters::instance().enabled(level)) {      \
    } else                                                  \
        ::Logger().Get(level)
