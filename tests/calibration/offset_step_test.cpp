// Offset step, negative-pixel shift, clip and saturation replacement.
#include <gtest/gtest.h>

#include "calibration/offset_step.h"
#include "calibration/replacement_step.h"
#include "step_fixture.h"

namespace {

using calibration_test::StepFixture;

class OffsetStepTest : public StepFixture {};

TEST_F(OffsetStepTest, SubtractsDarkStoresTheFloorAndClipsAtZero)
{
    MakeFrame(20, 4, 1500);
    std::vector<std::int16_t> dark = Map(500);
    At(1, 0) = 400;      // 100 below the dark value
    At(2, 0) = -20000;   // far below: the difference is stored as -16383 first
    At(3, 0) = 30000;
    dark[3] = -30000;    // a corrupt dark value must not wrap the pixel negative
    WriteFrameFile("dark.raw", dark);
    settings.calNegPixCompensation = 0;
    EXPECT_EQ(kordex::RunOffsetStep(ctx, true), 1);
    EXPECT_EQ(At(0, 0), 1000);
    EXPECT_EQ(At(1, 0), 0);
    EXPECT_EQ(At(2, 0), 0);
    EXPECT_EQ(At(3, 0), 32767);
    EXPECT_TRUE(Reported("OfsCal start"));
    EXPECT_TRUE(Reported("OfsCal done"));
}

TEST_F(OffsetStepTest, DifferenceFloorFeedsTheShift)
{
    // Two pixels (width / 10) far below the dark value: stored as -16383, so
    // the shift is exactly 16383.
    MakeFrame(20, 3, 100);
    At(0, 0) = -20000;
    At(1, 0) = -20000;
    WriteFrameFile("dark.raw", Map(0));
    settings.calNegPixCompensation = 1;
    EXPECT_EQ(kordex::RunOffsetStep(ctx, true), 1);
    EXPECT_TRUE(Reported("Shift 16383 compensates neg pixels")) << AllLines();
    EXPECT_EQ(At(0, 0), 0);
    EXPECT_EQ(At(5, 1), 16483);
}

TEST_F(OffsetStepTest, ShiftLiftsTheDarkestTenthOfARowAndIgnoresTheMissingMarker)
{
    MakeFrame(20, 3, 100);
    At(0, 0) = -40;
    At(1, 0) = -40;
    At(2, 2) = -32768;  // never delivered: no part in the walk
    settings.calNegPixCompensation = 1;
    EXPECT_EQ(kordex::RunOffsetStep(ctx, true), 1) << "missing dark.raw, but the shift sets the result";
    EXPECT_TRUE(Reported("WRN: dark.raw does not exist"));
    EXPECT_TRUE(Reported("Shift 40 compensates neg pixels")) << AllLines();
    EXPECT_EQ(At(0, 0), 0);
    EXPECT_EQ(At(3, 0), 140);
    EXPECT_EQ(At(2, 2), 0);
}

TEST_F(OffsetStepTest, FewNegativePixelsGiveNoShift)
{
    MakeFrame(20, 3, 100);
    At(0, 0) = -40;  // one pixel, fewer than width / 10
    settings.calNegPixCompensation = 1;
    EXPECT_EQ(kordex::RunOffsetStep(ctx, true), 0);
    EXPECT_EQ(At(0, 0), 0);
    EXPECT_EQ(At(1, 0), 100);
    for (const auto& l : lines) EXPECT_EQ(l.text.find("Shift"), std::string::npos);
}

TEST_F(OffsetStepTest, HardwareDarkSkipsTheSubtractionButClips)
{
    MakeFrame(10, 2, -5);
    settings.calSatValue = 50;
    At(1, 1) = 80;
    EXPECT_EQ(kordex::RunOffsetStep(ctx, false), 1);
    EXPECT_TRUE(Reported("OfsCal (HW-dark) start"));
    EXPECT_EQ(At(0, 0), 0);
    EXPECT_EQ(At(1, 1), 50);
}

TEST_F(OffsetStepTest, UnreadableDarkFrameFailsWithoutTouchingTheFrame)
{
    MakeFrame(10, 2, -5);
    WriteFrameFile("dark.raw", std::vector<std::int16_t>(19, 0));  // one pixel short
    EXPECT_EQ(kordex::RunOffsetStep(ctx, true), -1);
    EXPECT_TRUE(Reported("OfsCal can't load dark frame"));
    EXPECT_EQ(lines.front().kind, KX_REPORT_ERROR) << AllLines();
    EXPECT_EQ(At(0, 0), -5) << "neither subtraction nor clip";
}

TEST_F(OffsetStepTest, AbortStopsTheStep)
{
    MakeFrame(10, 4, 7);
    abortWord = 1;
    EXPECT_EQ(kordex::RunOffsetStep(ctx, false), -1);
    EXPECT_FALSE(Reported("OfsCal done"));
}

TEST_F(OffsetStepTest, NegativeShiftWalkStopsAtTheLastValue)
{
    // Every pixel is negative and width / 10 exceeds no count: the walk ends
    // inside the histogram.
    std::vector<std::int16_t> f(100, -3);
    std::vector<std::int32_t> histogram(65536);
    EXPECT_EQ(kordex::NegativePixelShift(f.data(), 100, 100, histogram.data()), 3);
    std::vector<std::int16_t> missing(100, -32768);
    EXPECT_EQ(kordex::NegativePixelShift(missing.data(), 100, 100, histogram.data()), 0);
}

class ReplacementStepTest : public StepFixture {};

TEST_F(ReplacementStepTest, ConfiguredValueCapsTheInnerRegionOnly)
{
    MakeFrame(6, 4, 3000);
    ctx.left = 1;
    ctx.right = 1;
    ctx.top = 1;
    settings.calSatValue = 4095;
    settings.calRepValue = 2000;
    EXPECT_EQ(kordex::RunReplacementStep(ctx), 1);
    EXPECT_EQ(At(1, 1), 2000);
    EXPECT_EQ(At(4, 3), 2000);
    EXPECT_EQ(At(0, 1), 3000) << "left margin";
    EXPECT_EQ(At(5, 1), 3000) << "right margin";
    EXPECT_EQ(At(2, 0), 3000) << "top margin";
}

TEST_F(ReplacementStepTest, AutomaticValueFromTheHistogram)
{
    // 2000 pixels: 1990 at 100, 5 at 3000, 5 at 4095 (saturated).
    MakeFrame(100, 20, 100);
    for (int i = 0; i < 5; ++i) {
        At(i, 0) = 3000;
        At(i, 1) = 4095;
    }
    settings.calSatValue = 4095;
    settings.calRepValue = -1;
    EXPECT_EQ(kordex::RunReplacementStep(ctx), 1);
    // N = 2000 (no pixel at 4094), t = 2: walking down from 4093 the first
    // counts reached are the five at 3000.
    EXPECT_TRUE(Reported("Automatic replacement value = 3000")) << AllLines();
    EXPECT_EQ(At(0, 1), 3000);
    EXPECT_EQ(At(10, 10), 100);
}

TEST_F(ReplacementStepTest, AutomaticValueWithNothingSaturatedDoesNothing)
{
    MakeFrame(10, 10, 100);
    settings.calSatValue = 4095;
    settings.calRepValue = -1;
    EXPECT_EQ(kordex::RunReplacementStep(ctx), 0);
    EXPECT_TRUE(lines.empty());
}

TEST(AutomaticReplacementValue, SmallFramesAndAlmostAllSaturated)
{
    std::vector<std::int32_t> histogram(65536);
    int value = 0;
    std::vector<std::int16_t> few(10, 4095);
    ASSERT_TRUE(kordex::AutomaticReplacementValue(few.data(), 10, 4095, histogram.data(), &value));
    EXPECT_EQ(value, 4094) << "N / 1000 is 0";
    std::vector<std::int16_t> many(5000, 4095);
    many[0] = 10;
    ASSERT_TRUE(kordex::AutomaticReplacementValue(many.data(), 5000, 4095, histogram.data(), &value));
    EXPECT_EQ(value, 10) << "the walk stops at the minimum";
}

}  // namespace
