#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "geometry/BasicUtils.h"

namespace {

constexpr double kEps = 1e-9;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct ArithCase {
    const char* name;
    vector_t result;
    double length;
    double angle;
    friend void PrintTo(const ArithCase& c, std::ostream* os) { *os << c.name; }
};

class VectorArithmeticTest : public ::testing::TestWithParam<ArithCase> {};

TEST_P(VectorArithmeticTest, GivesLengthAndAngle)
{
    const ArithCase& c = GetParam();
    EXPECT_NEAR(c.result.length, c.length, kEps);
    EXPECT_NEAR(c.result.angle, c.angle, kEps);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VectorArithmeticTest,
    ::testing::Values(
        ArithCase{"sumWithZero", pv_sum({1, 3}, {0, 0}), 1, 3},
        ArithCase{"subtractFromZero", pv_subtract({0, 0}, {1, 3}), 1, 3 - kPi},
        ArithCase{"subtractSelf", pv_subtract({4, 1}, {4, 1}), 0, 0},
        // The bisector of 3 and 2*pi-2.9 lies past pi and must come back negative.
        ArithCase{"sumWrapsThroughBack", pv_sum({1, 3}, {1, -2.9}), 2 * std::cos((kTwoPi - 2.9 - 3) / 2),
                  (3 + kTwoPi - 2.9) / 2 - kTwoPi},
        ArithCase{"subtractIsDistance", pv_subtract({5, kPi / 2}, {5, 0}), 5 * std::sqrt(2.0), 3 * kPi / 4},
        ArithCase{"scaleNegativeFlipsUnwrapped", pv_scale({2, 3}, -1), 2, 3 + kPi},
        ArithCase{"scaleZeroKeepsAngle", pv_scale({2, 3}, 0), 0, 3},
        ArithCase{"scaleNegativeLength", pv_scale({-2, 1}, 1), 2, 1 + kPi},
        ArithCase{"unitOfZero", pv_unit({0, 1.2}), 1, 1.2},
        ArithCase{"unitOfNegative", pv_unit({-2, 0}), 1, kPi},
        ArithCase{"unitUnwrapped", pv_unit({5, -7}), 1, -7},
        ArithCase{"toPolarAlongY", toPolar({0, 0}, {0, 1}), 1, kTwoPi},
        ArithCase{"toPolarAlongX", toPolar({0, 0}, {1, 0}), 1, kTwoPi - kPi / 2},
        ArithCase{"toPolarAlongMinusY", toPolar({2, 2}, {2, -1}), 3, kPi},
        ArithCase{"toPolarAlongMinusX", toPolar({0, 0}, {-1, 0}), 1, kTwoPi + kPi / 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MenorMaior, TiesGiveFirstAndNaNGivesSecond)
{
    EXPECT_TRUE(std::signbit(menor(-0.0, 0.0)));
    EXPECT_FALSE(std::signbit(maior(0.0, -0.0)));
    EXPECT_EQ(menor(1, 2), 1);
    EXPECT_EQ(maior(1, 2), 2);
    EXPECT_TRUE(std::isnan(menor(1, kNaN)));
    EXPECT_TRUE(std::isnan(maior(1, kNaN)));
    EXPECT_EQ(menor(kNaN, 1), 1);
    EXPECT_EQ(maior(kNaN, 1), 1);
}

struct CircleCase {
    const char* name;
    posicaoXY c1, c2;
    double r1, r2;
    int count;
    posicaoXY p1, p2;
    friend void PrintTo(const CircleCase& c, std::ostream* os) { *os << c.name; }
};

class CircleIntersectionTest : public ::testing::TestWithParam<CircleCase> {};

TEST_P(CircleIntersectionTest, CountsAndOrdersPoints)
{
    const CircleCase& c = GetParam();
    posicaoXY p1{kNaN, kNaN};
    posicaoXY p2{kNaN, kNaN};
    EXPECT_EQ(getIntersectionPointsCircle(c.c1, c.c2, c.r1, c.r2, p1, p2), c.count);
    EXPECT_NEAR(p1.x, c.p1.x, kEps);
    EXPECT_NEAR(p1.y, c.p1.y, kEps);
    EXPECT_NEAR(p2.x, c.p2.x, kEps);
    EXPECT_NEAR(p2.y, c.p2.y, kEps);
}

const double kRoot11 = std::sqrt(11.0);

INSTANTIATE_TEST_SUITE_P(
    Cases, CircleIntersectionTest,
    ::testing::Values(CircleCase{"twoLeftFirst", {0, 0}, {10, 0}, 6, 6, 2, {5, kRoot11}, {5, -kRoot11}},
                      CircleCase{"twoAlongY", {0, 0}, {0, 10}, 6, 6, 2, {-kRoot11, 5}, {kRoot11, 5}},
                      CircleCase{"tangent", {0, 0}, {10, 0}, 5, 5, 1, {5, 0}, {5, 0}},
                      CircleCase{"apartGivesFootPoint", {0, 0}, {10, 0}, 2, 2, 0, {5, 0}, {5, 0}},
                      CircleCase{"insideGivesFootPoint", {0, 0}, {1, 0}, 10, 1, 0, {50, 0}, {50, 0}},
                      CircleCase{"concentric", {3, 4}, {3, 4}, 2, 2, 0, {3, 4}, {3, 4}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Printers, WriteExactText)
{
    std::ostringstream os;
    os << vector_t{1.5, -0.25} << '|' << posicaoXY{2, 1234567};
    EXPECT_EQ(os.str(), "Vetor modulo(1.5), angulo(-0.25)|PosicaoXY (2, 1.23457e+06)");

    ::testing::internal::CaptureStdout();
    imprimePontoXY({1, -2});
    const posicaoXY soma = somaPontoComVetor({1, 1}, {2, 0});
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              " X(1)Y(-2)\n     Posicao do vetor pra bola em relação ao agente:  X(2)Y(0)\n");
    EXPECT_EQ(soma.x, 3);
    EXPECT_EQ(soma.y, 1);
}

}  // namespace
