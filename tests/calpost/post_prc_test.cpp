// PostPrc through the export: the pipeline as the detector library calls it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "calpost.h"
#include "calpost/post_prc_params.h"
#include "calpost_test_images.h"

namespace {

using calpost::PostPrcParams;

constexpr int kW = 120;
constexpr int kH = 96;

std::vector<std::uint16_t> Enhance(const std::vector<std::uint16_t>& image, int w, int h, const PostPrcParams& p)
{
    std::uint16_t* out = calpost::CallPostPrc(&PostPrc, image.data(), w, h, p);
    EXPECT_NE(out, nullptr);
    if (!out) return {};
    std::vector<std::uint16_t> result(out, out + static_cast<std::size_t>(w) * h);
    CalpostFree(out);
    return result;
}

class CalpostPostPrc : public testing::Test {
protected:
    std::vector<std::uint16_t> phantom_ = calpost_test::Phantom(kW, kH);
};

TEST_F(CalpostPostPrc, OutputSpansTheFullRange)
{
    PostPrcParams variants[3];
    variants[1].localEqualisation = 0;
    variants[2].pyramidLevels = 0.0;
    variants[2].toneBreakX = 0.0;
    for (const PostPrcParams& p : variants) {
        const auto out = Enhance(phantom_, kW, kH, p);
        const auto [lo, hi] = std::minmax_element(out.begin(), out.end());
        EXPECT_EQ(*lo, 0);
        EXPECT_EQ(*hi, 32767);
    }
}

TEST_F(CalpostPostPrc, ConstantImageGivesAllZero)
{
    const std::vector<std::uint16_t> flat(kW * kH, 1800);
    for (const auto v : Enhance(flat, kW, kH, PostPrcParams{})) ASSERT_EQ(v, 0);
}

TEST_F(CalpostPostPrc, ToneBreakZeroLeavesTheCurveOut)
{
    PostPrcParams a, b;
    a.toneBreakX = b.toneBreakX = 0.0;
    a.toneBreakY = 0.05;
    b.toneBreakY = 0.7;  // would bend the curve the other way
    EXPECT_EQ(Enhance(phantom_, kW, kH, a), Enhance(phantom_, kW, kH, b));
    a.toneBreakX = b.toneBreakX = 0.2;
    EXPECT_NE(Enhance(phantom_, kW, kH, a), Enhance(phantom_, kW, kH, b));
}

TEST_F(CalpostPostPrc, LocalEqualisationOffIgnoresItsParameters)
{
    PostPrcParams off;
    off.localEqualisation = 0;
    PostPrcParams broken = off;  // would divide by zero if the step ran
    broken.greyLevels = 0.0;
    broken.clipFactor = 0.0;
    broken.tilesAcross = 0.0;
    broken.tilesDown = 0.0;
    const auto withoutStep = Enhance(phantom_, kW, kH, off);
    EXPECT_EQ(Enhance(phantom_, kW, kH, broken), withoutStep);
    EXPECT_NE(Enhance(phantom_, kW, kH, PostPrcParams{}), withoutStep);
}

TEST_F(CalpostPostPrc, ResultIsInvertedAndTurnedHalfWay)
{
    // A dark square near the input's top-left corner becomes a bright one
    // near the output's bottom-right corner.
    std::vector<std::uint16_t> image(kW * kH, 3000);
    for (int y = 10; y < 20; ++y)
        for (int x = 10; x < 20; ++x) image[y * kW + x] = 500;
    PostPrcParams p;
    p.localEqualisation = 0;
    const auto out = Enhance(image, kW, kH, p);
    const auto at = [&](int x, int y) { return out[static_cast<std::size_t>(y) * kW + x]; };
    EXPECT_GT(at(kW - 1 - 15, kH - 1 - 15), 30000);
    EXPECT_LT(at(15, 15), 3000);
    EXPECT_LT(at(kW - 1 - 15, 15), 3000);
    EXPECT_LT(at(15, kH - 1 - 15), 3000);
}

TEST_F(CalpostPostPrc, DegenerateSizesAndParametersGiveDefinedImages)
{
    struct Case {
        int w, h;
    };
    for (const Case c : {Case{1, 1}, Case{2, 3}, Case{7, 1}, Case{1, 9}, Case{33, 17}}) {
        const auto image = calpost_test::Phantom(c.w, c.h);
        const auto out = Enhance(image, c.w, c.h, PostPrcParams{});
        EXPECT_EQ(out.size(), static_cast<std::size_t>(c.w) * c.h);
    }
    // Parameters that would divide by zero, wrap or index out of range.
    PostPrcParams odd[4];
    odd[0].medianWindow = 4.0;
    odd[0].toneBreakX = 1.0;
    odd[0].pyramidLevels = 1.0e12;
    odd[0].detailFactor = -1.0;
    odd[1].coefficientRange = 0.0;  // no detail: the coarse levels alone
    odd[1].pyramidLevels = 2.0;
    odd[2].greyLevels = 1.0e12;
    odd[2].tilesAcross = 1.0e6;
    odd[2].tilesDown = -3.0;
    odd[2].clipFactor = -1.0;
    odd[3].medianWindow = 1.0e9;
    odd[3].replacePercent = -20.0;
    odd[3].toneBreakX = -0.5;
    for (const PostPrcParams& p : odd) {
        const auto out = Enhance(phantom_, kW, kH, p);
        ASSERT_EQ(out.size(), static_cast<std::size_t>(kW) * kH);
        EXPECT_EQ(*std::max_element(out.begin(), out.end()), 32767);
    }
}

TEST_F(CalpostPostPrc, MedianWindowsBelowTwoReplaceNothing)
{
    PostPrcParams zero, one;
    zero.medianWindow = 0.0;
    one.medianWindow = 1.0;
    EXPECT_EQ(Enhance(phantom_, kW, kH, zero), Enhance(phantom_, kW, kH, one));
}

TEST(CalpostPostPrcArguments, RefusesBadArguments)
{
    const std::vector<std::uint16_t> image(16, 100);
    const PostPrcParams p;
    EXPECT_EQ(calpost::CallPostPrc(&PostPrc, nullptr, 4, 4, p), nullptr);
    EXPECT_EQ(calpost::CallPostPrc(&PostPrc, image.data(), 0, 4, p), nullptr);
    EXPECT_EQ(calpost::CallPostPrc(&PostPrc, image.data(), 4, -4, p), nullptr);
}

}  // namespace
