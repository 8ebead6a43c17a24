// The spatial stages: Gaussian blur, sigma filter, negative-detail
// replacement, level weights, adaptive unsharp mask, tile geometry and the
// local equalisation, and the cut corners.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <numeric>
#include <vector>

#include "stages.h"

namespace toneforge {
namespace {

std::vector<double> Texture(int width, int height)
{
    std::vector<double> v(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            v[static_cast<std::size_t>(y) * width + x] =
                0.5 + 0.3 * std::sin(x * 0.37) * std::cos(y * 0.23) + 0.1 * ((x * 7 + y * 13) % 5) / 5.0;
    return v;
}

TEST(ToneforgeGaussianBlur, SizeSevenGivesSigmaThreeAndSevenTaps)
{
    const std::vector<double> k = GaussianKernel(7);
    ASSERT_EQ(k.size(), 7u);
    EXPECT_NEAR(std::accumulate(k.begin(), k.end(), 0.0), 1.0, 1e-15);
    EXPECT_DOUBLE_EQ(k[0] / k[3], std::exp(-9.0 / 18.0)) << "sigma 3: tap 3 away is exp(-9 / (2 * 9))";
    EXPECT_DOUBLE_EQ(k[2] / k[3], std::exp(-1.0 / 18.0));
    EXPECT_EQ(k[0], k[6]);
    EXPECT_EQ(GaussianKernel(6).size(), 7u);
    EXPECT_EQ(GaussianKernel(2).size(), 3u);
}

TEST(ToneforgeGaussianBlur, SizesThatGiveNoKernelLeaveTheImage)
{
    const std::vector<double> original = Texture(40, 30);
    for (int size : {1, 0, -1, -1000, 2 * 41 + 2}) {
        std::vector<double> image = original;
        FastGaussianBlurring(image.data(), 40, 30, size);
        EXPECT_EQ(image, original) << "size " << size;
        EXPECT_TRUE(GaussianKernel(size).empty() || size > 80);
    }
}

TEST(ToneforgeGaussianBlur, KeepsAFlatImageAndSmoothsEdgesWithRepeatedBorders)
{
    std::vector<double> flat(25 * 9, 0.25);
    FastGaussianBlurring(flat.data(), 25, 9, 9);
    for (double v : flat)
        ASSERT_NEAR(v, 0.25, 1e-15);

    // A single column image: the row pass sees lines of one pixel.
    std::vector<double> column = {0, 0, 0, 1, 1, 1};
    FastGaussianBlurring(column.data(), 1, 6, 3);
    for (int i = 1; i < 6; ++i)
        EXPECT_GE(column[i], column[i - 1]);
    EXPECT_GT(column[2], 0.0);
    EXPECT_LT(column[3], 1.0);
}

TEST(ToneforgeGaussianBlur, AveragingPassesReadUpdatedNeighbours)
{
    // With a one-row image every column tap reads the row itself and the
    // column averaging pass has no rows to work on; the row averaging runs
    // left to right over the convolved row. Size 2 is sigma 1.
    std::vector<double> row = {0, 0, 1, 0, 0};
    const std::vector<double> k = GaussianKernel(2);
    std::vector<double> conv(5, 0.0);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 3; ++j)
            conv[i] += k[j] * row[std::clamp(i - 1 + j, 0, 4)];
    for (int i = 0; i < 5; ++i) {
        double sum = 0.0;
        for (int j = 0; j < 3; ++j)
            sum += k[j] * conv[i];
        conv[i] = sum;
    }
    for (int x = 1; x < 4; ++x)
        conv[x] = (conv[x - 1] + conv[x + 1]) * 0.5;
    FastGaussianBlurring(row.data(), 5, 1, 2);
    EXPECT_EQ(row, conv);
}

TEST(ToneforgeSigmaFilter, PixelWithoutQualifyingSamplesKeepsItsValue)
{
    // Window 2, step 2: the only sample is the upper-left neighbour, never
    // the centre. Far away values and windows outside the image give none.
    std::vector<double> image = {0.0, 0.0, 0.0,
                                 0.0, 1.0, 0.9,
                                 0.0, 0.95, 0.5};
    FastSigmaFilter(image.data(), 3, 3, 2, 0.1, 2);
    EXPECT_EQ(image[4], 1.0) << "the sample 0.0 lies outside 1 +- 0.2";
    EXPECT_EQ(image[0], 0.0) << "the window's only sample is outside the image";
    EXPECT_EQ(image[8], 0.5) << "its only sample, 1.0, lies outside 0.5 +- 0.2";
}

TEST(ToneforgeSigmaFilter, AveragesTheSamplesWithinTwoSigma)
{
    std::vector<double> image = {0.50, 0.52, 0.90,
                                 0.48, 0.50, 0.51,
                                 0.10, 0.49, 0.50};
    FastSigmaFilter(image.data(), 3, 3, 3, 0.05, 1);
    // Centre: all but 0.90 and 0.10 lie within 0.5 +- 0.1.
    EXPECT_DOUBLE_EQ(image[4], (0.50 + 0.52 + 0.48 + 0.50 + 0.51 + 0.49 + 0.50) / 7);

    const std::vector<double> original = image;
    for (auto [m, k] : {std::pair{0, 1}, std::pair{5, 0}, std::pair{-1000, -1000}, std::pair{256, 1}}) {
        std::vector<double> copy = original;
        FastSigmaFilter(copy.data(), 3, 3, m, 0.05, k);
        EXPECT_EQ(copy, original) << "window " << m << " step " << k;
    }
}

// The filter pixel by pixel, exactly as its rule reads.
std::vector<double> SigmaFilterByTheRule(const std::vector<double>& in, int w, int h, int m, double sigma, int k)
{
    std::vector<double> out(in.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double c = in[y * w + x];
            double sum = 0.0;
            int count = 0;
            for (int oy = 0; oy < m; oy += k)
                for (int ox = 0; ox < m; ox += k) {
                    const int sy = y - m / 2 + oy, sx = x - m / 2 + ox;
                    if (sy < 0 || sy >= h || sx < 0 || sx >= w)
                        continue;
                    const double s = in[sy * w + sx];
                    if (c - 2 * sigma < s && s < c + 2 * sigma) {
                        sum += s;
                        ++count;
                    }
                }
            out[y * w + x] = count > 0 ? sum / count : c;
        }
    return out;
}

TEST(ToneforgeSigmaFilter, MatchesItsRuleForEveryWindowAndStep)
{
    const int w = 37, h = 23;
    const std::vector<double> texture = Texture(w, h);
    for (auto [m, k] : {std::pair{5, 1}, std::pair{4, 1}, std::pair{7, 2}, std::pair{6, 4}, std::pair{1, 1},
                        std::pair{40, 3}, std::pair{99, 1}}) {
        std::vector<double> image = texture;
        FastSigmaFilter(image.data(), w, h, m, 0.04, k);
        EXPECT_EQ(image, SigmaFilterByTheRule(texture, w, h, m, 0.04, k)) << "window " << m << " step " << k;
    }
}

TEST(ToneforgeNegativeDetail, ZerosTakeTheMeanOfNegativeNeighbours)
{
    std::vector<double> image(15 * 15, 0.01);
    image[7 * 15 + 7] = 0.0;
    image[7 * 15 + 9] = -0.0002;
    image[2 * 15 + 12] = -0.0004;  // inside the 11 x 11 window of (7, 7)
    image[0] = 0.0;                // its window (columns 0 ... 5) holds no negative value
    ChangeHighIMG(image.data(), 15, 15);
    EXPECT_DOUBLE_EQ(image[7 * 15 + 7], (-0.0002 + -0.0004) / 2);
    EXPECT_EQ(image[0], -0.0005);
    EXPECT_EQ(image[7 * 15 + 9], -0.0002);
    EXPECT_EQ(image[1], 0.01);
}

TEST(ToneforgeNegativeDetail, MatchesItsRuleOnATexture)
{
    const int w = 29, h = 19;
    std::vector<double> input = Texture(w, h);
    for (int i = 0; i < w * h; ++i)
        input[i] = i % 4 == 0 ? 0.0 : (i % 3 == 0 ? -input[i] * 0.001 : input[i]);
    std::vector<double> expected = input;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (input[y * w + x] != 0.0)
                continue;
            double sum = 0.0;
            int count = 0;
            for (int j = std::max(0, y - 5); j <= std::min(h - 1, y + 5); ++j) {
                double rowSum = 0.0;
                for (int i = std::max(0, x - 5); i <= std::min(w - 1, x + 5); ++i) {
                    if (input[j * w + i] < 0.0) {
                        rowSum += input[j * w + i];
                        ++count;
                    }
                }
                sum += rowSum;
            }
            expected[y * w + x] = count > 0 ? sum / count : -0.0005;
        }
    ChangeHighIMG(input.data(), w, h);
    EXPECT_EQ(input, expected);
}

TEST(ToneforgeLevelWeights, RiseFromTheThresholdToFullScale)
{
    _tagIMG_PARAM_IntraOral p{};
    p.m_AUMTH = 0.3;
    p.m_AUMWH = 2.0;
    p.m_AUMWL = 1.0;
    const std::array<double, 512> t = LevelWeightTable(p);
    const int first = static_cast<int>(0.3 * 511) + 1;  // 154
    EXPECT_EQ(t[first - 1], 1.0);
    EXPECT_DOUBLE_EQ(t[first], 2.0 + (first / 511.0 - 1.0) * 1.0 / 0.7);
    EXPECT_EQ(t[511], 2.0);

    p.m_AUMTH = 1.0;  // no rising part: no division by 1 - 1
    for (double w : LevelWeightTable(p))
        ASSERT_EQ(w, 1.0);
    p.m_AUMTH = -1000;
    EXPECT_DOUBLE_EQ(LevelWeightTable(p)[0], 2.0 + (0.0 - 1.0) * 1.0 / 1001.0);
}

TEST(ToneforgeAdaptiveUnsharpMask, StretchesTheInteriorAndLimitsTheBorder)
{
    _tagIMG_PARAM_IntraOral p{};
    p.m_FFSF_Msize = 5;
    p.m_FFSF_sigma = 0.05;
    p.m_FFSF_skip = 1;
    p.m_AUMTH = 0.3;
    p.m_AUMWH = 2;
    p.m_AUMWL = 1;
    const std::array<double, 512> weights = LevelWeightTable(p);
    std::vector<double> image = Texture(40, 30);
    FAUMHKL_2(image.data(), 40, 30, 5, weights.data(), p);
    double lo = 1, hi = 0;
    for (int y = 2; y < 28; ++y)
        for (int x = 2; x < 38; ++x) {
            lo = std::min(lo, image[y * 40 + x]);
            hi = std::max(hi, image[y * 40 + x]);
        }
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 1.0);
    for (double v : image) {
        ASSERT_GE(v, 0.0);
        ASSERT_LE(v, 1.0);
    }

