#pragma once
// The two hand-overs from the control program to the game logic: fixing the
// base position once the robot has been seen, and one cycle of play.

#include <string>

class BasicPlayer;
class WorldData;

/// \brief The nickname of the goalkeeper; every other one plays in the field.
inline constexpr const char* kGoalkeeperNickname = "GO";

/// \brief Whether `nickname` is exactly the goalkeeper's.
bool isGoalkeeper(const std::string& nickname);

/// \brief One pass of the base-position phase: one update, and the base
/// position fixed if it shows the robot. Sends nothing.
void basePositionPass(WorldData& world);

/// \brief Repeats basePositionPass until the base position is fixed. A
/// ClientException in one pass is reported and the wait goes on.
void runBasePositionPhase(WorldData& world);

/// \brief One cycle of a seen robot while the game is on: the role's
/// behaviour sets the command, this cycle's positions are kept, the command goes out.
void playStep(WorldData& world, BasicPlayer& player);
