// The short cut for plain decimals must read every text exactly as the
// general parser does, to the last bit.

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "xml/NumberText.h"

namespace {

template <typename T>
T reference(const std::string& text)
{
    const char* first = text.c_str();
    while (*first == ' ') {
        ++first;
    }
    T value{};
    const auto r = std::from_chars(first, text.c_str() + text.size(), value, std::chars_format::general);
    return r.ec == std::errc() && std::isfinite(value) ? value : T{};
}

template <typename T>
bool sameBits(T a, T b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(NumberText, EdgeTextsReadAsTheGeneralParserReadsThem)
{
    for (const char* text : {"0", "-0", "-0.0", "208.81", "-106.699", "1453.82", "0.000", "5.", ".5", "-.5", "12x",
                             "12.5.3", "1e5", "1.5e-3", "1.5e", "0x1p3", "9999999", "99999999", "16777217",
                             "0.1234567890", "0.12345678901", "123456789012345", "1234567890123456", "  42.5",
                             "-", "", "nan", "inf", "3.4028236e38", "1e-46"}) {
        EXPECT_TRUE(sameBits(parseFloatText(text), reference<float>(text))) << text;
        EXPECT_TRUE(sameBits(parseDoubleText(text), reference<double>(text))) << text;
    }
}

TEST(NumberText, RandomPlainDecimalsReadAsTheGeneralParserReadsThem)
{
    std::mt19937_64 rng(42);
    for (int i = 0; i < 200000; ++i) {
        std::string text = rng() % 2 ? "-" : "";
        const int whole = 1 + static_cast<int>(rng() % 9);
        for (int d = 0; d < whole; ++d) {
            text += static_cast<char>('0' + rng() % 10);
        }
        const int fraction = static_cast<int>(rng() % 12);
        if (fraction > 0) {
            text += '.';
            for (int d = 0; d < fraction; ++d) {
                text += static_cast<char>('0' + rng() % 10);
            }
        }
        ASSERT_TRUE(sameBits(parseFloatText(text.c_str()), reference<float>(text))) << text;
        ASSERT_TRUE(sameBits(parseDoubleText(text.c_str()), reference<double>(text))) << text;
    }
}

TEST(NumberText, IntegersOfEveryLengthAndOverflow)
{
    for (const char* text : {"0", "-0", "7", "-123456789", "999999999", "1000000000", "2147483647", "-2147483648",
                             "2147483648", "-2147483649", "12.7", "12e3", "+5", "- 5", "x"}) {
        int expected = 0;
        const char* first = text[0] == '+' ? text + 1 : text;
        const auto r = std::from_chars(first, first + std::strlen(first), expected);
        if (r.ec != std::errc()) {
            expected = 0;
        }
        EXPECT_EQ(parseIntText(text), expected) << text;
    }
}

}  // namespace