    // A kernel larger than the image leaves no interior: every pixel is 0.
    image = Texture(40, 30);
    FAUMHKL_2(image.data(), 40, 30, 61, weights.data(), p);
    EXPECT_EQ(image, std::vector<double>(40 * 30, 0.0));
}

TEST(ToneforgeTileGeometry, OddTilesWithTheRestInTheLastOne)
{
    const TileGeometry g = BuildTileGeometry(688, 910, 3, 3);
    ASSERT_TRUE(g.valid);
    EXPECT_EQ(g.tw, 113);  // 688 / 3 = 229, 229 / 2 = 114 is even
    EXPECT_EQ(g.th, 151);  // 910 / 3 = 303, 303 / 2 = 151 is odd
    EXPECT_EQ(g.nx, 6);
    EXPECT_EQ(g.ny, 6);
    EXPECT_EQ(g.widths.back(), 688 - 5 * 113);
    EXPECT_EQ(g.heights.back(), 910 - 5 * 151);
    EXPECT_EQ(g.centreX[0], 56);
    EXPECT_EQ(g.centreX[4], 56 + 4 * 113);
    EXPECT_EQ(g.centreX[5], 688 - (123 + 1) / 2);  // last width 123 is odd
    EXPECT_EQ(g.centreY[5], 910 - 155 / 2 - 1);    // last height 155? odd too
    // Blend tables: bands outside the centres, fractions between them.
    EXPECT_EQ(g.leftTile[55], 0);
    EXPECT_EQ(g.rightTile[55], 0);
    EXPECT_EQ(g.leftTile[56], 0);
    EXPECT_EQ(g.rightTile[56], 1);
    EXPECT_EQ(g.fx[56], 0.0);
    EXPECT_DOUBLE_EQ(g.fx[56 + 50], 50.0 / 113.0);
    const int lastBlock = g.centreX[5] - g.centreX[4];
    EXPECT_DOUBLE_EQ(g.fx[g.centreX[4] + 7], 7.0 / lastBlock);
    EXPECT_EQ(g.leftTile[687], 5);
    EXPECT_EQ(g.rightTile[687], 5);
}

