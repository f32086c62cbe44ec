#pragma once
// The statue: the floor of strength. It starts as the agent does (the same
// command line, config.ini and velocidade.ini, the same handshake) and then
// answers every world state with both wheels at 0, inside the motors' dead
// band, so its robot never moves. It ends at "time over", or once the server
// has been silent for kSilenceLimitSeconds.

/// \brief Longest silence of the server, once connected, before the statue gives up.
inline constexpr double kSilenceLimitSeconds = 30.0;

/// \brief Runs the statue; the process status as the agent's: 0 after "-help" or at the
/// end of the match, 1 for a malformed command line, -1 for any other failure.
int runStatue(int argc, char** argv);
