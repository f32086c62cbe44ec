"""The lab's release, the same as the programs' and the Debian package's
(CMakeLists.txt's project version; the package test checks they agree)."""
VERSION = "1.0.0"
