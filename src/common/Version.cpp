#include "common/Version.h"

// Defined for this file alone, so a new release recompiles one file.
const char* soccer_version() { return SOCCER_VERSION; }