TEST(ToneforgeTileGeometry, UnusableDivisorsGiveNoGeometry)
{
    for (auto [cx, cy] : {std::pair{0.0, 3.0}, std::pair{3.0, 0.0}, std::pair{-1000.0, -1000.0},
                          std::pair{400.0, 3.0}, std::pair{100.0, 100.0}}) {
        EXPECT_FALSE(BuildTileGeometry(688, 910, cx, cy).valid) << cx << " " << cy;
    }
    EXPECT_TRUE(BuildTileGeometry(688, 910, 0.5 + 2, 3.9).valid) << "divisors are truncated";

    std::vector<double> image = Texture(40, 30);
    const std::vector<double> original = image;
    ParaLocalContrastEnhance(image.data(), 40, 30, BuildTileGeometry(40, 30, 0, 0), 1.3);
    EXPECT_EQ(image, original);
}

TEST(ToneforgeLocalEqualisation, ClipLimitOneOnTileArea1024GivesAStraightMap)
{
    std::vector<std::int64_t> bins(1024, 0);
    bins[0] = 1000;  // the tile is nearly flat
    bins[500] = 24;
    std::vector<std::int32_t> map(1024);
    TileMap(bins.data(), 32 * 32, 1.0, map.data());
    for (int k = 0; k < 1024; ++k)
        ASSERT_EQ(map[k], static_cast<std::int32_t>((k + 1) / 1024.0 * 1023.0)) << k;

    // Clip limits below 1 (a missing m_CLSL, small tiles) give the same line.
    std::vector<std::int64_t> other(1024, 1);
    std::vector<std::int32_t> map2(1024);
    TileMap(other.data(), 32 * 32, -1000, map2.data());
    EXPECT_EQ(map2, map);
}

