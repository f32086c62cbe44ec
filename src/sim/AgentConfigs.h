#pragma once
// Settings for the agents of a scenario: one working directory per robot
// with its config.ini (identity, server, base position) and velocidade.ini,
// so a match can be started with one agent per directory.

#include <string>
#include <vector>

#include "common/Properties.h"
#include "sim/scenario/Scenario.h"

/// \brief A robot's base position as the fractions POS_BASE_X / POS_BASE_Y of its own
/// team's frame (0 at its own goal line and at its frame's y = -W/2 line).
posicaoXY basePositionFractions(const FieldSpec& field, const RobotSpec& robot);

/// \brief The address an agent on this machine should send to for a server bound to
/// `bindHost`: loopback for an address that binds every interface, else `bindHost`.
std::string reachableServerAddress(const std::string& bindHost);

/// \brief The settings of `robot`'s agent: `base` overwritten with the server address,
/// identity, base position and the playing rectangle of its role.
Properties agentSettings(const Properties& base, const Scenario& scenario, const RobotSpec& robot,
                         const std::string& serverHost, int serverPort);

/// \brief The directory name of a robot's agent: "<vt_id>-<team>-<nickname>".
std::string agentDirectoryName(const RobotSpec& robot);

/// \brief Writes DIR/<name>/config.ini (and velocidade.ini when `velocidadeFile` is
/// given) for every robot; returns the directories made.
/// \throws ScenarioError when a file cannot be read or written.
std::vector<std::string> writeAgentDirectories(const std::string& dir, const Scenario& scenario,
                                               const std::string& templateFile,
                                               const std::string& velocidadeFile, const std::string& serverHost,
                                               int serverPort);
