// The trimmed mode, the local mean and the automatic bad-pixel map.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "calibration/auto_bad_pixel_map.h"
#include "calibration/local_mean.h"
#include "calibration/trimmed_mode.h"
#include "calibration_set_fixture.h"

namespace {

using calibration_test::CalibrationSetFixture;

// value x count pairs.
std::vector<std::int16_t> Samples(std::initializer_list<std::pair<int, int>> bins)
{
    std::vector<std::int16_t> s;
    for (const auto& [value, count] : bins) s.insert(s.end(), static_cast<std::size_t>(count), static_cast<std::int16_t>(value));
    return s;
}

struct ModeCase {
    const char* what;
    std::vector<std::int16_t> samples;
    int expected;
};

void PrintTo(const ModeCase& c, std::ostream* os)
{
    *os << c.what;
}

class TrimmedModeTest : public testing::TestWithParam<ModeCase> {};

TEST_P(TrimmedModeTest, Value)
{
    const ModeCase& c = GetParam();
    EXPECT_EQ(kordex::TrimmedMode(c.samples.data(), c.samples.size()), c.expected);
    // The same samples as a one-row region.
    kordex::TrimmedModeScratch scratch;
    EXPECT_EQ(kordex::TrimmedModeOfRegion(c.samples.data(), static_cast<int>(c.samples.size()), 0, 0,
                                          static_cast<int>(c.samples.size()) - 1, 0, scratch),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrimmedModeTest,
    testing::Values(
        // n 16, t 2: the full bins 0 and 9 go; 5 and 7 tie and the lower wins.
        ModeCase{"trims the crowded ends, lowest wins a tie", Samples({{0, 4}, {5, 3}, {6, 2}, {7, 3}, {9, 4}}), 5},
        // n 20, t 3: whole bins go -- 0, 1 and then all of 2 (the largest).
        ModeCase{"removes whole bins", Samples({{0, 1}, {1, 1}, {2, 6}, {3, 5}, {4, 4}, {10, 1}, {11, 2}}), 3},
        ModeCase{"t of 0 trims nothing", Samples({{0, 2}, {1, 1}, {2, 1}, {3, 2}}), 0},
        ModeCase{"negative samples", Samples({{-5, 3}, {-4, 2}}), -5},
        // n 10, t 1: the top trim takes 5, the bottom trim 4: they cross and
        // the first bin above the bottom trim is 5.
        ModeCase{"crossing trims in adjacent bins", Samples({{4, 4}, {5, 6}}), 5},
        // Both trims end in the one bin: that bin, not the value above it.
        ModeCase{"crossing trims in one bin", Samples({{7, 5}}), 7},
        ModeCase{"crossing trims at the top of the range", Samples({{32767, 9}}), 32767}));

TEST(LocalMean, FillsFromTheNearestInnerPixelAndTheOutlineWithTheLevel)
{
    // 4 x 3 frame, inner region = columns 1..3, rows 0..1 (left 1, bottom 1).
    const std::vector<std::int16_t> frame = {9, 10, 20, 30,  //
                                             9, 40, 50, 60,  //
                                             9, 9, 9, 9};
    std::vector<std::int16_t> outline(frame.size(), 0);
    outline[3] = 1;
    const std::vector<std::int16_t> filled =
        kordex::LocalMean(frame.data(), 4, 3, kordex::InnerRegion{1, 0, 0, 1}, outline.data(), 0, 2);
    // The trimmed mode of 10, 20, 30, 40, 50, 60 (t 0) is 10.
    EXPECT_EQ(filled, (std::vector<std::int16_t>{10, 10, 20, 10, 40, 40, 50, 60, 40, 40, 50, 60}));

    // Radius 1 on a row of 10, 20, 30 repeated: the box mean of rows, then columns.
    const std::vector<std::int16_t> rows = {10, 20, 30, 10, 20, 30};
    const std::vector<std::int16_t> mean = kordex::LocalMean(rows.data(), 3, 2, {}, nullptr, 1, 1);
    EXPECT_EQ(mean, (std::vector<std::int16_t>{13, 20, 26, 13, 20, 26}));
}

TEST(AutoMapMaskPath, FullPathsRelativeMasksAndTheExtension)
{
    setenv("HOME", "/home/tester", 1);
    EXPECT_EQ(kordex::AutoMapMaskPath("dark", "/cal/"), "/cal/dark.raw");
    EXPECT_EQ(kordex::AutoMapMaskPath("A??_?????", "/cal"), "/cal/A??_?????.raw");
    EXPECT_EQ(kordex::AutoMapMaskPath("x*.dat", "/cal/"), "/cal/x*.dat");
    EXPECT_EQ(kordex::AutoMapMaskPath("/frames/d*", "/cal/"), "/frames/d*.raw");
    EXPECT_EQ(kordex::AutoMapMaskPath("~/frames/dark.raw", "/cal/"), "/home/tester/frames/dark.raw");
}

class AutoBadPixelMapTest : public CalibrationSetFixture {
protected:
    int Generate(const char* dark, const char* bright)
    {
        const std::string darkPath = dark ? kordex::AutoMapMaskPath(dark, ctx.calibrationDir) : "";
        const std::string brightPath = bright ? kordex::AutoMapMaskPath(bright, ctx.calibrationDir) : "";
        return kordex::GenerateAutoBadPixelMap(ctx, params, dark ? darkPath.c_str() : nullptr,
                                               bright ? brightPath.c_str() : nullptr, ctx.calibrationDir + "BPM.raw");
    }
    kordex::BadPixMapSettings params;
};

TEST_F(AutoBadPixelMapTest, LocalTestMarksAPixelOneCountBeyondTheRelativeRange)
{
    MakeSet(200, 200);
    std::vector<std::int16_t> bright = Flat(8000);
    At(bright, 100, 100) = 8000 + 1201;  // its box mean stays 8000
    At(bright, 150, 50) = 8000 + 1200;   // just inside
    WriteFrame("A00_08000.raw", bright);
    ASSERT_EQ(Generate(nullptr, "A??_?????"), 1);
    EXPECT_TRUE(Logged("1 pix in A00_08000.raw out of loc-1200..loc+1200")) << LogText();
    EXPECT_TRUE(Logged("BPM sum: 1 (0.00%) bad pix in 1 bright frames")) << LogText();
    std::vector<std::int16_t> map = ReadFrame("BPM.raw");
    ASSERT_EQ(map.size(), ctx.Pixels());
    EXPECT_EQ(At(map, 100, 100), 255);
    EXPECT_EQ(At(map, 150, 50), 0);
    EXPECT_TRUE(Logged("File " + ctx.calibrationDir + "BPM.raw is saved"));
}

TEST_F(AutoBadPixelMapTest, SegmentTestWarnsAboutTheWidthAndSparesAnOffsetColumn)
{
    MakeSet(910, 60);
    settings.numParallelThreads = 3;
    params.numSegs = 4;
    std::vector<std::int16_t> dark = Flat(240);
    for (int y = 0; y < 60; ++y) At(dark, 500, y) = 240 + 600;  // a whole column: its own reference holds it
    At(dark, 10, 30) = 240 + 600;                                // doubtful, the column reference says bad
    At(dark, 909, 59) = 240 + 1001;                              // beyond twice the range, last narrow segment
    At(dark, 300, 0) = 240 - 499;                                // inside
    WriteFrame("dark.raw", dark);
    ASSERT_EQ(Generate("dark", nullptr), 1);
    EXPECT_TRUE(Logged("WRN: seg's width (227) does not match frame's (910)")) << LogText();
    EXPECT_TRUE(Logged("2 pix in dark.raw out of seg-500..seg+500, seg.wd=227")) << LogText();
    std::vector<std::int16_t> map = ReadFrame("BPM.raw");
    EXPECT_EQ(At(map, 10, 30), 128);
    EXPECT_EQ(At(map, 909, 59), 128);
    EXPECT_EQ(At(map, 500, 30), 0);
    EXPECT_EQ(At(map, 300, 0), 0);
}

TEST_F(AutoBadPixelMapTest, MoreSegmentsThanColumnsUseSegmentsOfOneColumn)
{
    MakeSet(30, 20);
    params.numSegs = 1000;
    std::vector<std::int16_t> dark = Flat(240);
    At(dark, 7, 7) = 240 + 1100;
    WriteFrame("dark.raw", dark);
    ASSERT_EQ(Generate("dark", nullptr), 1);
    EXPECT_TRUE(Logged("1 pix in dark.raw out of seg-500..seg+500, seg.wd=1")) << LogText();
    EXPECT_EQ(LogText().find("WRN: seg's width"), std::string::npos);
}

TEST_F(AutoBadPixelMapTest, MarksAccumulateAndTheFirstTestSetsTheCode)
{
    MakeSet(64, 48);
    params.radius = 0;  // the relative global test for bright frames
    std::vector<std::int16_t> dark = Flat(240);
    At(dark, 5, 5) = 4095;
    WriteFrame("dark.raw", dark);
    std::vector<std::int16_t> bright = Flat(2000);
    At(bright, 5, 5) = 0;   // already marked by the dark frame
    At(bright, 9, 9) = 0;   // new
    WriteFrame("A00_02000.raw", bright);
    WriteFrame("A01_02000.raw", bright);  // the same pixels again: nothing new
    ASSERT_EQ(Generate("dark", "A??_?????"), 1);
    EXPECT_TRUE(Logged("1 pix in dark.raw (m240) out of -260..740")) << LogText();
    EXPECT_TRUE(Logged("1 pix in A00_02000.raw (m2000) out of 1700..2300")) << LogText();
    EXPECT_TRUE(Logged("0 pix in A01_02000.raw (m2000) out of 1700..2300")) << LogText();
    EXPECT_TRUE(Logged("Total 2 (0.07%) bad pix in 3 frames")) << LogText();
    std::vector<std::int16_t> map = ReadFrame("BPM.raw");
    EXPECT_EQ(At(map, 5, 5), 127);
    EXPECT_EQ(At(map, 9, 9), 127);
}

TEST_F(AutoBadPixelMapTest, OutlinePixelsAreNeverMarked)
{
    MakeSet(40, 30);
    settings.descramble = 3;
    settings.rcCutOff = settings.rcCutOffR = 5;
    std::vector<std::int16_t> dark = Flat(240);
    At(dark, 0, 29) = 4095;  // an outline pixel
    At(dark, 20, 10) = 4095;
    WriteFrame("dark.raw", dark);
    ASSERT_EQ(Generate("dark", nullptr), 1);
    std::vector<std::int16_t> map = ReadFrame("BPM.raw");
    EXPECT_EQ(At(map, 0, 29), 1);
    EXPECT_EQ(At(map, 20, 10), 127);
}

TEST_F(AutoBadPixelMapTest, FramesWithoutBadPixelsDeleteTheMapAndSucceed)
{
    MakeSet(32, 32);
    WriteFrame("BPM.raw", Flat(255));
    WriteFrame("dark.raw", Flat(240));
    WriteFrame("A00_03000.raw", Flat(3000));
    EXPECT_EQ(Generate("dark", "A??_?????"), 1);
    EXPECT_FALSE(std::filesystem::exists(ctx.calibrationDir + "BPM.raw"));
    EXPECT_TRUE(Logged("Delete file " + ctx.calibrationDir + "BPM.raw")) << LogText();
    EXPECT_TRUE(Logged("Total 0 (0.00%) bad pix in 2 frames")) << LogText();
}

TEST_F(AutoBadPixelMapTest, NoReadableFramesFailAndDeleteTheMap)
{
    MakeSet(32, 32);
    WriteFrame("BPM.raw", Flat(255));
    test_support::WriteText(ctx.calibrationDir + "dark.raw", "short");  // skipped without a message
    EXPECT_EQ(Generate("dark", "A??_?????"), 0);
    EXPECT_FALSE(std::filesystem::exists(ctx.calibrationDir + "BPM.raw"));
    const std::string text = LogText();
    EXPECT_TRUE(Logged("BPM: no dark frames " + ctx.calibrationDir + "dark.raw")) << text;
    EXPECT_TRUE(Logged("BPM: no bright frames " + ctx.calibrationDir + "A??_?????.raw")) << text;
    EXPECT_TRUE(Logged("WRN: no files for Bad Pix detection")) << text;
    EXPECT_EQ(text.find("ERR:"), std::string::npos);
}

}  // namespace