TEST(ToneforgeLocalEqualisation, ClipLevelSpreadsTheExcessToTheLimit)
{
    // 1024 bins: 1000 of count 2, 24 of count 100 (area 4400), limit 10.
    std::vector<std::int64_t> bins(1024, 2);
    for (int k = 0; k < 24; ++k)
        bins[k * 40] = 100;
    const std::int64_t p = ClipLevel(bins.data(), 10);
    // The excess above P, spread over 1024 bins, must not exceed 10 - P.
    auto excess = [&](std::int64_t level) {
        std::int64_t e = 0;
        for (std::int64_t b : bins)
            e += std::max<std::int64_t>(0, b - level);
        return e;
    };
    EXPECT_LE(excess(p), (10 - p) * 1024);
    EXPECT_GT(excess(p + 1), (10 - p - 1) * 1024);
    EXPECT_EQ(ClipLevel(bins.data(), 1), 0);

    // From twice the area on, the clip level is always the limit less 1 (every
    // bin gains 1), which is why larger limits may be held there.
    for (std::int64_t lc : {2 * 4400 + 2, 10 * 4400, 1000000})
        EXPECT_EQ(ClipLevel(bins.data(), lc), lc - 1) << lc;
    std::vector<std::int32_t> map(1024);
    std::vector<std::int64_t> clipped = bins;
    TileMap(clipped.data(), 4400, 1e300, map.data());
    EXPECT_EQ(clipped[1], 3) << "every bin gains 1";
    EXPECT_EQ(map[1023], static_cast<std::int32_t>((4400.0 + 1024) / 4400 * 1023.0));
}

