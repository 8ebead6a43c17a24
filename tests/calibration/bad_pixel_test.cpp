// Outline mask and fills, box mean, bad-pixel correction and the auxiliary
// despeckle.
#include <gtest/gtest.h>

#include <numeric>
#include <random>

#include "calibration/auxiliary_despeckle.h"
#include "calibration/bad_pixel_correction.h"
#include "calibration/bad_pixel_map.h"
#include "calibration/box_mean.h"
#include "calibration/outline_mask.h"
#include "step_fixture.h"

namespace {

using calibration_test::StepFixture;

int ColumnHeight(const std::vector<std::int16_t>& mask, int width, int height, int column)
{
    int rows = 0;
    for (int y = 0; y < height; ++y) rows += mask[static_cast<std::size_t>(y) * width + column];
    return rows;
}

TEST(BuildOutlineMask, DefaultSensorCorners)
{
    const int w = 910, h = 688;
    const std::vector<std::int16_t> mask = kordex::BuildOutlineMask(w, h, 140, 140);
    EXPECT_EQ(ColumnHeight(mask, w, h, 0), 141);
    EXPECT_EQ(ColumnHeight(mask, w, h, w - 1), 141);
    EXPECT_EQ(ColumnHeight(mask, w, h, 140), 1);
    EXPECT_EQ(ColumnHeight(mask, w, h, w - 141), 1);
    EXPECT_EQ(ColumnHeight(mask, w, h, 141), 0);
    EXPECT_EQ(ColumnHeight(mask, w, h, w / 2), 0);
    // Marks are at the bottom of each column, contiguous.
    EXPECT_EQ(mask[static_cast<std::size_t>(h - 141) * w], 1);
    EXPECT_EQ(mask[static_cast<std::size_t>(h - 142) * w], 0);
    // The curve never falls below the straight cut and never rises above N.
    for (int i = 1; i < 140; ++i) {
        const int rows = ColumnHeight(mask, w, h, i);
        EXPECT_GE(rows, 140 - i + 1) << i;
        EXPECT_LE(rows, ColumnHeight(mask, w, h, i - 1)) << i;
    }
}

TEST(BuildOutlineMask, CutOffAtOrAboveTheHeightMarksAtMostTheWholeColumn)
{
    const std::vector<std::int16_t> mask = kordex::BuildOutlineMask(9, 5, 20, 20);
    EXPECT_EQ(ColumnHeight(mask, 9, 5, 0), 5);
    EXPECT_EQ(ColumnHeight(mask, 9, 5, 8), 5);
    EXPECT_EQ(ColumnHeight(mask, 9, 5, 4), 5) << "the middle column, marked once";
}

TEST(FillOutline, ImageFormConstantAndSmooth)
{
    // 40 x 20 image, outline = the two left columns of the bottom rows.
    const int w = 40, h = 20;
    std::vector<std::int16_t> mask(static_cast<std::size_t>(w) * h, 0);
    std::vector<std::int16_t> image(mask.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image[static_cast<std::size_t>(y) * w + x] = static_cast<std::int16_t>(100 * x);
    for (int y = 15; y < h; ++y) {
        mask[static_cast<std::size_t>(y) * w] = 1;
        mask[static_cast<std::size_t>(y) * w + 1] = 1;
        mask[static_cast<std::size_t>(y) * w + w - 1] = 1;
    }
    std::vector<std::int16_t> constant = image;
    kordex::FillOutlineImage(constant.data(), mask.data(), w, h, -32766, 2);
    EXPECT_EQ(constant[15 * w], -32766);
    EXPECT_EQ(constant[15 * w + 2], 200);

    kordex::FillOutlineImage(image.data(), mask.data(), w, h, -32767, 2);
    // Radius min(40, 20) / 20 = 1. Row 17, column 0: the run takes 200 (the
    // first inner pixel); the 3 x 3 mean of 200s around it is 200.
    EXPECT_EQ(image[17 * w], 200);
    EXPECT_EQ(image[17 * w + 1], (200 + 200 + 200) * 3 / 9) << "neighbours 200, 200, 200";
    EXPECT_EQ(image[17 * w + w - 1], (3800 * 2 + 3800) * 3 / 9) << "trailing run takes 3800";
    EXPECT_EQ(image[17 * w + 2], 200) << "inner pixels unchanged";
}

TEST(BoxMean1D, EdgesRepeatAndDivisionTruncates)
{
    const std::int16_t src[5] = {10, 20, 30, 40, -50};
    std::int16_t dst[5];
    kordex::BoxMean1D(src, dst, 5, 1, 1);
    EXPECT_EQ(dst[0], (10 + 10 + 20) / 3);
    EXPECT_EQ(dst[2], 30);
    EXPECT_EQ(dst[4], (40 - 50 - 50) / 3) << "-20: truncation toward zero";
    kordex::BoxMean1D(src, dst, 5, 1, 0);
    EXPECT_EQ(dst[3], 40);
    // A radius larger than the line: every position repeats the edges.
    kordex::BoxMean1D(src, dst, 1, 1, 3);
    EXPECT_EQ(dst[0], 10);
}

class CorrectionTest : public StepFixture {};

TEST_F(CorrectionTest, BestMatchingPairWins)
{
    MakeFrame(10, 8, 500);
    At(4, 3) = 1000;  // left
    At(6, 3) = 1010;  // right
    At(5, 2) = 900;   // up
    At(5, 4) = 1200;  // down
    At(4, 2) = 0;     // diagonals far apart
    At(6, 4) = 3000;
    At(6, 2) = 0;
    At(4, 4) = 3000;
    At(5, 3) = 7777;
    std::vector<std::int16_t> map = Map();
    map[3 * 10 + 5] = 255;
    kordex::CorrectBadPixels(ctx, map.data(), nullptr, false);
    EXPECT_EQ(At(5, 3), 1005);
}

TEST_F(CorrectionTest, EdgePixelsUseTheRingsOnly)
{
    MakeFrame(10, 8, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x) At(x, y) = static_cast<std::int16_t>(10 * x + 1000 * y);
    std::vector<std::int16_t> map = Map();
    map[5] = 255;       // row 0, column 5
    map[4 * 10] = 255;  // row 4, column 0
    kordex::CorrectBadPixels(ctx, map.data(), nullptr, false);
    // Ring 1: down, left, right, down-right, down-left; ring 2: down, left, right.
    EXPECT_EQ(At(5, 0), (1050 + 40 + 60 + 1060 + 1040 + 2050 + 30 + 70) / 8);
    // Column 0: ring 1 up, down, right, down-right, up-right; ring 2 up, down, right.
    EXPECT_EQ(At(0, 4), (3000 + 5000 + 4010 + 5010 + 3010 + 2000 + 6000 + 4020) / 8);
}

TEST_F(CorrectionTest, ErrorsAreCountedLoggedAndLimited)
{
    // 80 x 80 with every pixel bad: no good neighbour anywhere. The limit is
    // 80 * 80 / 4 = 1600 errors per band.
    MakeFrame(80, 80, 100);
    std::vector<std::int16_t> map = Map(255);
    kordex::CorrectBadPixels(ctx, map.data(), nullptr, false);
    std::vector<std::string> texts;
    for (const auto& l : lines) texts.push_back(l.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"WRN: BPM can't correct pix[0,0] err#1",
                                               "WRN: BPM can't correct pix[40,12] err#1001",
                                               "WRN: BPM stopped at pix[0,20] after 1600 errors"}));
    EXPECT_EQ(abortWord, -1);
    EXPECT_EQ(At(5, 5), 100);
}

