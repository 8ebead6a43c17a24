// Standalone despeckle of the calibration chain and the image despeckle of
// the processing chain.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "calibration/despeckle_step.h"
#include "calibration/image_despeckle.h"
#include "step_fixture.h"

namespace {

using calibration_test::StepFixture;

class LineDespeckleTest : public StepFixture {
protected:
    void HotColumns(int first, int last)
    {
        MakeFrame(12, 10, 1000);
        for (int y = 0; y < 10; ++y)
            for (int x = first; x <= last; ++x) At(x, y) = 1300;
    }
};

TEST_F(LineDespeckleTest, HotColumnFoundByTheColumnTestAndCorrected)
{
    HotColumns(5, 5);
    settings.deSpeckle.lnDetType = 2;
    EXPECT_EQ(kordex::RunDespeckleStep(ctx), 1);
    EXPECT_TRUE(Reported("DeSpeckle done for 6 pixels")) << AllLines();
    for (int y = 2; y <= 7; ++y) EXPECT_EQ(At(5, y), 1000) << y;
    for (int y : {0, 1, 8, 9}) EXPECT_EQ(At(5, y), 1300) << "first and last two rows are never tested: " << y;
}

TEST_F(LineDespeckleTest, RowsOnlyDoesNotSeeAColumn)
{
    HotColumns(5, 5);
    settings.deSpeckle.lnDetType = 1;
    EXPECT_EQ(kordex::RunDespeckleStep(ctx), 1);
    EXPECT_TRUE(Reported("DeSpeckle done for 0 pixels")) << AllLines();
    EXPECT_EQ(At(5, 4), 1300);
}

TEST_F(LineDespeckleTest, TwoPixelWideColumnFoundThroughTheOuterColumns)
{
    HotColumns(5, 6);
    settings.deSpeckle.lnDetType = 0;
    std::vector<std::int16_t> map = Map();
    EXPECT_EQ(kordex::DetectLineSpeckles(ctx, map.data(), 0, 9), 12);
    for (int y = 2; y <= 7; ++y) {
        EXPECT_EQ(map[static_cast<std::size_t>(y) * 12 + 5], kordex::kCodeLineSpeckle);
        EXPECT_EQ(map[static_cast<std::size_t>(y) * 12 + 6], kordex::kCodeLineSpeckle);
    }
    EXPECT_EQ(kordex::RunDespeckleStep(ctx), 1);
    EXPECT_EQ(At(5, 4), 1000);
    EXPECT_EQ(At(6, 5), 1000);
}

TEST_F(LineDespeckleTest, EdgesAndMarginsAreNeverFlagged)
{
    MakeFrame(12, 10, 1000);
    At(1, 5) = 5000;  // second column
    At(5, 8) = 5000;  // second-to-last row
    At(8, 5) = 5000;  // inside the right margin
    ctx.right = 4;
    settings.deSpeckle.lnDetType = 0;
    std::vector<std::int16_t> map = Map();
    EXPECT_EQ(kordex::DetectLineSpeckles(ctx, map.data(), 0, 9), 0);
}

TEST_F(LineDespeckleTest, AbortEndsWithZero)
{
    HotColumns(5, 5);
    abortWord = 1;
    EXPECT_EQ(kordex::RunDespeckleStep(ctx), 0);
    EXPECT_EQ(At(5, 4), 1300);
}

class ImageDespeckleTest : public testing::Test {
protected:
    void Make(int w, int h, std::int16_t value)
    {
        image.assign(static_cast<std::size_t>(w) * h, value);
        ctx.image = image.data();
        ctx.width = w;
        ctx.height = h;
        ctx.threads = 2;
        ctx.abortWord = &abortWord;
        ctx.report = [this](const std::string& text) { reports.push_back(text); };
        ctx.dump = [this](const std::string& name, const std::int16_t*) { dumps.push_back(name); };
    }
    std::int16_t& At(int x, int y) { return image[static_cast<std::size_t>(y) * ctx.width + x]; }

