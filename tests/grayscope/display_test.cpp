// Statistics, truncation, grey map, draw-mode reduction, zoom and point
// mapping, histogram resampling and tick steps.
#include <gtest/gtest.h>

#include <algorithm>

#include "grayscope/view/grey_map.h"
#include "grayscope/view/histogram_plot.h"
#include "grayscope/view/min_max_reduction.h"
#include "grayscope/view/truncation.h"
#include "grayscope/view/zoom.h"
#include "tests/grayscope/test_image.h"

using namespace grayscope;
using grayscope_test::MakeImage;

namespace {

ViewerImage Ramp100()
{
    return MakeImage(10, 10, [](int x, int y) { return y * 10 + x; });
}

}  // namespace

TEST(ViewerImageStatistics, MinMaxMeanMedianHistogram)
{
    const ViewerImage image = Ramp100();
    EXPECT_EQ(image.min, 0);
    EXPECT_EQ(image.max, 99);
    EXPECT_EQ(image.range, 100);
    EXPECT_FLOAT_EQ(image.mean, 49.5f);
    // Running sum reaches 50 at value 49.
    EXPECT_EQ(image.median, 49);
    ASSERT_EQ(image.histogram.size(), 100u);
    EXPECT_EQ(image.histogram[0], 1u);
}

TEST(ViewerImageStatistics, SamplesAboveSignedRangeCountAsNegative)
{
    const ViewerImage image = MakeImage(4, 1, [](int x, int) { return x == 0 ? 0xFFFF : 100; });
    EXPECT_EQ(image.min, -1);
    EXPECT_EQ(image.max, 100);
}

TEST(Truncation, CasesOnARampOfHundredValues)
{
    const ViewerImage image = Ramp100();
    struct Case {
        int tenths;
        Side side;
        int expected;
    };
    const Case cases[] = {
        {10, Side::Black, 0},   {10, Side::White, 99},  {0, Side::Black, 0},   {0, Side::White, 99},
        {50, Side::Black, 4},   {50, Side::White, 95},  {-50, Side::Black, 95}, {-50, Side::White, 4},
        {5, Side::Black, 0},    {999, Side::Black, 98},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TruncatedPoint(&image, c.tenths, c.side), c.expected) << c.tenths;
}

TEST(Truncation, NoImageGivesZeroAnd4095)
{
    EXPECT_EQ(TruncatedPoint(nullptr, 10, Side::Black), 0);
    EXPECT_EQ(TruncatedPoint(nullptr, 10, Side::White), 4095);
    const ViewerImage empty;
    EXPECT_EQ(TruncatedPoint(&empty, 10, Side::White), 4095);
}

TEST(GreyMap, LevelsForTheDocumentedCases)
{
    struct Case {
        int sample, black, white, top, expected;
    };
    const Case cases[] = {
        {0, 4095, 4095, 255, 253},     // flat map, capped at 253
        {5000, -100, -100, 255, 6},    // |W| * 255 / 4095
        {0, 0, 4095, 255, 0},          {4095, 0, 4095, 255, 255}, {2048, 0, 4095, 255, 127},
        {4095, 0, 4095, 253, 253},     {5000, 0, 4095, 255, 255}, {-5, 0, 4095, 255, 0},
        {0, 1000, 0, 255, 255},        // negative image: low values white
        {1000, 1000, 0, 255, 0},       {500, 1000, 0, 255, 127},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GreyLevel(c.sample, c.black, c.white, c.top), c.expected)
            << c.sample << " " << c.black << " " << c.white;
}

TEST(GreyMap, WholeImageIsBottomUpAndPaddedAndMatchesThePixelRule)
{
    const ViewerImage image = MakeImage(5, 3, [](int x, int y) { return x * 1000 + y * 7 - 300; });
    std::vector<std::uint8_t> out;
    MapGrey(image, 0, 4095, 255, &out);
    ASSERT_EQ(out.size(), 8u * 3u);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(out[(2 - y) * 8 + x], GreyLevel(image.At(x, y), 0, 4095, 255));
        EXPECT_EQ(out[(2 - y) * 8 + 5], 0);
    }
    MapGrey(image, 4095, 4095, 255, &out);
    EXPECT_EQ(out[0], 253);
}

TEST(GreyMap, MaskColoursAndPalette)
{
    const ViewerImage image = MakeImage(3, 2, [](int, int) { return 4095; });
    std::vector<std::uint8_t> levels;
    MapGrey(image, 0, 4095, kTopLevelWithMask, &levels);
    const std::uint8_t mask[6] = {0, 1, 2, 3, 0, 0};  // top row: none, auto, manual; bottom: both, none, none
    PaintMask(mask, 3, 2, levels.data());
    // Top image row is the last bitmap row (stride 4).
    EXPECT_EQ(levels[4 + 0], 253);
    EXPECT_EQ(levels[4 + 1], kLevelAutoMask);
    EXPECT_EQ(levels[4 + 2], kLevelManualMask);
    EXPECT_EQ(levels[0], kLevelManualMask);
    const auto palette = GreyPalette(true);
    EXPECT_EQ(palette[254], 0x800080u);
    EXPECT_EQ(palette[255], 0xFF00FFu);
    EXPECT_EQ(GreyPalette(false)[255], 0xFFFFFFu);
}

