#include "common/Logger.h"

#include <cstdio>
#include <ctime>
#include <exception>
#include <iostream>

std::string log_level_to_string(log_level_t level)
{
    switch (level) {
    case log_TRACE: return "trace";
    case log_DEBUG: return "debug";
    case log_INFO: return "info";
    case log_WARN: return "warn";
    case log_ERROR: return "error";
    }
    return "invalid";
}

LogParameters& LogParameters::instance()
{
    // Never destroyed, so logging from static destructors stays safe.
    static LogParameters* params = new LogParameters();
    return *params;
}

std::ostringstream& Logger::Get(log_level_t level)
{
    m_level = level;
    return m_os;
}

Logger::~Logger()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::fprintf(stderr, "%i:%i:%i - %s - %s\n", local.tm_hour, local.tm_min, local.tm_sec,
                 log_level_to_string(m_level).c_str(), m_os.str().c_str());
    std::fflush(stderr);
}

void LoggerConfigurator::Add(Properties& props)
{
    for (const auto& pair : props) {
        m_Properties.setProperty(pair.first, pair.second);
    }
}

void LoggerConfigurator::Configure()
{
    Configure(LogParameters::instance());
}

void LoggerConfigurator::Configure(LogParameters& params)
{
    try {
        params.active(m_Properties.propertyValue("LOG_ENABLED") == "YES");
        const std::string level = m_Properties.propertyValue("LOG_LEVEL");
        if (level == "TRACE") {
            params.level(log_TRACE);
        } else if (level == "DEBUG") {
            params.level(log_DEBUG);
        } else if (level == "INFO") {
            params.level(log_INFO);
        } else if (level == "WARN") {
            params.level(log_WARN);
        } else if (level == "ERROR") {
            params.level(log_ERROR);
        } else {
            std::cout << "Invalid log level, defaults to WARN" << std::endl;
            params.level(log_WARN);
        }
        LOG(log_INFO) << "Log level set to " << level;
    } catch (const std::exception&) {
        std::cout << "Error reading configuration file" << std::endl;
        throw;
    }
}
