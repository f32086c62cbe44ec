#pragma once
// The release every program reports with --version: CMake's project version,
// the same as the Debian package's.

/// \brief The release of this build, for example "1.0.0".
const char* soccer_version();
