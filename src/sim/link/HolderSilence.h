#pragma once
// When a robot's link may pass to another address. An agent that dies keeps
// its robot's link until the agent restarted in its place asks for the
// robot; the server then hands the robot over if, and only if, the holder
// has gone silent: it missed a run of world states while the game was on
// (agents only answer then, so a pause proves nothing), and nothing at all
// came from it for a while. A holder that speaks is never displaced.

#include <chrono>

/// \brief World states of play in a row that a holder must have left unanswered.
inline constexpr int kSilentPlayStates = 15;
/// \brief How long nothing at all must have come from the holder: about 15 steps of real time.
inline constexpr std::chrono::milliseconds kSilentTime{1000};

/// \brief Whether a holder that missed `missedPlayStates` in a row and was last heard
/// `sinceHeard` ago has gone silent, so that another address may take its robot.
inline bool holderSilent(int missedPlayStates, std::chrono::steady_clock::duration sinceHeard)
{
    return missedPlayStates >= kSilentPlayStates && sinceHeard >= kSilentTime;
}
