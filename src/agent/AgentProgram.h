#pragma once
// The whole life of an agent process: settings, logging, handshake, world
// model and player, base position, then the control loop.

#include "common/BuildConstants.h"

/// \brief Runs the agent with the constants of `build`; returns the process
/// status: 0 after "-help" or at the end of the match, 1 for a malformed
/// command line, -1 for any other failure (reported on standard error).
int runAgent(int argc, char** argv, const BuildConstants& build);