TEST(ToneforgeLocalEqualisation, FlattensAndRescales)
{
    std::vector<double> image = Texture(120, 90);
    const TileGeometry g = BuildTileGeometry(120, 90, 2, 2);
    ASSERT_TRUE(g.valid);
    ParaLocalContrastEnhance(image.data(), 120, 90, g, 2.0);
    const MinMax m = MaxMinHKL(image.data(), 120, 90);
    EXPECT_EQ(m.min, 0.0);
    EXPECT_EQ(m.max, 1.0);
}

// Every stage that splits its passes into row bands, on one thread and on
// band counts that leave uneven bands: the doubles must agree bit for bit.
TEST(ToneforgeRowBands, EveryStageIsBitIdenticalToOneThread)
{
    _tagIMG_PARAM_IntraOral p{};
    p.m_ERCL = 0.002;
    p.m_ERCH = 0.005;
    p.m_ERGA = 0.4;
    p.m_MFGBsig = 21;
    p.m_M_expoHi = 2;
    p.m_M_expoLo = 2;
    p.m_m_split = 0.5;
    p.m_FFSF_Msize = 5;
    p.m_FFSF_sigma = 0.02;
    p.m_FFSF_skip = 1;
    p.m_AUMTH = 0.3;
    p.m_AUMWH = 2;
    p.m_AUMWL = 1;
    p.m_ALCL = 0.01;
    p.m_ALCH = 0.01;
    p.m_ALS1 = 0.06;
    p.m_ABCGS_cL = p.m_ABCGS_cH = 6;
    p.m_Test_S1 = 0.05;
    const std::array<double, 512> weights = LevelWeightTable(p);
    const int w = 71, h = 53;
    const TileGeometry tiles = BuildTileGeometry(w, h, 3, 3);
    ASSERT_TRUE(tiles.valid);
    std::vector<std::uint16_t> out(static_cast<std::size_t>(w) * h);

    struct Stage {
        const char* name;
        std::function<void(double*, int)> run;
    };
    const std::vector<Stage> stages = {
        {"scaling", [&](double* v, int t) { ScalingHKL(v, w, h, 1023.0, t); }},
        {"auto-level", [&](double* v, int t) { AutoLevel_20070201(v, w, h, 0.01, 0.02, 0.1, t); }},
        {"exposure", [&](double* v, int t) { ParaExpoReco_20070201(v, w, h, p, t); }},
        {"gaussian", [&](double* v, int t) { FastGaussianBlurring(v, w, h, 9, t); }},
        {"moroney", [&](double* v, int t) { Moroney(v, w, h, p, t); }},
        {"sigma", [&](double* v, int t) { FastSigmaFilter(v, w, h, 7, 0.05, 2, t); }},
        {"negative detail", [&](double* v, int t) {
             for (int i = 0; i < w * h; ++i)
                 v[i] = i % 3 == 0 ? 0.0 : v[i] - 0.5;
             ChangeHighIMG(v, w, h, t);
         }},
        {"unsharp mask", [&](double* v, int t) { FAUMHKL_2(v, w, h, 5, weights.data(), p, t); }},
        {"local contrast", [&](double* v, int t) { ParaLocalContrastEnhance(v, w, h, tiles, 1.3, t); }},
        {"final", [&](double* v, int t) { AdjustBrightContrastGammaSigmoid(v, w, h, p, out.data(), t); }},
    };
    for (const Stage& stage : stages) {
        std::vector<double> reference = Texture(w, h);
        stage.run(reference.data(), 1);
        for (int threads : {2, 4, 7, 53, 100}) {
            std::vector<double> banded = Texture(w, h);
            stage.run(banded.data(), threads);
            ASSERT_EQ(0, std::memcmp(banded.data(), reference.data(), banded.size() * sizeof(double)))
                << stage.name << " with " << threads << " threads";
        }
    }
}

