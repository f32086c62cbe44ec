#pragma once
// Numbers written as text the way printf's "%.*f" and "%.*g" write them, at a
// fraction of the cost: the simulated server writes thousands of them a step.

#include <charconv>
#include <cmath>
#include <string>

/// \brief Appends `value` with `decimals` digits after the point ("%.*f"); a
/// value that is not finite is written as 0.
inline void appendFixed(std::string& out, double value, int decimals)
{
    char buf[352];  // the longest double in fixed notation, with room for the decimals
    const auto r = std::to_chars(buf, buf + sizeof buf, std::isfinite(value) ? value : 0.0,
                                 std::chars_format::fixed, decimals);
    out.append(buf, r.ptr);
}

/// \brief Appends `value` with `digits` significant digits ("%.*g"); a value
/// that is not finite is written as 0.
inline void appendGeneral(std::string& out, double value, int digits)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, std::isfinite(value) ? value : 0.0,
                                 std::chars_format::general, digits);
    out.append(buf, r.ptr);
}

/// \brief Appends the whole number `value`.
inline void appendWhole(std::string& out, long value)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}
