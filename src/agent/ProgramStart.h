#pragma once
// The start-up every program that plays a robot shares: the command line,
// the settings file with the options over it, logging, the connection and
// its handshake. What a program does once connected is its own.

#include <functional>
#include <string>

class Client;
class Connection;
class Properties;

/// \brief What a program does once connected; returns the process status.
using ConnectedRun = std::function<int(Properties& settings, Client& client, Connection& connection)>;

/// \brief How one program starts.
struct ProgramStart {
    /// \brief The name that begins each failure line on standard error.
    std::string program;
    /// \brief Whether RECEIVE_WAIT=SLEEP turns the connection's waits into
    ///        blind pauses (set before the handshake).
    bool honourReceiveWait = false;
};

/// \brief Starts the program and, once connected, runs `run`; returns the
/// process status: 0 after "-help", "--help" or "--version", 1 for a
/// malformed command line, -1 for any other failure of the start-up (one
/// line on standard error), else what `run` returns. An exception out of
/// `run` ends it with -1 and its one line too.
int runConnected(int argc, char** argv, const ProgramStart& start, const ConnectedRun& run);
