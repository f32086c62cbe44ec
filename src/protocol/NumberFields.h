#pragma once
// Conversions of read numbers into the unsigned fields of the messages.

#include <cmath>
#include <limits>

/// \brief A distance read as int: negative readings become 0 instead of wrapping.
inline unsigned int distanceFromInt(int value)
{
    return value < 0 ? 0u : static_cast<unsigned int>(value);
}

/// \brief A distance read as float, truncated toward zero; negative or out-of-range readings become 0.
inline unsigned int distanceFromFloat(float value)
{
    const double truncated = std::trunc(static_cast<double>(value));
    if (!(truncated >= 0.0) || truncated > static_cast<double>(std::numeric_limits<unsigned int>::max())) {
        return 0u;
    }
    return static_cast<unsigned int>(truncated);
}

/// \brief A signed value kept in an unsigned field; converting back to int restores it.
inline unsigned int signedInUnsigned(int value)
{
    return static_cast<unsigned int>(value);
}
