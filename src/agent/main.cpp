#include "agent/AgentProgram.h"

int main(int argc, char** argv) { return runAgent(argc, argv, SOCCER_BUILD); }
