// The unsharp-mask stage: step logs, dumps, difference control, bad radii.
#include <gtest/gtest.h>

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

}  // namespace
