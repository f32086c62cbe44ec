#include "xml/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <type_traits>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Skips blanks and a lone '+' (which a stream accepts and from_chars does not).
const char* numberStart(const char* text)
{
    while (isBlank(*text)) {
        ++text;
    }
    if (text[0] == '+' && text[1] != '-' && text[1] != '+') {
        ++text;
    }
    return text;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Powers of ten exactly representable in float (up to 1e10) and double (up to 1e22).
constexpr float kPow10f[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
constexpr double kPow10d[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                              1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Plain decimals ("-1453.82"), which is what the server sends, without the
// general parser. With the digits and the power of ten both exact in T, one
// division is correctly rounded, so the value equals from_chars'. Anything
// else (exponents, long mantissas, hex, inf, nan) is left to from_chars.
template <typename T>
bool parsePlainDecimal(const char* p, T& value)
{
    constexpr int kMaxDigits = std::is_same_v<T, float> ? 7 : 15;
    constexpr int kMaxFraction = std::is_same_v<T, float> ? 10 : 22;
    const bool negative = *p == '-';
    p += negative ? 1 : 0;
    if (!isDigit(*p)) {
        return false;
    }
    std::uint64_t mantissa = 0;
    int digits = 0;
    int fraction = 0;
    for (; isDigit(*p); ++p, ++digits) {
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
    }
    if (*p == '.') {
        ++p;
        if (!isDigit(*p)) {
            return false;
        }
        for (; isDigit(*p); ++p, ++digits, ++fraction) {
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
        }
    }
    if (digits > kMaxDigits || fraction > kMaxFraction || *p == 'e' || *p == 'E') {
        return false;
    }
    T magnitude{};
    if constexpr (std::is_same_v<T, float>) {
        magnitude = static_cast<float>(mantissa) / kPow10f[fraction];
    } else {
        magnitude = static_cast<double>(mantissa) / kPow10d[fraction];
    }
    value = negative ? -magnitude : magnitude;
    return true;
}

// Whole numbers of up to nine digits, which cannot overflow an int.
bool parsePlainInt(const char* p, int& value)
{
    constexpr int kMaxDigits = 9;
    const bool negative = *p == '-';
    p += negative ? 1 : 0;
    int digits = 0;
    int magnitude = 0;
    for (; isDigit(*p); ++p, ++digits) {
        if (digits == kMaxDigits) {
            return false;
        }
        magnitude = magnitude * 10 + (*p - '0');
    }
    if (digits == 0) {
        return false;
    }
    value = negative ? -magnitude : magnitude;
    return true;
}

template <typename T>
T parseNumber(const char* text)
{
    if (text == nullptr) {
        return T{};
    }
    const char* first = numberStart(text);
    T fast{};
    if constexpr (std::is_integral_v<T>) {
        if (parsePlainInt(first, fast)) {
            return fast;
        }
    } else {
        if (parsePlainDecimal(first, fast)) {
            return fast;
        }
    }
    const char* last = first + std::strlen(first);
    T value{};
    std::from_chars_result result;
    if constexpr (std::is_integral_v<T>) {
        result = std::from_chars(first, last, value);
    } else {
        result = std::from_chars(first, last, value, std::chars_format::general);
    }
    if (result.ec != std::errc()) {
        return T{};
    }
    if constexpr (!std::is_integral_v<T>) {
        // from_chars accepts "inf" and "nan"; neither may travel further.
        if (!std::isfinite(value)) {
            return T{};
        }
    }
    return value;
}

}  // namespace

int parseIntText(const char* text)
{
    return parseNumber<int>(text);
}

float parseFloatText(const char* text)
{
    return parseNumber<float>(text);
}

double parseDoubleText(const char* text)
{
    return parseNumber<double>(text);
}
