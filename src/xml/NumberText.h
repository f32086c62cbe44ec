#pragma once
// Reading numbers from element texts the way a stream would (leading blanks
// skipped, trailing characters ignored), except that anything that is not a
// finite value within the target's range reads as 0.

/// \brief The leading int of `text`, or 0.
int parseIntText(const char* text);
/// \brief The leading float of `text`, or 0.
float parseFloatText(const char* text);
/// \brief The leading double of `text`, or 0.
double parseDoubleText(const char* text);
