#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "geometry/AnguloManager.h"

namespace {

constexpr double kEps = 1e-9;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

struct WindowCase {
    const char* name;
    double a1, a2, gol;
    bool menor;
    double expectA, expectB;
    int tamanho;
    friend void PrintTo(const WindowCase& c, std::ostream* os) { *os << c.name; }
};

class WindowTest : public ::testing::TestWithParam<WindowCase> {};

TEST_P(WindowTest, PicksArcAndCountsSlots)
{
    const WindowCase& c = GetParam();
    AnguloManager m(c.a1, c.a2, c.gol, c.menor);
    EXPECT_EQ(m.anguloA, c.expectA);
    EXPECT_EQ(m.anguloB, c.expectB);
    EXPECT_EQ(m.getTamanho(), c.tamanho);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowTest,
    ::testing::Values(WindowCase{"ordered", 0, degToRad(30), 0, true, 0, degToRad(30), 30},
                      WindowCase{"reordered", degToRad(30), 0, 0, true, 0, degToRad(30), 30},
                      WindowCase{"shortArcThroughBack", -3, 3, 0, true, 3, -3, 16},
                      WindowCase{"longArcKept", -3, 3, 0, false, -3, 3, 344},
                      WindowCase{"longArcThroughBack", 0, 1, 0, false, 1, 0, 303},
                      WindowCase{"halfTurnHoldsGoal", -kPi / 2, kPi / 2, 0, true, -kPi / 2, kPi / 2, 180},
                      WindowCase{"halfTurnFlipsToGoal", -kPi / 2, kPi / 2, 3, true, kPi / 2, -kPi / 2, 180},
                      WindowCase{"lessThanOneSlot", 0, 0.005, 0, true, 0, 0.005, 0},
                      WindowCase{"oversizedCapped", -10, 10, 0, false, -10, 10, 360}),
    [](const auto& info) { return std::string(info.param.name); });

// Degrees of a window starting at 0, so slot i covers [i, i+1) degrees.
AnguloManager window30()
{
    return AnguloManager(0, degToRad(30), 0, true);
}

struct GapCase {
    const char* name;
    std::vector<std::pair<double, double>> sectorsDeg;
    double maior;
    double centroDeg;
    friend void PrintTo(const GapCase& c, std::ostream* os) { *os << c.name; }
};

class LargestGapTest : public ::testing::TestWithParam<GapCase> {};

TEST_P(LargestGapTest, FindsSizeAndCentre)
{
    const GapCase& c = GetParam();
    AnguloManager m = window30();
    for (const auto& [a, b] : c.sectorsDeg) {
        m.adicionarObstrucao(degToRad(a), degToRad(b));
    }
    EXPECT_EQ(m.getMaiorAbertura(), c.maior);
    EXPECT_NEAR(m.getCentroMaiorAbertura(), degToRad(c.centroDeg), kEps);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LargestGapTest,
    ::testing::Values(GapCase{"empty", {}, 30, 14}, GapCase{"wholeWindow", {{-10, 40}}, 0, 0},
                      GapCase{"equalGapsNearestStartWins", {{10.5, 19.5}}, 10, 4},
                      GapCase{"laterGapLonger", {{9.5, 18.5}}, 11, 24},
                      GapCase{"atStart", {{-10, 5.5}}, 24, 17},
                      GapCase{"reachingEndDropsSlotN", {{25, 40}}, 25, 12},
                      GapCase{"reversedAndOverlapping", {{12.5, 2.5}, {5, 8}}, 17, 21}),
    [](const auto& info) { return std::string(info.param.name); });

struct ClipCase {
    const char* name;
    double a1, a2;
    obstrucao in;
    bool stored;
    obstrucao out;
    friend void PrintTo(const ClipCase& c, std::ostream* os) { *os << c.name; }
};

class ClipTest : public ::testing::TestWithParam<ClipCase> {};

TEST_P(ClipTest, StoresClippedSector)
{
    const ClipCase& c = GetParam();
    AnguloManager m(c.a1, c.a2, 0, true);
    ASSERT_EQ(m.insereObstrucao(c.in), c.stored);
    ASSERT_EQ(m.obstrucoes.size(), c.stored ? 1u : 0u);
    if (c.stored) {
        EXPECT_EQ(m.obstrucoes[0].angulo1, c.out.angulo1);
        EXPECT_EQ(m.obstrucoes[0].angulo2, c.out.angulo2);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ClipTest,
    ::testing::Values(ClipCase{"coversAll", 0, 1, {-1, 2}, true, {0, 1}},
                      ClipCase{"startsInside", 0, 1, {0.2, 2}, true, {0.2, 1}},
                      ClipCase{"endsInside", 0, 1, {-1, 0.5}, true, {0, 0.5}},
                      ClipCase{"startsAtA", 0, 1, {0, 0.5}, true, {0, 0.5}},
                      ClipCase{"misses", 0, 1, {1.5, 2}, false, {}},
                      ClipCase{"backCoversFirstPart", -3, 3, {2.9, kPi}, true, {3, kPi}},
                      ClipCase{"backStartsInFirstPart", -3, 3, {3.05, 3.1}, true, {3.05, 3.1}},
                      ClipCase{"backEndsInFirstPart", -3, 3, {2.9, 3.05}, true, {3, 3.05}},
                      ClipCase{"backCoversSecondPart", -3, 3, {-kPi, -2.9}, true, {-kPi, -3}},
                      ClipCase{"backStartsInSecondPart", -3, 3, {-3.1, -2.5}, true, {-3.1, -3}},
                      ClipCase{"backMisses", -3, 3, {0, 1}, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AnguloManager, RobotsInWindowThroughBack)
{
    // Window 3 -> -3 rad: 16 slots, 8 of them before +-pi. A robot right behind
    // straddles the back, and only the piece before pi is kept.
    struct {
        double bearing;
        int first, last;
        double maior, centroDeg;
    } const cases[] = {{kPi, 5, 8, 7, 12}, {-3.05, 11, 15, 11, 5}};
    for (const auto& c : cases) {
        AnguloManager m(-3, 3, 0, true);
        ASSERT_TRUE(m.adicionarObstrucao(vector_t{1000, c.bearing}));
        ASSERT_EQ(m.obstrucoes.size(), 1u);
        EXPECT_EQ(m.posInicialVetor(m.obstrucoes[0]), c.first);
        EXPECT_EQ(m.posFinalVetor(m.obstrucoes[0]), c.last);
        EXPECT_EQ(m.getMaiorAbertura(), c.maior);
        EXPECT_NEAR(m.getCentroMaiorAbertura(), AnguloManager::normalizaAngulo(3 + degToRad(c.centroDeg)), kEps);
    }
}

TEST(AnguloManager, SectorThroughBackFallsBackToSecondPiece)
{
    AnguloManager m(-3.1, -2.5, 0, true);
    ASSERT_TRUE(m.adicionarObstrucao(3.0, -3.0));
    ASSERT_EQ(m.obstrucoes.size(), 1u);
    EXPECT_EQ(m.obstrucoes[0].angulo1, -3.1);
    EXPECT_EQ(m.obstrucoes[0].angulo2, -3.0);
}

TEST(AnguloManager, RobotsOutsideWindowOrNearbyBlockAsExpected)
{
    AnguloManager m = window30();
    EXPECT_FALSE(m.adicionarObstrucao(vector_t{500, degToRad(31)}));
    EXPECT_TRUE(m.obstrucoes.empty());
    EXPECT_NEAR(m.getProjecaoObstrucao({37, 0}), kPi / 2, kEps);
    EXPECT_NEAR(m.getProjecaoObstrucao({74, 0}), kPi / 4, kEps);
    EXPECT_TRUE(m.adicionarObstrucao(vector_t{37, degToRad(29)}));
    EXPECT_EQ(m.getMaiorAbertura(), 0);
}

TEST(AnguloManager, ResultsFixedAfterFirstComputation)
{
    AnguloManager m = window30();
    EXPECT_EQ(m.getMaiorAbertura(), 30);
    m.adicionarObstrucao(-1, 1);
    EXPECT_EQ(m.obstrucoes.size(), 1u);
    EXPECT_EQ(m.getMaiorAbertura(), 30);
    EXPECT_NEAR(m.getCentroMaiorAbertura(), degToRad(14), kEps);
}

TEST(AnguloManager, LastSlotIndexAtWindowSizeIsDropped)
{
    // Rounded ends give 9 slots while the truncated span reaches index 9.
    AnguloManager m(degToRad(0.6), degToRad(10.4), 0, true);
    ASSERT_EQ(m.getTamanho(), 9);
    m.adicionarObstrucao(degToRad(5.8), 1);
    EXPECT_EQ(m.posFinalVetor(m.obstrucoes[0]), 9);
    EXPECT_EQ(m.getMaiorAbertura(), 5);
}

TEST(AnguloManager, StaticHelpers)
{
    const std::vector<std::pair<double, int>> rounding = {
        {2.5, 3}, {-2.5, -3}, {-2.4, -2}, {2.4, 2}, {0.5, 1}, {-0.5, -1}, {0, 0},
        {kNaN, 0}, {1e300, INT_MAX}, {-1e300, INT_MIN}, {2147483646.7, INT_MAX}};
    for (const auto& [d, i] : rounding) {
        EXPECT_EQ(AnguloManager::doubleToInt(d), i) << d;
    }
    EXPECT_EQ(AnguloManager::arcoSeno(1.2), kPi / 2);
    EXPECT_EQ(AnguloManager::arcoSeno(-3), -kPi / 2);
    EXPECT_EQ(AnguloManager::arcoSeno(0.5), std::asin(0.5));

    EXPECT_EQ(AnguloManager::normalizaAngulo(kPi), kPi);
    EXPECT_EQ(AnguloManager::normalizaAngulo(-kPi), -kPi);
    EXPECT_NEAR(AnguloManager::normalizaAngulo(3 * kPi / 2), -kPi / 2, kEps);
    EXPECT_NEAR(AnguloManager::normalizaAngulo(-7 * kPi / 2), kPi / 2, kEps);
    EXPECT_TRUE(std::isnan(AnguloManager::normalizaAngulo(kInf)));
    EXPECT_LE(std::fabs(AnguloManager::normalizaAngulo(1e308)), kPi);
}

TEST(AnguloManager, HostileValuesNeverBreakIt)
{
    const double hostile[] = {kNaN, kInf, -kInf, 1e308, -1e308, 0, 3, -3, kPi};
    for (double a1 : hostile) {
        for (double a2 : hostile) {
            AnguloManager m(a1, a2, kNaN, a1 > 0);
            for (double x : hostile) {
                m.adicionarObstrucao(vector_t{x, a1});
                m.adicionarObstrucao(vector_t{37, x});
                m.adicionarObstrucao(x, a2);
            }
            EXPECT_GE(m.getTamanho(), 0);
            EXPECT_LE(m.getTamanho(), AnguloManager::kMaxSlots);
            const double centro = m.getCentroMaiorAbertura();
            EXPECT_TRUE(std::isnan(centro) || std::fabs(centro) <= kPi) << a1 << " " << a2;
            EXPECT_GE(m.getMaiorAbertura(), 0);
            EXPECT_LE(m.getMaiorAbertura(), AnguloManager::kMaxSlots);
        }
    }
    posicaoXY p1{};
    posicaoXY p2{};
    for (double x : hostile) {
        getIntersectionPointsCircle({0, 0}, {x, 1}, x, 1e308, p1, p2);
        pv_sum({x, x}, {1e308, 1});
    }
}

}  // namespace