TEST(DrawModes, MinMaxReductionKeepsAThinLine)
{
    // 100 x 100 mid grey with one dark column (10) and one bright row (250).
    const ViewerImage image = MakeImage(100, 100, [](int x, int y) { return x == 37 ? 10 : (y == 61 ? 250 : 128); });
    std::vector<std::uint8_t> levels;
    MapGrey(image, 0, 255, 255, &levels);
    std::vector<std::uint8_t> out, scratch;
    ReduceMinMax(levels.data(), 100, 100, Rect{0, 0, 100, 100}, 10, 10, Reduction::KeepDark, &out, &scratch);
    ASSERT_EQ(out.size(), 12u * 10u);
    for (int y = 0; y < 10; ++y)
        EXPECT_EQ(out[y * 12 + 3], 10) << y;  // column 37 falls into block 3
    EXPECT_EQ(out[0], 128);
    ReduceMinMax(levels.data(), 100, 100, Rect{0, 0, 100, 100}, 10, 10, Reduction::KeepBright, &out, &scratch);
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(out[6 * 12 + x], 250) << x;  // row 61, top row first
    // Enlarging picks single pixels.
    ReduceMinMax(levels.data(), 100, 100, Rect{36, 60, 38, 62}, 4, 4, Reduction::KeepDark, &out, &scratch);
    EXPECT_EQ(out[0], 128);
    EXPECT_EQ(out[2], 10);
    EXPECT_EQ(out[2 * 4 + 0], 250);
}

TEST(DrawModes, BandedReductionMatchesTheBlockRule)
{
    // Large enough to run in several row bands.
    const ViewerImage image = MakeImage(900, 700, [](int x, int y) { return (x * 7 + y * 13) % 251; });
    std::vector<std::uint8_t> levels;
    MapGrey(image, 0, 255, 255, &levels);
    std::vector<std::uint8_t> out, scratch;
    const Rect source{17, 9, 873, 690};
    const int dw = 301, dh = 199;
    ReduceMinMax(levels.data(), 900, 700, source, dw, dh, Reduction::KeepBright, &out, &scratch);
    const int outStride = PaddedRowBytes(dw);
    for (int y = 0; y < dh; y += 7)
        for (int x = 0; x < dw; x += 5) {
            const int x0 = source.left + x * source.Width() / dw;
            const int x1 = std::max(source.left + (x + 1) * source.Width() / dw, x0 + 1);
            const int y0 = source.top + y * source.Height() / dh;
            const int y1 = std::max(source.top + (y + 1) * source.Height() / dh, y0 + 1);
            int expected = 0;
            for (int j = y0; j < y1; ++j)
                for (int i = x0; i < x1; ++i)
                    expected = std::max(expected, image.At(i, j));
            ASSERT_EQ(out[y * outStride + x], expected) << x << "," << y;
        }
}

TEST(Zoom, ClampsTypedValues)
{
    EXPECT_EQ(ClampZoom(0), 1);
    EXPECT_EQ(ClampZoom(-5), 1);
    EXPECT_EQ(ClampZoom(150), 99);
    EXPECT_EQ(ClampZoom(100), 99);
    EXPECT_EQ(ClampZoom(7), 7);
}

TEST(Zoom, FitAtTheBottomAndCentredSecondZoom)
{
    const Rect area{0, 0, 400, 400};
    const ViewLayout z1 = ComputeLayout(1000, 500, area, 1, Rect{});
    EXPECT_EQ(z1.source, (Rect{0, 0, 1000, 500}));
    EXPECT_EQ(z1.destination, (Rect{0, 200, 400, 400}));
    EXPECT_FALSE(z1.scrollBars);
    const ViewLayout z2 = ComputeLayout(1000, 500, area, 2, z1.source);
    EXPECT_EQ(z2.source.left, 250);
    EXPECT_EQ(z2.source.right - 1, 749);
    EXPECT_EQ(z2.source.Height(), 500);
    EXPECT_EQ(z2.destination, (Rect{0, 0, 400, 400}));
    EXPECT_TRUE(z2.scrollBars);
    EXPECT_EQ(z2.hScrollMax, 500);
    EXPECT_EQ(z2.vScrollMax, 0);
}

