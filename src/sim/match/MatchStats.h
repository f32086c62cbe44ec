#pragma once
// Counters of one match, and what its summary is made of.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "sim/match/PlayStatistics.h"
#include "sim/match/Referee.h"
#include "sim/scenario/Scenario.h"

/// \brief What happened to one robot.
struct RobotStats {
    bool admitted = false;
    /// \brief The agent's own nickname from its connect request.
    std::string agentNickname;
    /// \brief The agent's reply to the server's connect message: "none", "true" or "false".
    std::string connectReply = "none";
    long commands = 0;
    long kickCommands = 0;
    long kicks = 0;
    /// \brief Play steps after which the robot had not answered.
    long noAnswer = 0;
    /// \brief Steps in which the camera did not see the robot.
    long dropouts = 0;
    /// \brief Connect requests for this robot refused for a nickname not the scenario's,
    /// and the last such nickname.
    long wrongNicknames = 0;
    std::string lastWrongNickname;
    /// \brief Times the robot was found outside the walls and put back inside.
    long putBack = 0;
};

/// \brief What came in over the network.
struct TrafficStats {
    long datagrams = 0;
    long oversized = 0;
    /// \brief Not XML, or no message the server knows.
    long invalid = 0;
    /// \brief Commands or replies from an address that holds no robot.
    long unknownSender = 0;
    /// \brief Connect requests refused (malformed, unknown or taken vt_id, wrong nickname).
    long refusedConnects = 0;
    /// \brief Of those, requests whose nickname is not the one the scenario gives the robot.
    long wrongNickname = 0;

    long dropped() const { return oversized + invalid + unknownSender + refusedConnects; }
};

/// \brief Everything the end-of-match summaries are made of.
struct MatchReport {
    const Scenario& scenario;
    const Referee& referee;
    const std::vector<RobotStats>& robots;
    const PlayStatistics& play;
    const TrafficStats& traffic;
    std::string yellowProgram;
    std::string blueProgram;
    bool interrupted = false;
};

/// \brief `text` from the network, fit for a log line: quoted, printable ASCII only
/// (anything else shown as '?'), at most 40 characters.
std::string quotedForLog(const std::string& text);
