// The steps of the PostPrc pipeline on their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "calpost/cross_median.h"
#include "calpost/detail_mask.h"
#include "calpost/grey_window.h"
#include "calpost/laplacian_pyramid.h"
#include "calpost/local_equalisation.h"
#include "calpost/median.h"
#include "calpost/mirror.h"
#include "calpost/noise_replacement.h"
#include "calpost/tone_curve.h"
#include "calpost_test_images.h"

namespace {

using calpost::Image;

TEST(CalpostMirror, ReflectsAboutTheEndSamples)
{
    struct Case {
        int index, n, expected;
    };
    const Case cases[] = {
        {-1, 5, 1}, {-2, 5, 2}, {5, 5, 3}, {6, 5, 2}, {-9, 5, 1},  // reflects twice
        {12, 5, 4}, {-3, 1, 0}, {4, 1, 0}, {-1, 2, 1},  {2, 2, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(calpost::Reflect(c.index, c.n), c.expected) << c.index << " in " << c.n;
}

TEST(CalpostMedian, NetworksAndSelectionAgreeWithSorting)
{
    calpost_test::Noise noise(3);
    for (const int count : {1, 2, 4, 9, 16, 25, 49}) {
        for (int trial = 0; trial < 200; ++trial) {
            std::vector<double> v(static_cast<std::size_t>(count));
            for (double& x : v) x = std::floor(noise.Uniform() * 8.0);  // with ties
            std::vector<double> sorted = v;
            std::sort(sorted.begin(), sorted.end());
            EXPECT_EQ(calpost::MedianOf(v.data(), count), sorted[static_cast<std::size_t>(count / 2)]);
        }
    }
}

Image Filled(int w, int h, double value)
{
    return Image(w, h, value);
}

TEST(CalpostGreyWindow, LevelsNoBinReachesKeepTheWholeRange)
{
    Image image(16, 16);
    for (std::size_t i = 0; i < image.Count(); ++i) image.values[i] = (i % 16) / 15.0;
    const calpost::GreyWindow w = calpost::FindGreyWindow(image, 2.0, 2.0);
    EXPECT_EQ(w.lo, 0.0);
    EXPECT_EQ(w.hi, 1.0);
    const calpost::GreyWindow found = calpost::FindGreyWindow(image, 0.5, 0.5);
    EXPECT_GT(found.lo, 0.0);
    EXPECT_LT(found.hi, 1.0);
}

TEST(CalpostGreyWindow, InvertsAndLeavesAConstantImageAtZero)
{
    Image ramp(8, 1);
    for (int x = 0; x < 8; ++x) ramp.values[static_cast<std::size_t>(x)] = 100.0 * x;
    calpost::InvertAndWindow(ramp, 2.0, 2.0);  // window 0..1: plain normalisation
    for (int x = 0; x < 8; ++x) EXPECT_DOUBLE_EQ(ramp.values[static_cast<std::size_t>(x)], (7 - x) / 7.0);

    Image flat = Filled(9, 7, 1234.0);
    calpost::InvertAndWindow(flat, 0.002, 0.005);
    for (const double v : flat.values) ASSERT_EQ(v, 0.0);
}

TEST(CalpostToneCurve, BreakAtZeroLeavesTheImageAlone)
{
    Image image(5, 1);
    image.values = {0.0, 0.1, 0.5, 0.77, 1.0};
    const std::vector<double> before = image.values;
    calpost::ApplyToneCurve(image, 0.0, 0.3);
    EXPECT_EQ(image.values, before);
}

TEST(CalpostToneCurve, TableFollowsBothSegments)
{
    const std::vector<double> t = calpost::ToneTable(0.2, 0.05);
    const int breakIndex = static_cast<int>(4095 * 0.2);  // 819
    EXPECT_DOUBLE_EQ(t[0], 0.0);
    EXPECT_DOUBLE_EQ(t[818], 0.25 * 818 / 4095.0);
    EXPECT_DOUBLE_EQ(t[breakIndex], 0.95 / 0.8 * (819 / 4095.0 - 1.0) + 1.0);
    EXPECT_DOUBLE_EQ(t[4095], 1.0);
    // x == 1: the upper segment is the end point only, not 0 * infinity.
    const std::vector<double> full = calpost::ToneTable(1.0, 0.4);
    for (const double v : full) ASSERT_TRUE(std::isfinite(v));
    EXPECT_EQ(full[4095], 1.0);
    EXPECT_DOUBLE_EQ(full[4094], 0.4 * 4094 / 4095.0);
}

// A gentle ramp with one bright outlier: the detail mask flags it and the
// cross median puts the ramp back.
TEST(CalpostImpulseRemoval, CrossMedianRemovesASingleOutlier)
{
    Image image(32, 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x) image.At(x, y) = 0.3 + 0.002 * x + 0.001 * y;
    const Image ramp = image;
    image.At(11, 9) = 0.95;

    calpost::DetailMask detail;
    calpost::MakeDetailMask(image, 7.0, detail);
    EXPECT_EQ(detail.mask[9 * 32 + 11], 1);
    calpost::CrossMedian(image, detail.mask);
    EXPECT_NEAR(image.At(11, 9), ramp.At(11, 9), 0.0011);
    for (std::size_t i = 0; i < image.Count(); ++i) ASSERT_NEAR(image.values[i], ramp.values[i], 0.0021) << i;
}

TEST(CalpostImpulseRemoval, NoiseRelativeReplacementTakesTheWindowMedian)
{
    for (const int n : {3, 5, 4, 7}) {
        calpost_test::Noise noise(5);
        Image image(40, 30);
        for (double& v : image.values) v = 0.5 + 0.003 * noise.Normal();
        image.At(20, 15) = 0.1;
        calpost::DetailMask detail;
        calpost::MakeDetailMask(image, 7.0, detail);
        ASSERT_EQ(detail.mask[15 * 40 + 20], 1);
        calpost::NoiseRelativeReplace(image, detail, n, 15.0);
        EXPECT_NEAR(image.At(20, 15), 0.5, 0.01) << "window " << n;
    }
}

TEST(CalpostImpulseRemoval, WindowsBelowTwoReplaceNothing)
{
    Image image(10, 10, 0.5);
    image.At(4, 4) = 0.9;
    calpost::DetailMask detail;
    calpost::MakeDetailMask(image, 1.0, detail);
    for (const int n : {0, 1}) {
        Image copy = image;
        calpost::NoiseRelativeReplace(copy, detail, n, 15.0);
        EXPECT_EQ(copy.values, image.values);
    }
}

TEST(CalpostPyramid, LevelSizesHalveRoundingUp)
{
    Image image(13, 6, 0.5);
    calpost::LaplacianPyramid p;
    calpost::BuildLaplacianPyramid(image, 4, p);
    const int expected[][2] = {{13, 6}, {7, 3}, {4, 2}, {2, 1}, {1, 1}};
    ASSERT_EQ(p.gaussian.size(), 5u);
    for (int j = 0; j < 5; ++j) {
        EXPECT_EQ(p.gaussian[static_cast<std::size_t>(j)].width, expected[j][0]);
        EXPECT_EQ(p.gaussian[static_cast<std::size_t>(j)].height, expected[j][1]);
    }
    // A constant image has no band-pass content at any level.
    for (const Image& l : p.laplacian)
        for (const double v : l.values) ASSERT_NEAR(v, 0.0, 1e-12);
}

TEST(CalpostPyramid, ExpandingAndAddingTheLevelsRebuildsTheImage)
{
    for (const auto& size : {std::pair{37, 29}, std::pair{64, 48}, std::pair{5, 3}}) {
        calpost_test::Noise noise(9);
        Image image(size.first, size.second);
        for (double& v : image.values) v = noise.Uniform();
        calpost::LaplacianPyramid p;
        calpost::BuildLaplacianPyramid(image, 3, p);
        Image rebuilt = p.gaussian[3];
        for (int j = 2; j >= 0; --j) {
            Image expanded;
            const Image& l = p.laplacian[static_cast<std::size_t>(j)];
            calpost::Expand(rebuilt, l.width, l.height, expanded);
            for (std::size_t i = 0; i < l.Count(); ++i) expanded.values[i] += l.values[i];
            rebuilt = expanded;
        }
        for (std::size_t i = 0; i < image.Count(); ++i) ASSERT_NEAR(rebuilt.values[i], image.values[i], 1e-12);
    }
}

TEST(CalpostPyramid, CoefficientCurveCompressesAndSaturates)
{
    const calpost::CoefficientCurve curve(1.0, 0.5, 0.25);
    EXPECT_DOUBLE_EQ(curve(5.0), 1.0);    // beyond c: the last entry, c (1)^e
    EXPECT_DOUBLE_EQ(curve(-5.0), -1.0);  // the first entry
    // x = 0 reads entry 499: A = -1/999 lies under the knee: A (c/t) (t/c)^e.
    EXPECT_DOUBLE_EQ(curve(0.0), (499 * (2.0 / 999.0) - 1.0) * 4.0 * 0.5);
    // Above the knee: sign(A) c (|A|/c)^e, entry trunc(1.5 * 499.5) = 749.
    const double a = 749 * (2.0 / 999.0) - 1.0;
    EXPECT_DOUBLE_EQ(curve(0.5), std::sqrt(a));
    const calpost::CoefficientCurve flat(0.0, 0.5, 0.25);
    EXPECT_EQ(flat(0.3), 0.0);
    EXPECT_EQ(flat(-2.0), 0.0);
}

TEST(CalpostPyramid, ZeroLevelsOnlyClip)
{
    Image image(4, 1);
    image.values = {-0.5, 0.3, 1.7, 1.0};
    const double gains[4] = {2.0, 3.0, 1.0, 1.0};
    calpost::MultiScaleContrast(image, 0, 1.0, 0.5, 0.25, gains);
    EXPECT_EQ(image.values, (std::vector<double>{0.0, 0.3, 1.0, 1.0}));
}

TEST(CalpostLocalEqualisation, TileAxes)
{
    struct Case {
        int length, divisor, size, count, lastSize;
        std::vector<int> centres;
    };
    const Case cases[] = {
        {688, 3, 113, 6, 123, {56, 169, 282, 395, 508, 626}},
        {910, 3, 151, 6, 155, {75, 226, 377, 528, 679, 832}},
        {21, 1, 9, 2, 12, {4, 14}},          // even remainder tile: W - V/2 - 1
        {5, 10, 1, 5, 1, {0, 1, 2, 3, 4}},   // (5/10)/2 = 0 would be -1: one pixel
        {8, 0, 3, 2, 5, {1, 5}},             // divisor 0 counts as 1
    };
    for (const Case& c : cases) {
        const calpost::TileAxis axis = calpost::MakeTileAxis(c.length, c.divisor);
        EXPECT_EQ(axis.size, c.size) << c.length << "/" << c.divisor;
        EXPECT_EQ(axis.count, c.count) << c.length << "/" << c.divisor;
        EXPECT_EQ(axis.lastSize, c.lastSize) << c.length << "/" << c.divisor;
        EXPECT_EQ(axis.centres, c.centres) << c.length << "/" << c.divisor;
    }
}

TEST(CalpostLocalEqualisation, ClipFindsLambdaByBisection)
{
    // c = trunc((12 / 4) * 2) = 6; the bisection ends at lambda = 4: bins
    // below 4 rise by 2, the others become 6.
    std::vector<std::int64_t> h = {10, 2, 0, 0};
    EXPECT_EQ(calpost::ClipHistogram(h, 12, 2.0), 4);
    EXPECT_EQ(h, (std::vector<std::int64_t>{6, 4, 2, 2}));
}

TEST(CalpostLocalEqualisation, SpansZeroToOneAndSkipsBelowTwoLevels)
{
    const auto phantom = calpost_test::Phantom(90, 70);
    Image image(90, 70);
    for (std::size_t i = 0; i < image.Count(); ++i) image.values[i] = phantom[i] / 4095.0;
    Image same = image;
    calpost::LocalEqualise(same, 1, 1.3, 3, 3);
    EXPECT_EQ(same.values, image.values);

    calpost::LocalEqualise(image, 256, 1.3, 3, 3);
    const auto [lo, hi] = std::minmax_element(image.values.begin(), image.values.end());
    EXPECT_EQ(*lo, 0.0);
    EXPECT_EQ(*hi, 1.0);
}

TEST(CalpostLocalEqualisation, CornersTakeTheirOwnTilesMapping)
{
    // Left half dark, right half bright, one tile row: the corner columns lie
    // outside the outermost centres and take only their own tile's mapping,
    // so equal inputs in one half map to equal outputs.
    Image image(40, 9);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 40; ++x) image.At(x, y) = x < 20 ? 0.2 + 0.001 * y : 0.8 + 0.001 * y;
    calpost::LocalEqualise(image, 64, 2.0, 2, 1);
    for (int y = 0; y < 9; ++y) {
        EXPECT_EQ(image.At(0, y), image.At(1, y));
        EXPECT_EQ(image.At(39, y), image.At(38, y));
    }
}

}  // namespace