TEST_F(CorrectionTest, OutlinePixelsAreNeverCorrectedNorNeighbours)
{
    MakeFrame(10, 8, 1000);
    std::vector<std::int16_t> outline = Map();
    for (int y = 0; y < 8; ++y) outline[static_cast<std::size_t>(y) * 10 + 4] = 1;  // column 4 is outline
    for (int y = 0; y < 8; ++y) At(4, y) = 30000;
    ctx.outlineMask = outline.data();
    std::vector<std::int16_t> automatic = Map();
    std::vector<std::int16_t> manual = Map();
    manual[3 * 10 + 4] = 255;  // a manual mark on the outline changes nothing
    automatic[3 * 10 + 4] = 128;
    manual[3 * 10 + 5] = 9;    // right of the outline column
    At(5, 3) = 5;
    At(6, 3) = 1100;
    At(6, 2) = 1100;
    At(6, 4) = 1100;
    kordex::CorrectBadPixels(ctx, automatic.data(), manual.data(), false);
    EXPECT_EQ(At(4, 3), 30000) << "outline pixel untouched";
    // Left/right and both diagonal pairs touch the outline column; up/down wins.
    EXPECT_EQ(At(5, 3), 1000);
}

TEST_F(CorrectionTest, ManualMapAloneIsTheCombinedMap)
{
    MakeFrame(10, 8, 1000);
    std::vector<std::int16_t> manual = Map();
    manual[3 * 10 + 5] = 3;
    At(5, 3) = 0;
    kordex::CorrectBadPixels(ctx, nullptr, manual.data(), false);
    EXPECT_EQ(At(5, 3), 1000);
}

