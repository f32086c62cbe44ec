#include "agent/CommandLine.h"

#include <exception>
#include <iostream>

#include "common/ClientException.h"
#include "common/Convert.h"
#include "common/Logger.h"
#include "common/Version.h"

namespace {

constexpr const char* kHelpWord = "-help";
// The GNU forms, which man page generators and packagers ask for.
constexpr const char* kLongHelpWord = "--help";
constexpr const char* kVersionWord = "--version";

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
        const std::string word = argv[1];
        if (word == kHelpWord) {
            shape.outcome = CommandLineShape::kHelp;
        } else if (word == kLongHelpWord) {
            shape.outcome = CommandLineShape::kLongHelp;
        } else if (word == kVersionWord) {
            shape.outcome = CommandLineShape::kVersion;
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

void print_long_help(std::ostream& out, const std::string& program)
{
    out << "Usage: " << program << " [-c FILE] [-h HOST] [-p PORT] [-n NICK] [-v ID] [-r ID] [-t TEAM]\n"
        << "The control program of one robot of a small-robot soccer league: it connects\n"
           "to a Soccer Server over UDP, reads each world state, decides as goalkeeper\n"
           "(nickname GO) or field player and answers with two wheel speeds or a kick.\n"
           "It reads its settings from config.ini and velocidade.ini in the working\n"
           "directory; each option below overrides one setting.\n"
           "\n"
           "Options:\n"
           "  -c FILE      settings file instead of config.ini\n"
           "  -h HOST      server address (SERVER_IP)\n"
           "  -p PORT      server port (PORT_TEAM)\n"
           "  -n NICK      nickname (NICK_NAME); GO plays goalkeeper\n"
           "  -v ID        the id the server admits the robot by (VT_ID)\n"
           "  -r ID        the robot's radio id (RC_ID)\n"
           "  -t TEAM      team: 1 blue, 2 yellow (TEAM)\n"
           "  -help        the short list of options\n"
           "  --help       this text\n"
           "  --version    the program's version\n"
           "\n"
           "Exit status: 0 after the match or a help text, 1 for a malformed command\n"
           "line, 255 when the settings cannot be read or the server does not answer.\n";
    out.flush();
}

void print_version(std::ostream& out, const std::string& program)
{
    out << program << " " << soccer_version() << '\n';
    out.flush();
}

std::string program_name(const char* argv0)
{
    const std::string path = argv0 != nullptr ? argv0 : "";
    const std::string name = path.substr(path.find_last_of('/') + 1);
    return name.empty() ? "agent" : name;
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