TEST(ToneforgeCutCorners, MarksBothCornersAndMirrorsAcrossTheCut)
{
    // 8 x 6, c = 3: column x is cut from row min(x + 3, 3 + 7 - x).
    const int w = 8, h = 6;
    std::vector<std::uint16_t> image(w * h);
    for (int i = 0; i < w * h; ++i)
        image[i] = static_cast<std::uint16_t>(100 + i);
    const std::vector<std::uint16_t> original = image;
    std::vector<std::uint8_t> mask(w * h);
    MarkAndFillCutCorners(image.data(), mask.data(), w, h, 3);

    const int firstCut[8] = {3, 4, 5, 6, 6, 5, 4, 3};
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y)
            ASSERT_EQ(mask[y * w + x], y >= firstCut[x] ? 1 : 0) << x << "," << y;

    // Column 0: last uncut row 2; row 3 takes (2, 1), row 4 (2, 2), row 5 (2, 3).
    EXPECT_EQ(image[3 * w + 0], original[2 * w + 1]);
    EXPECT_EQ(image[4 * w + 0], original[2 * w + 2]);
    EXPECT_EQ(image[5 * w + 0], original[2 * w + 3]);
    // Column 7 mirrors to the left.
    EXPECT_EQ(image[3 * w + 7], original[2 * w + 6]);
    EXPECT_EQ(image[5 * w + 7], original[2 * w + 4]);
    // Uncut pixels keep their values.
    EXPECT_EQ(image[2 * w + 0], original[2 * w + 0]);
    EXPECT_EQ(image[5 * w + 4], original[5 * w + 4]);
}

TEST(ToneforgeCutCorners, SourcesOutsideOrInsideACutFallBackTowardTheColumn)
{
    // 4 x 10, c = 1: the corners meet; sources run out of the image and into
    // the other corner's cut.
    const int w = 4, h = 10;
    std::vector<std::uint16_t> image(w * h);
    for (int i = 0; i < w * h; ++i)
        image[i] = static_cast<std::uint16_t>(1000 + i);
    const std::vector<std::uint16_t> original = image;
    std::vector<std::uint8_t> mask(w * h);
    MarkAndFillCutCorners(image.data(), mask.data(), w, h, 1);
    // Column 0 is cut from row 1; row 0 has columns 0 ... 3 uncut.
    EXPECT_EQ(image[1 * w + 0], original[0 * w + 1]);
    EXPECT_EQ(image[3 * w + 0], original[0 * w + 3]);
    EXPECT_EQ(image[9 * w + 0], original[0 * w + 3]) << "held at the last column";
    // Column 1 is cut from row 2; on row 1 columns 0 and 3 are cut, so the
    // source walks back to column 2, then to column 1 itself.
    EXPECT_EQ(image[2 * w + 1], original[1 * w + 2]);
    EXPECT_EQ(image[3 * w + 1], original[1 * w + 2]);

    // Cut from row 0 and above: nothing to fill from.
    std::vector<std::uint16_t> all(w * h, 500);
    MarkAndFillCutCorners(all.data(), mask.data(), w, h, -1000);
    EXPECT_EQ(all, std::vector<std::uint16_t>(w * h, 0));
    EXPECT_EQ(mask, std::vector<std::uint8_t>(w * h, 1));
}

}  // namespace
}  // namespace toneforge
