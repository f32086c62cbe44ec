#pragma once
// The command line: words taken in pairs, an option and its value. A first
// pass checks the shape and finds the configuration file; a second pass,
// after the file was read, lets the options overwrite single settings.

#include <ostream>
#include <string>

#include "common/Properties.h"

/// \brief Configuration file read when no -c option names another.
inline constexpr const char* kDefaultConfigFile = "config.ini";

/// \brief Process statuses of the start-up.
inline constexpr int kExitHelp = 0;
inline constexpr int kExitMalformedCommandLine = 1;
inline constexpr int kExitStartupFailure = -1;

/// \brief What the first pass found.
struct CommandLineShape {
    enum Outcome { kRun, kHelp, kLongHelp, kVersion, kMalformed };

    /// \brief Go on, print the help ("-help"), the manual's help ("--help") or
    ///        the version ("--version"), or stop with kExitMalformedCommandLine.
    Outcome outcome = kRun;
    /// \brief The configuration file to read (the last -c wins).
    std::string configFile = kDefaultConfigFile;
    /// \brief The text logged for a malformed command line.
    std::string error;
};

/// \brief First pass: checks the shape of the command line, reads no setting.
CommandLineShape check_command_line(int argc, char** argv);

/// \brief Writes the eight lines of help shown by "-help".
void print_help(std::ostream& out);

/// \brief Writes the full help of "--help", in the layout man pages are made
///        from; `program` is the name the program was started by.
void print_long_help(std::ostream& out, const std::string& program);

/// \brief Writes "PROGRAM VERSION", the answer to "--version".
void print_version(std::ostream& out, const std::string& program);

/// \brief The program's name: the last part of argv[0], or "agent".
std::string program_name(const char* argv0);

/// \brief The named property file.
/// \throws ClientException "Could not read properties file" when it is
///         missing, unreadable or malformed (the reason is logged).
Properties read_file_properties(const std::string& filename);

/// \brief Second pass: writes each option's value into `props`, in order.
/// \return false for an unknown option letter or a non-numeric value of
///         -p, -r, -t or -v; the reason is then on standard error.
bool override_properties_with_cmd(int argc, char** argv, Properties& props);
