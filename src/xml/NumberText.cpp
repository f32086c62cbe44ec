#include "xml/NumberText.h"

#include <charconv>
#include <cmath>
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

template <typename T>
T parseNumber(const char* text)
{
    if (text == nullptr) {
        return T{};
    }
    const char* first = numberStart(text);
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
