# Turns the replay page template into a C++ source that returns its text, so
# simserver carries the page and needs no source tree at run time.
# Usage: cmake -DINPUT=replay.html -DOUTPUT=ReplayTemplate.cpp -P embed.cmake
file(READ "${INPUT}" bytes HEX)
string(LENGTH "${bytes}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${bytes}")
# One line of C++ per line of the page.
string(REPLACE "'\\x0a'," "'\\x0a',\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from src/sim/record/replay/replay.html at build time; do not edit.\n"
"#include \"sim/record/ReplayPage.h\"\n\n"
"namespace {\n"
"const char kPage[] = {\n    ${bytes}'\\0'};\n"
"}  // namespace\n\n"
"std::string_view replayTemplate()\n{\n    return {kPage, ${size}};\n}\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
