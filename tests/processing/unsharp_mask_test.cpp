// The unsharp-mask stage: step logs, dumps, difference control, bad radii.
#include <gtest/gtest.h>

#include "processing/smoothing_steps.h"
#include "processing/unsharp_mask.h"
#include "stage_fixture.h"

namespace {

using test_support::StageFixture;

void Ramp(StageFixture& f)
{
    for (int y = 0; y < f.ctx.height; ++y)
        for (int x = 0; x < f.ctx.width; ++x) f.At(x, y) = static_cast<std::int16_t>(-1000 + 30 * x + 20 * y + (x * y) % 7);
}

TEST(UnsharpMask, DefaultStepsLogFiveLinesAndFiveDumps)
{
    StageFixture f(48, 40);
    Ramp(f);
    EXPECT_EQ(kordex::UnsharpMask(f.ctx, 2, {}), 1);
    EXPECT_TRUE(f.Logged("Unsharpen mask start 5 steps DifCtrl=1"));
    EXPECT_TRUE(f.Logged("step 1 R1=0 R2=1 CR1=0 CR2=0 W=-25 passed"));
    EXPECT_TRUE(f.Logged("step 2 Tag=0 Rad=4 W=25 passed"));
    EXPECT_TRUE(f.Logged("step 3 R1=2 R2=5 CR1=0 CR2=0 W=30 passed"));
    EXPECT_TRUE(f.Logged("step 4 R1=10 R2=60 CR1=20 CR2=60 W=50 passed"));
    EXPECT_TRUE(f.Logged("step 5 Tag=1 Rad=3 W=25 passed"));
    EXPECT_TRUE(f.Logged("Unsharpen mask done"));
    int stepDumps = 0;
    for (const auto& d : f.dumps) stepDumps += d.rfind("3s", 0) == 0;
    EXPECT_EQ(stepDumps, 5);
    EXPECT_EQ(f.dumped.count("3s01ush_000_001"), 1u);
    EXPECT_EQ(f.dumped.count("3s02smiso_004"), 1u);
    EXPECT_EQ(f.dumped.count("3s05smdia_003"), 1u);
    EXPECT_EQ(f.dumped.count("3cont_020x060"), 1u);
}

TEST(UnsharpMask, AllOnesFloatsRunWithoutDifferenceControl)
{
    StageFixture f(32, 32);
    Ramp(f);
    f.params.numSteps = 1;
    f.params.steps[0] = {1, 3, 0, 0, 50, 1.0f, 1.0f, 1.0f, 1.0f};
    EXPECT_FALSE(kordex::DifferenceControlOn(f.params));
    EXPECT_EQ(kordex::UnsharpMask(f.ctx, 0, {}), 1);
    EXPECT_TRUE(f.Logged("Unsharpen mask start 1 steps DifCtrl=0"));
}

TEST(UnsharpMask, ZeroStepsLeaveTheImage)
{
    StageFixture f(16, 16);
    Ramp(f);
    const auto before = f.image;
    f.params.numSteps = 0;
    EXPECT_EQ(kordex::UnsharpMask(f.ctx, 0, {}), 1);
    EXPECT_TRUE(f.Logged("Unsharpen mask start 0 steps DifCtrl=0"));
    EXPECT_TRUE(f.Logged("Unsharpen mask done"));
    EXPECT_EQ(f.image, before);
}

TEST(UnsharpMask, RadiusBeyondTheSectorTableFailsWith302)
{
    for (int tag : {0, 1, -20}) {
        StageFixture f(16, 16);
        Ramp(f);
        f.params.numSteps = 1;
        f.params.steps[0] = {-2000000000, tag, 0, 0, 25, 1, 1, 1, 1};
        EXPECT_EQ(kordex::UnsharpMask(f.ctx, 0, {}), -1) << tag;
        EXPECT_EQ(f.abortState, -1);
        EXPECT_TRUE(f.Logged("Wrong parameters of the step"));
    }
}

TEST(UnsharpMask, IntrinsicSharpeningOnAFlatImageCannotApply)
{
    StageFixture f(16, 16);
    f.params.numSteps = 1;
    f.params.steps[0] = {-8, 2, 0, 0, 25, 1, 1, 1, 1};
    EXPECT_EQ(kordex::UnsharpMask(f.ctx, 0, {}), 1);
    EXPECT_TRUE(f.Logged("WRN: could not apply to this data!"));
    EXPECT_EQ(f.abortState, 0);
}

TEST(UnsharpMask, DifferenceControlLimitsTheWeightedSmoothingWhateverItsFactors)
{
    // Step 2 turns difference control on. Step 1's own factors are all 1, so
    // its curve is the constant 1024 and m = min(W', 1024): the weighted
    // smoothing is limited to 1024, the directional smoothing (which takes
    // the curve only for factors not both 1) keeps W' = 1536.
    const struct {
        int tag;
        std::int64_t weight;
        const char* dump;
    } cases[] = {
        {-100, 1024, "3s01smwgt_002x100"},
        {0, 1536, "3s01smiso_002"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        StageFixture f(20, 16);
        Ramp(f);
        for (std::size_t i = 0; i < f.image.size(); i += 3) f.image[i] = static_cast<std::int16_t>(f.image[i] + 40);
        StageFixture expected(20, 16);
        expected.image = f.image;
        f.params.numSteps = 2;
        f.params.steps[0] = {-2, c.tag, 0, 0, 150, 1.0f, 1.0f, 1.0f, 1.0f};
        f.params.steps[1] = {0, 1, 0, 0, 30, 0.5f, 0.9f, 0.6f, 1.1f};
        ASSERT_EQ(kordex::UnsharpMask(f.ctx, 0, {}), 1);
        EXPECT_TRUE(f.Logged("Unsharpen mask start 2 steps DifCtrl=1"));
        kordex::SmoothingControl control;
        control.weight = c.weight;
        const int done = c.tag < 0 ? kordex::WeightedSmoothing(expected.ctx, 2, c.tag, control)
                                   : kordex::DirectionalSmoothing(expected.ctx, 2, c.tag, control);
        ASSERT_EQ(done, 1);
        ASSERT_EQ(f.dumped.count(c.dump), 1u);
        EXPECT_EQ(f.dumped[c.dump], expected.image);
    }
}

}  // namespace
