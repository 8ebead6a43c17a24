// The preview picture: its size, line-by-line drawing through the frame
// geometry, whole-image sampling, the 1/30 display window and the rendering.
#include <gtest/gtest.h>

#include <vector>

#include "ui/preview_image.h"

namespace kordex::ui {
namespace {

FrameGeometry Geometry(int width, int height, int rotation, int flip = 0)
{
    FrameGeometry g;
    g.frameWidth = width;
    g.frameHeight = height;
    g.rotation = rotation;
    g.flip = flip;
    DeriveGeometry(g);
    return g;
}

TEST(DisplayWindow, LeavesOutOneThirtiethAtEachEnd)
{
    std::vector<std::uint32_t> h(kHistogramLevels, 0);
    // 300 values: a = 10. Level 100 holds 4, 101 holds 6 (sum exactly 10),
    // level 200 holds 280, level 300 holds 10 (exactly a from the top).
    h[100] = 4;
    h[101] = 6;
    h[200] = 280;
    h[300] = 10;
    const DisplayWindow w = FindDisplayWindow(h, 300, 100, 300);
    EXPECT_EQ(w.low, 102) << "the sum equals a exactly: the level after";
    EXPECT_EQ(w.high, 299) << "the sum equals a exactly: one level below";

    h[101] = 7;  // sum 11 > a at level 101
    h[300] = 5;
    h[250] = 9;  // 5 + 9 = 14 > a at level 250
    const DisplayWindow v = FindDisplayWindow(h, 300, 100, 300);
    EXPECT_EQ(v.low, 101);
    EXPECT_EQ(v.high, 250);
}

TEST(DisplayWindow, FewValuesUseLowestAndHighest)
{
    std::vector<std::uint32_t> h(kHistogramLevels, 0);
    h[5] = 10;
    h[9] = 19;  // 29 values: a = 0
    const DisplayWindow w = FindDisplayWindow(h, 29, 5, 9);
    EXPECT_EQ(w.low, 5);
    EXPECT_EQ(w.high, 9);
}

TEST(GreyLevel, MapsTheWindowToEightBits)
{
    const DisplayWindow w{100, 355};
    struct Case {
        int value, grey;
    } cases[] = {{100, 0}, {355, 255}, {50, 0}, {1000, 255}, {101, 1}, {227, 127}, {228, 128}};
    for (const Case& c : cases) EXPECT_EQ(GreyLevel(c.value, w), c.grey) << c.value;
    EXPECT_EQ(GreyLevel(7, DisplayWindow{10, 10}), 128) << "an empty window is mid grey";
    EXPECT_EQ(GreyLevel(7, DisplayWindow{10, 5}), 128);
}

TEST(PreviewImage, ScalesTheCutImageIntoTheArea)
{
    PreviewImage p;
    p.Reset(Geometry(910, 688, 1), 344, 460);  // cut 688 x 910
    EXPECT_EQ(p.Width(), 344);
    EXPECT_EQ(p.Height(), 455);
    EXPECT_EQ(p.Stride(), 344);
    p.Reset(Geometry(910, 688, 0), 201, 400);  // cut 910 x 688, s = 201/910
    EXPECT_EQ(p.Width(), 201);
    EXPECT_EQ(p.Height(), 151);
    EXPECT_EQ(p.Stride(), 204);
}

TEST(PreviewImage, SamplesWholeImagesAtTheCorners)
{
    const FrameGeometry g = Geometry(40, 30, 0);
    std::vector<std::int16_t> image(40 * 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) image[y * 40 + x] = static_cast<std::int16_t>(y * 100 + x);
    PreviewImage p;
    p.Reset(g, 20, 15);
    p.DrawCutImage(image.data());
    EXPECT_EQ(p.Pixel(0, 0), 0);
    EXPECT_EQ(p.Pixel(19, 0), 39);
    EXPECT_EQ(p.Pixel(0, 14), 2900);
    EXPECT_EQ(p.Pixel(19, 14), 2939);
    EXPECT_EQ(p.Pixel(10, 7), 14 * 100 + 20) << "row 7*29/14, column 10*39/19";
    EXPECT_EQ(p.Count(), 300u);
    EXPECT_EQ(p.Lowest(), 0);
    EXPECT_EQ(p.Highest(), 2939);
}

TEST(PreviewImage, NegativeValuesCountAsZero)
{
    const FrameGeometry g = Geometry(4, 4, 0);
    std::vector<std::int16_t> image(16, -5);
    image[0] = static_cast<std::int16_t>(0x8000);
    PreviewImage p;
    p.Reset(g, 4, 4);
    p.DrawCutImage(image.data());
    EXPECT_EQ(p.Pixel(0, 0), 0);
    EXPECT_EQ(p.Highest(), 0);
}

constexpr std::int16_t kFill = static_cast<std::int16_t>(0x8000);

TEST(PreviewImage, ArrivedRowsFillPreviewRowsOrColumns)
{
    struct Case {
        int rotation;
        bool column;  // a raw row becomes a preview column
    } cases[] = {{0, false}, {1, true}, {2, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rotation);
        const FrameGeometry g = Geometry(8, 6, c.rotation);
        std::vector<std::int16_t> frame(8 * 6, kFill);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 8; ++x) frame[y * 8 + x] = static_cast<std::int16_t>(1000 * y + x);
        PreviewImage p;
        p.Reset(g, g.cutWidth, g.cutHeight);  // scale 1
        p.DrawAcquiredLines(frame.data());
        EXPECT_EQ(p.Count(), 3u * 8u) << "rows 0..2, eight pixels each";
        int ix, iy;
        MapFrameToImage(g, 5, 2, &ix, &iy);
        EXPECT_EQ(p.Pixel(ix, iy), 2005);
        if (c.column) {
            int ix0, iy0;
            MapFrameToImage(g, 0, 2, &ix0, &iy0);
            EXPECT_EQ(ix, ix0);
        }
        p.DrawAcquiredLines(frame.data());
        EXPECT_EQ(p.Count(), 24u) << "rows already drawn are not drawn again";

        // The bottom row arrives before the rows above it (the sensor sends
        // top and bottom rows alternately); a row still arriving waits.
        for (int x = 0; x < 8; ++x) frame[5 * 8 + x] = 5000;
        frame[4 * 8 + 0] = 4000;
        p.DrawAcquiredLines(frame.data());
        EXPECT_EQ(p.Count(), 32u);
        EXPECT_EQ(p.RowsDrawn(), 4);
    }
}

TEST(PreviewImage, RowsFallingOnTheSamePreviewLineAreDrawnOnce)
{
    const FrameGeometry g = Geometry(8, 8, 0);
    std::vector<std::int16_t> frame(64);
    for (int i = 0; i < 64; ++i) frame[i] = static_cast<std::int16_t>(i);
    PreviewImage p;
    p.Reset(g, 4, 4);  // scale 0.5: raw rows 0 and 1 -> preview row 0
    p.DrawAcquiredLines(frame.data());
    EXPECT_EQ(p.Count(), 16u);
    EXPECT_EQ(p.RowsDrawn(), 4);
    EXPECT_EQ(p.Pixel(1, 1), 2 * 8 + 2) << "the first raw row of each preview row";
}

TEST(PreviewImage, RendersBottomUpWithPaddedRows)
{
    const FrameGeometry g = Geometry(3, 2, 0);
    const std::vector<std::int16_t> image = {0, 0, 0, 300, 300, 300};
    PreviewImage p;
    p.Reset(g, 3, 2);
    p.DrawCutImage(image.data());
    std::vector<std::uint8_t> out(static_cast<std::size_t>(p.Stride()) * p.Height(), 7);
    p.Render(out.data());
    EXPECT_EQ(p.Stride(), 4);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{255, 255, 255, 0, 0, 0, 0, 0})) << "bottom row first";
}

}  // namespace
}  // namespace kordex::ui
