#pragma once
// Shared set-up of the fuzz targets: a quiet, self-contained process.

#include <string>

/// \brief Sends standard output to /dev/null (the code under test reports bad
/// input there) and makes a fresh temporary directory, holding a valid speed
/// file, the working directory.
void fuzzQuietScratchDir();

/// \brief Text of a valid speed file.
const char* fuzzSpeedFile();
