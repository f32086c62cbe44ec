#include "sparring/StatueProgram.h"

int main(int argc, char** argv) { return runStatue(argc, argv); }
