#pragma once
// The end-of-match summary as plain values, built once from the match's
// counters; the text on standard output and summary.json are two renderings
// of it, so that they never tell different stories.

#include <ostream>
#include <string>
#include <vector>

#include "sim/match/MatchStats.h"

/// \brief One goal as the summary tells it.
struct SummaryGoal {
    double time = 0.0;
    /// \brief "yellow" or "blue": the side the goal counts for.
    std::string side;
    /// \brief The robot that touched the ball last (vt_id; 0 when none did), its side and nickname.
    int byId = 0;
    std::string byTeam;
    std::string byNickname;
    bool ownGoal = false;
};

/// \brief One free ball.
struct SummaryFreeBall {
    double time = 0.0;
    std::string cause;
    posicaoXY ball{0.0, 0.0};
};

/// \brief One side's line.
struct SummaryTeam {
    std::string team;
    std::string program;
    int goals = 0;
    /// \brief Goals this side put into its own net.
    int ownGoals = 0;
    PlayFigures play;
    double possession = 0.0;
};

/// \brief One robot's line.
struct SummaryRobot {
    int id = 0;
    std::string team;
    std::string nickname;
    RobotStats stats;
    PlayFigures play;
};

/// \brief Everything both renderings show.
struct MatchSummary {
    std::uint64_t seed = 0;
    /// \brief A field family's values as drawn for this match; empty for a fixed scenario.
    std::vector<DrawnValue> drawn;
    std::size_t robotsPerTeam = 0;
    bool interrupted = false;
    double time = 0.0;
    long steps = 0;
    double playTime = 0.0;
    long playSteps = 0;
    int yellow = 0;
    int blue = 0;
    std::vector<SummaryGoal> goals;
    std::vector<SummaryFreeBall> freeBalls;
    long robotsPutBack = 0;
    /// \brief Yellow, then blue.
    std::vector<SummaryTeam> teams;
    std::vector<SummaryRobot> robots;
    TrafficStats traffic;
};

/// \brief The summary of `report`.
MatchSummary summarize(const MatchReport& report);

/// \brief Writes the end-of-match summary as text.
void printSummary(std::ostream& out, const MatchSummary& summary);
