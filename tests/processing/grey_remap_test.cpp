// The grey-scale remap and its sub-steps on small images.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "processing/grey_remap.h"
#include "processing/histogram.h"
#include "stage_fixture.h"

namespace {

using test_support::StageFixture;

TEST(ThreePointCurve, DefaultPointsWithNearTakenLiterally)
{
    kordex::IpParams p;
    kordex::ThreePointCurve curve;
    ASSERT_TRUE(kordex::BuildThreePointCurve(p, p.c3iAir, p.c3iWat, p.c3iBon, curve));
    // near() adds 0.49999 and truncates toward zero: -300.0 gives -299.
    EXPECT_EQ(curve.Map(1500), 1000);
    EXPECT_EQ(curve.Map(6000), -299);
    EXPECT_EQ(curve.Map(8700), -999);
    // Beyond the table the slopes continue, limited to C3oMin..C3oMax.
    EXPECT_EQ(curve.Map(32767), -2047);
    EXPECT_LE(curve.Map(0), 2047);
}

TEST(ThreePointCurve, ExactMaxMapsInputZeroToC3oMax)
{
    kordex::IpParams p;
    p.c3oMax0 = 1;
    kordex::ThreePointCurve curve;
    ASSERT_TRUE(kordex::BuildThreePointCurve(p, p.c3iAir, p.c3iWat, p.c3iBon, curve));
    EXPECT_EQ(curve.Map(0), 2047);
    p.c3oMax0 = 0;
    ASSERT_TRUE(kordex::BuildThreePointCurve(p, p.c3iAir, p.c3iWat, p.c3iBon, curve));
    EXPECT_NE(curve.Map(0), 2047);
}

TEST(ThreePointCurve, UnbuildablePointsFailTheStageWithMessage301)
{
    const struct {
        int iA, iW, iB, oAir, oWat, oBon;
    } cases[] = {
        {1500, 6000, 8700, -1000, -300, 1000},  // air not above bone
        {8700, 6000, 8700, -1000, -300, 1000},  // air equal to bone
        {8700, 8700, 1500, -1000, -300, 1000},  // water at air: ln(1) = 0
        {8700, 6000, 1500, 1000, -300, 1000},   // zero span
    };
    for (const auto& c : cases) {
        StageFixture f(8, 8);
        f.params.c3iAir = c.iA;
        f.params.c3iWat = c.iW;
        f.params.c3iBon = c.iB;
        f.params.c3oAir = c.oAir;
        f.params.c3oWat = c.oWat;
        f.params.c3oBon = c.oBon;
        EXPECT_EQ(kordex::GreyRemap(f.ctx), -1);
        EXPECT_EQ(f.abortState, -1);
        EXPECT_TRUE(f.Logged("Wrong re-map parameters"));
        EXPECT_FALSE(f.Logged("Re-map done"));
    }
}

TEST(GreyRemap, DefaultModeRunsOnlyTheCurveAndWarnsAboutTheSegmentation)
{
    StageFixture f(16, 8);
    for (std::size_t i = 0; i < f.image.size(); ++i) f.image[i] = static_cast<std::int16_t>(1500 + 50 * i);
    EXPECT_EQ(kordex::GreyRemap(f.ctx), 1);
    EXPECT_EQ(f.At(0, 0), 1000);
    EXPECT_EQ(f.dumps, std::vector<std::string>{"2crv0_3P"});  // no cut, shift, rescale dumps at zeros
    EXPECT_EQ(f.CountStartingWith("Cut histogram"), 0);
    EXPECT_EQ(f.CountStartingWith("Rescale data"), 0);
    EXPECT_TRUE(f.Logged("WRN: Wrong estimated segmentation"));
    EXPECT_TRUE(f.Logged("Re-map done"));
}

TEST(GreyRemap, InversionRescaleAndCut)
{
    StageFixture f(10, 10);
    for (std::size_t i = 0; i < f.image.size(); ++i) f.image[i] = static_cast<std::int16_t>(i);
    f.params.iInvEnable = 1;
    f.params.iInvMin = 0;
    f.params.iInvMax = 990;
    EXPECT_EQ(kordex::GreyRemap(f.ctx), 1);
    EXPECT_EQ(f.At(0, 0), 990);  // 99 - 0 = 99, rescaled by 10
    EXPECT_EQ(f.At(9, 9), 0);
    EXPECT_TRUE(f.Logged("Rescale data 0..99=>0..990"));
    EXPECT_EQ(f.dumps, (std::vector<std::string>{"2crv0inv", "2crv4rescale"}));

    StageFixture g(10, 10);
    for (std::size_t i = 0; i < g.image.size(); ++i) g.image[i] = static_cast<std::int16_t>(i);
    int mn, mx, lo, hi;
    EXPECT_EQ(kordex::HistogramCut(g.ctx, 10, 10, true, &mn, &mx, &lo, &hi), 1);
    EXPECT_EQ(mn, 0);
    EXPECT_EQ(mx, 99);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(g.At(0, 0), 0);
    EXPECT_EQ(g.At(9, 9), hi);
}

TEST(MedianShift, NarrowGamutSkipsWithCodeOne)
{
    StageFixture f(8, 8);
    for (std::size_t i = 0; i < f.image.size(); ++i) f.image[i] = static_cast<std::int16_t>(100 + i % 10);
    std::string text;
    EXPECT_EQ(kordex::MedianShift(f.ctx, 50, &text), 0);
    EXPECT_EQ(text, "shift: fix 50 WRN: skip code #1 (data gamut 9 is too small )");
    text.clear();
    EXPECT_EQ(kordex::MedianShift(f.ctx, 0, &text), 0);
    EXPECT_EQ(text, "");
}

TEST(MedianShift, LiftsTheDarkTail)
{
    // A few dark pixels far below a bright majority: the median is well above
    // the mean, so the tail moves up.
    StageFixture f(20, 20);
    for (std::size_t i = 0; i < f.image.size(); ++i) f.image[i] = static_cast<std::int16_t>(i < 40 ? i : 400 + i % 40);
    std::string text;
    EXPECT_EQ(kordex::MedianShift(f.ctx, -100, &text), 1) << text;
    EXPECT_EQ(text.rfind("shift: fix 100 INFO: 0..439 =>", 0), 0u) << text;
    EXPECT_GT(f.At(0, 0), 0);
}

TEST(EstimatedSegmentation, TinyImagesAreLeftAlone)
{
    StageFixture f(20, 20);
    for (std::size_t i = 0; i < f.image.size(); ++i) f.image[i] = static_cast<std::int16_t>(i * 7);
    const auto seg = kordex::EstimateSegmentation(f.ctx, 1.0f);
    EXPECT_EQ(seg.status, 0);
    EXPECT_FALSE(f.params.classImage);
}

}  // namespace