    std::vector<std::int16_t> image;
    std::int32_t abortWord = 0;
    kordex::ImageDespeckleContext ctx;
    std::vector<std::string> reports, dumps;
};

// The reference median-of-three of a (2b+1) x (2b+1) window, by full sort.
std::vector<std::int16_t> MedianPassByFullSort(const std::vector<std::int16_t>& src, int w, int h, int b)
{
    std::vector<std::int16_t> out = src;
    for (int y = b; y < h - b; ++y)
        for (int x = b; x < w - b; ++x) {
            std::vector<int> v;
            for (int dy = -b; dy <= b; ++dy)
                for (int dx = -b; dx <= b; ++dx) v.push_back(src[static_cast<std::size_t>(y + dy) * w + x + dx]);
            std::sort(v.begin(), v.end());
            const std::size_t m = v.size() / 2;
            out[static_cast<std::size_t>(y) * w + x] = static_cast<std::int16_t>((v[m - 1] + v[m] + v[m + 1]) / 3);
        }
    return out;
}

std::vector<std::int16_t> Median3x3(const std::vector<std::int16_t>& src, int w, int h)
{
    return MedianPassByFullSort(src, w, h, 1);
}

TEST_F(ImageDespeckleTest, ThresholdZeroRunsTheMedianPassesWithoutDumps)
{
    Make(9, 7, 0);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::int16_t>((i * 7919) % 1000 - 300);
    const std::vector<std::int16_t> expected = Median3x3(Median3x3(image, 9, 7), 9, 7);
    EXPECT_EQ(kordex::ImageDespeckle(ctx, {0, 2, -1}), 1);
    EXPECT_EQ(image, expected);
    EXPECT_TRUE(dumps.empty());
    EXPECT_EQ(reports, (std::vector<std::string>{"Despeckle start", "Despeckle done"}));
}

// Random images of many shapes (rows longer than the pass's chunks, too few
// rows or columns for any window) with the extreme sample values frequent,
// against the full sort, over thread counts and two passes.
TEST_F(ImageDespeckleTest, MedianPassesMatchTheFullSortOnRandomImages)
{
    struct Case {
        int w, h, threads;
    };
    const Case cases[] = {{1300, 6, 2}, {1026, 5, 1}, {40, 33, 3}, {3, 3, 1}, {2, 9, 2}, {9, 2, 2}, {17, 4, 5}};
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> pick(0, 3), any(-32768, 32767);
    for (const Case& c : cases) {
        Make(c.w, c.h, 0);
        ctx.threads = c.threads;
        for (auto& v : image) {
            const int k = pick(rng);
            v = static_cast<std::int16_t>(k == 0 ? -32768 : k == 1 ? 32767 : any(rng));
        }
        const std::vector<std::int16_t> expected = Median3x3(Median3x3(image, c.w, c.h), c.w, c.h);
        EXPECT_EQ(kordex::ImageDespeckle(ctx, {0, 2, -1}), 1);
        EXPECT_EQ(image, expected) << c.w << "x" << c.h << " threads=" << c.threads;
    }
}

// The 5x5 median pass alone and after a 3x3 pass, on the same kind of
// images plus images of few levels (many equal values in a window).
TEST_F(ImageDespeckleTest, FiveByFiveMedianPassMatchesTheFullSortOnRandomImages)
{
    struct Case {
        int w, h, threads, levels;  // levels 0: extremes and the full range
    };
    const Case cases[] = {{1300, 8, 2, 0}, {1028, 7, 1, 0}, {1029, 9, 2, 3}, {40, 33, 3, 0},
                          {41, 23, 2, 2},  {5, 5, 1, 0},    {4, 9, 2, 0},    {9, 4, 2, 0},
                          {6, 12, 5, 5}};
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> pick(0, 3), any(-32768, 32767);
    for (const Case& c : cases) {
        for (const int threshold : {-1, 0}) {
            Make(c.w, c.h, 0);
            ctx.threads = c.threads;
            for (auto& v : image) {
                const int k = pick(rng);
                if (c.levels > 0)
                    v = static_cast<std::int16_t>(any(rng) % c.levels - 1);
                else
                    v = static_cast<std::int16_t>(k == 0 ? -32768 : k == 1 ? 32767 : any(rng));
            }
            std::vector<std::int16_t> expected = image;
            if (threshold == 0) expected = Median3x3(expected, c.w, c.h);
            expected = MedianPassByFullSort(expected, c.w, c.h, 2);
            EXPECT_EQ(kordex::ImageDespeckle(ctx, {threshold, 1, 0}), 1);
            EXPECT_EQ(image, expected) << c.w << "x" << c.h << " threads=" << c.threads << " levels=" << c.levels
                                       << " threshold=" << threshold;
        }
    }
}

TEST(ThirdOfSum, TruncatesTowardZeroForEverySumOfThreeSamples)
{
    for (int sum = -3 * 32768; sum <= 3 * 32767; ++sum) ASSERT_EQ(kordex::ThirdOfSum(sum), sum / 3) << sum;
}

TEST_F(ImageDespeckleTest, IsolatedBrightPixelTakesTheMeanOfItsNeighbours)
{
    Make(7, 7, 1000);
    const std::int16_t ring[8] = {1000, 1010, 1020, 1030, 1040, 1050, 1060, 1070};
    const int dy[8] = {-1, -1, -1, 0, 0, 1, 1, 1}, dx[8] = {-1, 0, 1, -1, 1, -1, 0, 1};
    for (int k = 0; k < 8; ++k) At(3 + dx[k], 3 + dy[k]) = ring[k];
    At(3, 3) = 3000;
    EXPECT_EQ(kordex::ImageDespeckle(ctx, {100, 1, -1}), 1);
    EXPECT_EQ(At(3, 3), (1000 + 1010 + 1020 + 1030 + 1040 + 1050 + 1060 + 1070) / 8);
    EXPECT_EQ(dumps, (std::vector<std::string>{"1desmap01"}));
}

TEST_F(ImageDespeckleTest, OneSimilarNeighbourIsLeftOutOfTheMean)
{
    Make(7, 7, 1000);
    At(3, 3) = 3000;
    At(4, 3) = 2990;  // right: similar (position 5) -- a two-pixel speck
    At(2, 2) = 1100;
    EXPECT_EQ(kordex::ImageDespeckle(ctx, {100, 1, -1}), 1);
    EXPECT_EQ(At(3, 3), (1100 + 1000 * 6) / 7);
}

TEST_F(ImageDespeckleTest, FiveByFiveDetectionReplacesByTheMedian)
{
    Make(9, 9, 1000);
    At(4, 4) = 5000;
    At(0, 0) = 5000;  // outside the tested rows and columns
    EXPECT_EQ(kordex::ImageDespeckle(ctx, {-1, 1, 200}), 1);
    EXPECT_EQ(At(4, 4), 1000);
    EXPECT_EQ(At(0, 0), 5000);
    EXPECT_EQ(dumps, (std::vector<std::string>{"1desmap5x5"}));
}

TEST_F(ImageDespeckleTest, BothThresholdsNegativeDoNothing)
{
    Make(5, 5, 1);
    At(2, 2) = 9000;
    EXPECT_EQ(kordex::ImageDespeckle(ctx, {-1, 1, -1}), 0);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(At(2, 2), 9000);
}

TEST_F(ImageDespeckleTest, AbortReturnsZero)
{
    Make(9, 9, 1000);
    abortWord = 1;
    EXPECT_EQ(kordex::ImageDespeckle(ctx, {0, 3, 0}), 0);
    EXPECT_EQ(reports, (std::vector<std::string>{"Despeckle start"}));
}

}  // namespace
