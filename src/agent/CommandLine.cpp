#include "agent/CommandLine.h"

#include <exception>
#include <iostream>

#include "common/ClientException.h"
#include "common/Convert.h"
#include "common/Logger.h"

namespace {

constexpr const char* kHelpWord = "-help";

// The eight help lines, trailing blank of the second included.
constexpr const char* kHelpLines[] = {
    "Available agents parameters:",
    " -h(ost) - Server ip address ",
    " -c(onfig.ini) Configuration file name",
    " -p(ort) - Client's port",
    " -n(ick name) - The players nickname",
    " -r(cID) The agent's robot control id",
    " -v(tID) the agent's robot control id",
    " -t(eam) the agent's team",
};

// An option is "-" and a letter; anything after the letter is ignored.
bool isOption(const std::string& word)
{
    return word.size() > 1 && word[0] == '-';
}

}  // namespace

CommandLineShape check_command_line(int argc, char** argv)
{
    CommandLineShape shape;
    if (argc <= 1) {
        return shape;
    }
    if (argc == 2) {
        if (std::string(argv[1]) == kHelpWord) {
            shape.outcome = CommandLineShape::kHelp;
        } else {
            shape.outcome = CommandLineShape::kMalformed;
            shape.error = "Invalid argument list";
            LOG(log_ERROR) << shape.error;
        }
        return shape;
    }
    for (int i = 1; i < argc; i += 2) {
        const std::string word = argv[i];
        if (i + 1 >= argc) {
            shape.outcome = CommandLineShape::kMalformed;
            shape.error = "Missing argument for value " + word;
            LOG(log_ERROR) << shape.error;
            return shape;
        }
        if (!isOption(word)) {
            shape.outcome = CommandLineShape::kMalformed;
            shape.error = "Invalid argument";
            LOG(log_ERROR) << shape.error;
            return shape;
        }
        if (word[1] == 'c') {
            shape.configFile = argv[i + 1];
            LOG(log_INFO) << "Retrieving non default config file name: " << shape.configFile;
        }
    }
    return shape;
}

void print_help(std::ostream& out)
{
    for (const char* line : kHelpLines) {
        out << line << '\n';
    }
    out.flush();
}

Properties read_file_properties(const std::string& filename)
{
    try {
        return PropertyReader().read(filename);
    } catch (const PropertyFileTooLarge& e) {
        LOG(log_ERROR) << e.what();
        throw ClientException(e.what());
    } catch (const PropertyStreamError&) {
        LOG(log_ERROR) << "Error reading property file";
    } catch (const BadPropertyFormatException& e) {
        LOG(log_ERROR) << "Error in property format: " << e.what();
    }
    throw ClientException("Could not read properties file");
}

bool override_properties_with_cmd(int argc, char** argv, Properties& props)
{
    if (argc == 1) {
        return true;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const std::string value = argv[i + 1];
        const char letter = option.size() > 1 ? option[1] : '\0';
        const char* key = nullptr;
        bool numeric = false;
        switch (letter) {
        case 'c':
            LOG(log_INFO) << "Using configuration file: " << value;
            continue;
        case 'h': key = "SERVER_IP"; break;
        case 'n': key = "NICK_NAME"; break;
        case 'p': key = "PORT_TEAM"; numeric = true; break;
        case 'r': key = "RC_ID"; numeric = true; break;
        case 't': key = "TEAM"; numeric = true; break;
        case 'v': key = "VT_ID"; numeric = true; break;
        default:
            std::cerr << "Error bad argument \"" << option << "\"" << std::endl;
            return false;
        }
        if (numeric) {
            try {
                // Only checked here: the text as typed is stored and
                // converted again by its reader.
                (void)convert_to<int, std::string>(value);
            } catch (const std::exception& e) {
                LOG(log_ERROR) << "Invalid argument exception: " << e.what() << "\n";
                // Logging is not configured yet, so the log line would be lost.
                std::cerr << "Invalid argument exception: " << e.what() << std::endl;
                return false;
            }
        }
        props.setProperty(key, value);
    }
    return true;
}
