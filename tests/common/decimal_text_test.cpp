// The fast number texts must read exactly as printf wrote them before: the
// agents parse them, and records of old and new servers are compared.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "common/DecimalText.h"

namespace {

std::string printed(const char* format, int precision, double value)
{
    char buf[512];
    std::snprintf(buf, sizeof buf, format, precision, value);
    return buf;
}

const double kValues[] = {0.0,      -0.0,     0.0005,   -0.0004,  0.00049999, 1.0005,   2.5,
                          -2.5,     123.4565, -729.999, 1e-7,     1e21,       -3.14159, 65535.99995,
                          0.125,    1.0 / 3.0, 130.434697458164};

TEST(DecimalText, FixedAndGeneralReadAsPrintfWroteThem)
{
    for (double v : kValues) {
        for (int precision : {0, 2, 3, 4}) {
            std::string out;
            appendFixed(out, v, precision);
            EXPECT_EQ(out, printed("%.*f", precision, v)) << v << " fixed " << precision;
        }
        std::string out;
        appendGeneral(out, v, 6);
        EXPECT_EQ(out, printed("%.*g", 6, v)) << v << " general";
    }
}

TEST(DecimalText, ValuesThatAreNotFiniteAreWrittenAsZero)
{
    for (double v : {std::nan(""), std::numeric_limits<double>::infinity(),
                      -std::numeric_limits<double>::infinity()}) {
        std::string fixed;
        appendFixed(fixed, v, 3);
        EXPECT_EQ(fixed, "0.000");
        std::string general;
        appendGeneral(general, v, 6);
        EXPECT_EQ(general, "0");
    }
}

TEST(DecimalText, WholeNumbersAtTheirLimits)
{
    for (long v : {0L, -1L, std::numeric_limits<long>::min(), std::numeric_limits<long>::max()}) {
        std::string out;
        appendWhole(out, v);
        EXPECT_EQ(out, std::to_string(v));
    }
}

}  // namespace
