#include "sim/match/MatchStats.h"

std::string quotedForLog(const std::string& text)
{
    constexpr std::size_t kMaxShown = 40;
    std::string out = "'";
    for (std::size_t i = 0; i < text.size() && i < kMaxShown; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        out += c >= 0x20 && c < 0x7f && c != '\'' ? static_cast<char>(c) : '?';
    }
    out += text.size() > kMaxShown ? "'..." : "'";
    return out;
}