TEST_F(CorrectionTest, BadPixelStepReportsItsMaps)
{
    MakeFrame(10, 8, 1000);
    At(5, 3) = 0;
    std::vector<std::int16_t> manual = Map();
    manual[3 * 10 + 5] = 3;
    EXPECT_EQ(kordex::RunBadPixelStep(ctx), 0);
    EXPECT_TRUE(Reported("WRN: BadPixMap omitted"));
    WriteFrameFile("BPMM.raw", manual);
    EXPECT_EQ(kordex::RunBadPixelStep(ctx), 1);
    EXPECT_TRUE(Reported("BadPixMap start: manual")) << AllLines();
    EXPECT_TRUE(Reported("BadPixMap done"));
    EXPECT_EQ(At(5, 3), 1000);
    WriteFrameFile("BPM.raw", std::vector<std::int16_t>(3, 0));
    EXPECT_EQ(kordex::RunBadPixelStep(ctx), -1);
    EXPECT_TRUE(Reported("BadPixMap can't load automatic map"));
}

TEST_F(CorrectionTest, ErrorLimitLetsTheChainGoOn)
{
    MakeFrame(8, 8, 100);
    WriteFrameFile("BPM.raw", Map(255));
    EXPECT_EQ(kordex::RunBadPixelStep(ctx), 0);
    EXPECT_EQ(abortWord, 0) << "set back so the next step runs";
    EXPECT_TRUE(Reported("WRN: BPM stopped at pix[0,2] after 16 errors")) << AllLines();
}

class AuxiliaryDespeckleTest : public StepFixture {
protected:
    void SetUp() override
    {
        MakeFrame(7, 7, 1000);
        settings.deSpeckle.bpmEnable = 1;
        map = Map();
    }
    int Run() { return kordex::AuxiliaryDespeckle(ctx, map.data(), 0, 6); }
    std::int16_t Code(int x, int y) const { return map[static_cast<std::size_t>(y) * 7 + x]; }
    std::vector<std::int16_t> map;
};

TEST_F(AuxiliaryDespeckleTest, DiagonalsDecideAloneWithTheTwoSidedThreshold)
{
    At(3, 3) = 1351;
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(Code(3, 3), kordex::kCodeAuxDespeckle);
    map = Map();
    At(3, 3) = 1350;  // not more than 350
    EXPECT_EQ(Run(), 0);
    settings.deSpeckle.bpmEnable = 0;
    At(3, 3) = 5000;
    EXPECT_EQ(Run(), 0) << "disabled";
}

TEST_F(AuxiliaryDespeckleTest, OneSidedTestsWhenNeighboursAreBad)
{
    At(3, 3) = 1400;  // above T2, below T1 (450)
    map[2 * 7 + 2] = 255;  // up-left bad: diagonals out
    map[2 * 7 + 3] = 255;  // up bad: direct neighbours out
    EXPECT_EQ(Run(), 0) << "400 is not more than T1 from the row below";
    At(3, 3) = 1500;
    EXPECT_EQ(Run(), 1) << "row below differs by more than T1";
    EXPECT_EQ(Code(3, 3), kordex::kCodeAuxDespeckle);
}

