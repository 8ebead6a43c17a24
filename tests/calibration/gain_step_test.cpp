// Gain points, the three curves, Neville's scheme and the gain step.
#include <gtest/gtest.h>

#include <cmath>

#include "calibration/gain_curves.h"
#include "calibration/gain_points.h"
#include "calibration/gain_step.h"
#include "calibration/neville.h"
#include "platform/text.h"
#include "step_fixture.h"

namespace {

using calibration_test::StepFixture;

TEST(GainLevelOfName, ReadsTheLeadingDigitsOfTheFiveCharactersAfterTheIndex)
{
    const struct {
        const char* name;
        int level;
    } cases[] = {
        {"A00_08000.raw", 8000},
        {"A01_00000.raw", 0},
        {"A01_99999.raw", 99999},
        {"A01_x1234.raw", -1},
        {"A01_12x45.raw", 12},   // the leading digits
        {"A01_+2000.raw", -1},   // a sign is no digit
        {"A01_-2000.raw", -1},
        {"A01_ 2000.raw", -1},   // nor is a blank
        {"A01_123456.raw", 12345},  // five characters at most
        {"A01_7", 7},
        {"A01_", -1},
        {"", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(kordex::GainLevelOfName(c.name), c.level) << c.name;
}

TEST(OrderGainPoints, EqualLevelsPutTheLaterFileFirstAndAtMost32AreKept)
{
    kordex::GainPointSet set;
    kordex::OrderGainPoints({"A00_05000.raw", "A01_05000.raw", "A02_03000.raw", "A03_00000.raw", "A04_abcde.raw"},
                            &set);
    ASSERT_EQ(set.count, 3);
    EXPECT_EQ(set.names, (std::vector<std::string>{"A02_03000.raw", "A01_05000.raw", "A00_05000.raw"}));
    EXPECT_EQ(set.levels, (std::vector<std::int32_t>{3000, 5000, 5000}));

    std::vector<std::string> many;
    for (int i = 0; i < 40; ++i) many.push_back(platform::Format("A%2.2d_%5.5d.raw", i, 40000 - i * 100));
    kordex::OrderGainPoints(many, &set);
    EXPECT_EQ(set.count, 32);
    EXPECT_EQ(set.levels.front(), 40000 - 31 * 100) << "the first 32 found, in level order";
}

struct CurveCase {
    const char* what;
    std::vector<std::int32_t> f;
    std::vector<std::int32_t> l;
    std::int32_t v;
    bool lagrange;
    std::int64_t expected;
};

void PrintTo(const CurveCase& c, std::ostream* os)
{
    *os << c.what;
}

class GainCurveTest : public testing::TestWithParam<CurveCase> {};

TEST_P(GainCurveTest, Value)
{
    const CurveCase& c = GetParam();
    std::vector<std::int16_t> storage(c.f.begin(), c.f.end());
    std::vector<const std::int16_t*> frames;
    for (const std::int16_t& x : storage) frames.push_back(&x);
    const kordex::GainCurveInput in{frames.data(), c.l.data(), static_cast<int>(c.f.size())};
    std::int64_t g;
    if (c.f.size() == 1)
        g = kordex::GainSinglePointCurve::At(in, 0, c.v);
    else if (c.lagrange)
        g = kordex::GainLagrangeCurve::At(in, 0, c.v);
    else
        g = kordex::GainPiecewiseLinearCurve::At(in, 0, c.v);
    EXPECT_EQ(g, c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, GainCurveTest,
    testing::Values(CurveCase{"one point", {4000}, {8000}, 3000, false, 6000},
                    CurveCase{"one point, F0 <= 0", {0}, {8000}, 3000, false, 0},
                    CurveCase{"linear between", {1000, 3000}, {4000, 8000}, 2000, false, 6000},
                    CurveCase{"linear above the top", {1000, 3000}, {4000, 8000}, 3500, false, 9000},
                    CurveCase{"linear below the first, negative", {1000, 3000}, {4000, 8000}, -5, false, -19},
                    CurveCase{"linear, values not increasing", {3000, 1000}, {4000, 8000}, 3500, false, 0},
                    CurveCase{"Lagrange, v = 0", {1000, 3000}, {4000, 8000}, 0, true, 0},
                    CurveCase{"Lagrange, v < 0", {1000, 3000}, {4000, 8000}, -5, true, 0},
                    CurveCase{"Lagrange, below the first", {1000, 3000}, {4000, 8000}, 500, true, 2000},
                    CurveCase{"Lagrange, above the top", {1000, 3000}, {4000, 8000}, 3500, true, 9000},
                    CurveCase{"Lagrange, on a straight line", {1000, 2000, 3000}, {4000, 6000, 8000}, 2500, true,
                              7000},
                    CurveCase{"Lagrange, clamped into the segment", {1000, 2000, 2100}, {1000, 2000, 9000}, 1500,
                              true, 1000},
                    CurveCase{"64-bit product", {1}, {99999}, 30000, false, 2999969999LL}));

TEST(NevilleInterpolate, ExactOnAPolynomialAndRefusesEqualXs)
{
    // y = x^2 / 100 through four points; between them the cubic scheme is exact.
    const std::int32_t xs[4] = {100, 200, 400, 700};
    const std::int32_t ys[4] = {100, 400, 1600, 4900};
    EXPECT_EQ(kordex::NevilleInterpolate(xs, ys, 4, 300), 900);
    EXPECT_EQ(kordex::NevilleInterpolate(xs, ys, 4, 550), 3025);
    const std::int32_t same[3] = {100, 100, 300};
    EXPECT_EQ(kordex::NevilleInterpolate(same, ys, 3, 200), kordex::kNevilleSameX);
    // Rounding: add 0.49999 and truncate (2.5 -> 2).
    const std::int32_t x2[2] = {0, 2};
    const std::int32_t y2[2] = {0, 5};
    EXPECT_EQ(kordex::NevilleInterpolate(x2, y2, 2, 1), 2);
}

class GainStepTest : public StepFixture {
protected:
    void Point(const std::string& name, std::int16_t value) { WriteFrameFile(name, Map(value)); }
};

TEST_F(GainStepTest, TwoPointsLinearWithSaturationAndTheSixteenBitLimit)
{
    MakeFrame(8, 4, 2000);
    Point("A00_04000.raw", 1000);
    Point("A01_08000.raw", 3000);
    At(1, 0) = 3500;
    At(2, 0) = 30000;   // extrapolates far above 32767
    At(3, 0) = -5;      // no lower clip
    settings.calSatValue = 65535;
    EXPECT_EQ(kordex::RunGainStep(ctx), 1);
    EXPECT_TRUE(Reported("GainCal start"));
    EXPECT_TRUE(Reported("GainCal done"));
    EXPECT_EQ(At(0, 0), 6000);
    EXPECT_EQ(At(1, 0), 9000);
    EXPECT_EQ(At(2, 0), 32767) << "clipped, never wrapped";
    EXPECT_EQ(At(3, 0), -19);
    settings.calSatValue = 5000;
    At(0, 1) = 2000;
    At(1, 1) = 5000;
    EXPECT_EQ(kordex::RunGainStep(ctx), 1);
    EXPECT_EQ(At(0, 1), 5000) << "the curve's 6000 is clipped";
    EXPECT_EQ(At(1, 1), 5000) << "at the saturation value";
}

TEST_F(GainStepTest, InnerRegionOnly)
{
    MakeFrame(6, 3, 3000);
    ctx.left = 2;
    Point("A00_08000.raw", 4000);
    EXPECT_EQ(kordex::RunGainStep(ctx), 1);
    EXPECT_EQ(At(1, 1), 3000);
    EXPECT_EQ(At(2, 1), 6000);
}

TEST_F(GainStepTest, NoPointsOmitsTheStep)
{
    MakeFrame(4, 4, 10);
    EXPECT_EQ(kordex::RunGainStep(ctx), 0);
    EXPECT_TRUE(Reported("WRN: GainCal calibration omitted"));
    EXPECT_EQ(abortWord, 0);
}

TEST_F(GainStepTest, UnreadablePointFailsAndSetsTheAbortWord)
{
    MakeFrame(4, 4, 10);
    Point("A00_04000.raw", 1000);
    WriteFrameFile("A01_08000.raw", std::vector<std::int16_t>(15, 0));
    EXPECT_EQ(kordex::RunGainStep(ctx), -1);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().kind, KX_REPORT_ERROR);
    EXPECT_EQ(lines.back().text, "GainCal can't load calibration point");
    EXPECT_EQ(abortWord, -1);
    EXPECT_EQ(At(0, 0), 10);
}

TEST_F(GainStepTest, LagrangeIsChosenWithTheSetting)
{
    MakeFrame(4, 2, 0);
    Point("A00_04000.raw", 1000);
    Point("A01_08000.raw", 3000);
    settings.calLagrange = 1;
    At(1, 0) = -5;
    At(2, 0) = 2000;
    EXPECT_EQ(kordex::RunGainStep(ctx), 1);
    EXPECT_EQ(At(0, 0), 0);
    EXPECT_EQ(At(1, 0), 0) << "Lagrange yields 0 for v <= 0";
    EXPECT_EQ(At(2, 0), 6000);
}

}  // namespace