TEST(Zoom, TallImageAndKeptCentre)
{
    const Rect area{10, 20, 410, 320};  // 400 x 300
    const ViewLayout z1 = ComputeLayout(300, 900, area, 1, Rect{});
    EXPECT_EQ(z1.destination, (Rect{10, 320 - 300, 10 + 100, 320}));
    // Zooming in around a centre near the top keeps the source inside the image.
    const ViewLayout z4 = ComputeLayout(300, 900, area, 4, Rect{0, 0, 300, 100});
    EXPECT_EQ(z4.source.top, 0);
    EXPECT_EQ(z4.source.Height(), 225);
    const Rect scrolled = ScrollTo(z4, 1000, 1000);
    EXPECT_EQ(scrolled.top, LastScrollPosition(z4.vScrollMax));
}

TEST(Zoom, PointMappingBothWays)
{
    const ViewLayout z1 = ComputeLayout(1000, 500, Rect{0, 0, 400, 400}, 1, Rect{});
    int x = 0, y = 0;
    EXPECT_TRUE(ClientToPixel(z1, 0, 200, &x, &y));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_TRUE(ClientToPixel(z1, 399, 399, &x, &y));
    EXPECT_EQ(x, 997);
    EXPECT_EQ(y, 497);
    EXPECT_FALSE(ClientToPixel(z1, 100, 199, &x, &y));
    EXPECT_FALSE(ClientToPixel(z1, 400, 300, &x, &y));
    int px = 0, py = 0;
    PixelToClient(z1, 500, 250, &px, &py);
    EXPECT_EQ(px, 200);
    EXPECT_EQ(py, 300);
    const ViewLayout z2 = ComputeLayout(1000, 500, Rect{0, 0, 400, 400}, 2, z1.source);
    EXPECT_TRUE(ClientToPixel(z2, 200, 200, &x, &y));
    EXPECT_EQ(x, 500);
    EXPECT_EQ(y, 250);
}

TEST(Zoom, EmptyAreaOrImageGivesNothing)
{
    EXPECT_EQ(ComputeLayout(100, 100, Rect{0, 0, 0, 50}, 1, Rect{}).destination.Width(), 0);
    EXPECT_EQ(ComputeLayout(0, 100, Rect{0, 0, 50, 50}, 1, Rect{}).source.Width(), 0);
}

TEST(HistogramPlot, EqualRangeIsDrawnAsFullRange)
{
    const HistogramRange r = EffectiveRange(100, 100, 0);
    EXPECT_EQ(r.min, 0);
    EXPECT_EQ(r.max, 4095);
    EXPECT_EQ(r.scale, 500);
    EXPECT_EQ(EffectiveRange(10, 20, 7).min, 10);
    EXPECT_EQ(HistogramY(0, r, 100, 200), 187);
    EXPECT_EQ(HistogramY(4095, r, 100, 200), 87);
}

TEST(HistogramPlot, DownsamplingAveragesRowsWithSeveralValues)
{
    // Values 0..99, value v occurs v + 1 times... kept small: counts 1,2,3,4 for 0..3.
    const ViewerImage image = MakeImage(10, 1, [](int x, int) { return x < 1 ? 0 : (x < 3 ? 1 : (x < 6 ? 2 : 3)); });
    // 4 values onto 2 rows: row of v = v * 1 / 3 -> 0,0,0,1.
    const auto rows = ResampleHistogram(image, 0, 3, 2);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (6u * 32 / 3 + 15) / 32);  // 1+2+3 over 3 values
    EXPECT_EQ(rows[1], 4u);
}

TEST(HistogramPlot, UpsamplingPicksCountersAndSameRowDrawsNothing)
{
    const ViewerImage image = MakeImage(4, 1, [](int x, int) { return x == 0 ? 10 : 11; });
    const auto rows = ResampleHistogram(image, 10, 11, 5);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0], 1u);
    EXPECT_EQ(rows[4], 3u);
    EXPECT_TRUE(ResampleHistogram(image, 0, 4095, 10).empty());
    EXPECT_EQ(BarLength(500, 100, 10, 500), 100);
    EXPECT_EQ(BarLength(500, 100, 300000, 500), 33);
}

TEST(HistogramPlot, TickSteps)
{
    struct Case {
        int lo, hi, wanted, step, first, last;
    };
    const Case cases[] = {
        {0, 4, 5, 1, 0, 4},          {0, 4095, 5, 1000, 0, 5000}, {0, 4095, 12, 400, 0, 4400},
        {13, 97, 5, 20, 0, 100},     {0, 100, 1, 40, 0, 120},     {-130, 4095, 10, 500, -0, 4500},
    };
    for (const Case& c : cases) {
        const TickSteps t = ChooseTicks(c.lo, c.hi, c.wanted);
        EXPECT_EQ(t.step, c.step) << c.lo << ".." << c.hi;
        EXPECT_EQ(t.first, c.first) << c.lo << ".." << c.hi;
        EXPECT_EQ(t.last, c.last) << c.lo << ".." << c.hi;
    }
}