TEST_F(CorrectionTest, EveryThreadCountGivesTheOneBandResult)
{
    // Clusters of bad pixels, bad rows across the band boundaries, a manual
    // map and many speckles for the auxiliary despeckle: every band reads
    // rows its neighbours correct. Repeated, since a race shows by chance.
    const int w = 160, h = 121;
    std::mt19937 random(5);
    std::uniform_int_distribution<int> level(900, 1100), speckle(0, 19), spot(0, w * h - 1);
    MakeFrame(w, h, 0);
    for (auto& v : frame) v = static_cast<std::int16_t>(speckle(random) == 0 ? 3000 : level(random));
    std::vector<std::int16_t> autoMap = Map(), manualMap = Map();
    for (int n = 0; n < 300; ++n) {
        const int at = spot(random), x = at % w, y = at / w;
        for (int dy = 0; dy < 3; ++dy)
            for (int dx = 0; dx < 3; ++dx)
                if (x + dx < w && y + dy < h) autoMap[static_cast<std::size_t>(y + dy) * w + x + dx] = 255;
    }
    for (int y = 0; y < h; y += 12)
        for (int x = 0; x < w; ++x) manualMap[static_cast<std::size_t>(y) * w + x] = 256;
    settings.deSpeckle.bpmEnable = 1;
    const std::vector<std::int16_t> input = frame;
    auto corrected = [&](int threads) {
        frame = input;
        ctx.frame = frame.data();
        ctx.threads = threads;
        std::vector<std::int16_t> a = autoMap, m = manualMap;
        kordex::CorrectBadPixels(ctx, a.data(), m.data(), true);
        return frame;
    };
    const std::vector<std::int16_t> oneBand = corrected(1);
    ASSERT_NE(oneBand, input);
    for (int round = 0; round < 20; ++round)
        for (int threads = 2; threads <= 5; ++threads)
            ASSERT_EQ(corrected(threads), oneBand) << threads << " threads, round " << round;
}

TEST_F(CorrectionTest, ABandCorrectsWithTheMarksOfTheBandAbove)
{
    // Two bands. The lower one has nothing to examine (manual code 1, never
    // tested nor corrected) but its first row, bad, whose only good
    // neighbours are the upper band's last three rows; the upper band is slow
    // to despeckle (every pixel good) and holds speckles in those rows. The
    // lower band's row must be corrected from the marked speckles' good
    // neighbours only, as with one band, however far the upper band is.
    const int w = 600, h = 400, boundary = h / 2;
    MakeFrame(w, h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) At(x, y) = static_cast<std::int16_t>(1000 + (x * 7 + y * 3) % 20);
    for (int x = 0; x < w; x += 4) {
        At(x, boundary - 1) = 3000;      // one-sided test against the row above
        At(x + 2, boundary - 3) = 3000;  // the diagonals
    }
    std::vector<std::int16_t> autoMap = Map(), manualMap = Map();
    for (int x = 0; x < w; ++x) autoMap[static_cast<std::size_t>(boundary) * w + x] = 255;
    for (std::size_t i = static_cast<std::size_t>(boundary + 1) * w; i < manualMap.size(); ++i) manualMap[i] = 1;
    settings.deSpeckle.bpmEnable = 1;
    const std::vector<std::int16_t> input = frame;
    auto corrected = [&](int threads) {
        frame = input;
        ctx.frame = frame.data();
        ctx.threads = threads;
        std::vector<std::int16_t> a = autoMap, m = manualMap;
        kordex::CorrectBadPixels(ctx, a.data(), m.data(), true);
        return std::vector<std::int16_t>(frame.begin() + static_cast<std::ptrdiff_t>(boundary) * w,
                                         frame.begin() + static_cast<std::ptrdiff_t>(boundary + 1) * w);
    };
    const std::vector<std::int16_t> oneBand = corrected(1);
    for (std::int16_t v : oneBand) ASSERT_LT(v, 1100) << "no speckle value taken";
    for (int round = 0; round < 10; ++round) ASSERT_EQ(corrected(2), oneBand) << "round " << round;
}

}  // namespace
