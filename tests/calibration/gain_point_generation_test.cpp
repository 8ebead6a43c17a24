// Gain points from recorded bright frames, the frame names of the set and
// the gain chart's data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "calibration/cal_preview.h"
#include "calibration/calibration_frame_names.h"
#include "calibration/gain_point_generation.h"
#include "calibration_set_fixture.h"

namespace {

using calibration_test::CalibrationSetFixture;
using Groups = std::vector<std::vector<std::size_t>>;

TEST(GroupBrightFrames, GroupsByTheStepBetweenNeighbouringLevels)
{
    EXPECT_EQ(kordex::GroupBrightFrames({"x08000A.raw", "x08200A.raw", "x08500A.raw", "x12000A.raw"}, 350),
              (Groups{{0, 1, 2}, {3}}));
    EXPECT_EQ(kordex::GroupBrightFrames({"x08000A.raw", "x08000B.raw", "x08351A.raw"}, 350), (Groups{{0, 1}, {2}}))
        << "equal levels group; a step of 351 starts a new group";
    EXPECT_EQ(kordex::GroupBrightFrames({"x00000A.raw", "x00100A.raw", "x00200A.raw", "xabcdeA.raw", "x00300A.raw"}, 350),
              (Groups{{1, 2}, {4}}))
        << "level 0 is skipped; a name without a level ends the group and is skipped";
}

TEST(CalibrationFrameNames, LevelsAndFreeNames)
{
    EXPECT_EQ(kordex::BrightFrameLevelOfName("x08000A.raw"), 8000);
    EXPECT_EQ(kordex::BrightFrameLevelOfName("x00000A.raw"), 0);
    EXPECT_EQ(kordex::BrightFrameLevelOfName("xflatAA.raw"), -1);
    EXPECT_EQ(kordex::BrightFrameLevelOfName("x+8000A.raw"), -1) << "a sign is no digit";
    EXPECT_EQ(kordex::BrightFrameLevelOfName("x 8000A.raw"), -1) << "nor is a blank";
    EXPECT_EQ(kordex::GainPointName(1, 812), "A01_00812.raw");

    test_support::TempDir dir;
    const std::string d = dir.Path() + "/";
    EXPECT_EQ(kordex::FreeBrightFrameName(d, 8000), "x08000A.raw");
    test_support::WriteText(d + "x08000A.raw", "");
    EXPECT_EQ(kordex::FreeBrightFrameName(d, 8000), "x08000B.raw");
    test_support::WriteText(d + "X08000b.RAW", "");
    EXPECT_EQ(kordex::FreeBrightFrameName(d, 8000), "x08000C.raw") << "names are taken without regard to case";
    for (char c = 'C'; c <= 'Z'; ++c) test_support::WriteText(d + "x08000" + c + ".raw", "");
    EXPECT_EQ(kordex::FreeBrightFrameName(d, 8000), "") << "no letters after Z";
}

class GainPointGenerationTest : public CalibrationSetFixture {};

TEST_F(GainPointGenerationTest, AveragesEachGroupIntoOnePointNamedByItsLevel)
{
    MakeSet(16, 8);
    WriteFrame("x08000A.raw", Flat(8000));
    WriteFrame("x08200A.raw", Flat(8200));
    std::vector<std::int16_t> third = Flat(8500);
    At(third, 3, 3) = 8201;  // (8000 + 8200 + 8201) / 3 = 8133.67 -> 8134
    WriteFrame("x08500A.raw", third);
    test_support::WriteText(ctx.calibrationDir + "x08600A.raw", "short");  // left out of its group
    WriteFrame("x12000A.raw", Flat(12000));
    const kordex::GainPointGeneration result = kordex::GenerateGainPoints(ctx, 350);
    EXPECT_TRUE(result.ok) << result.error;
    ASSERT_EQ(result.points.size(), 2u);
    EXPECT_EQ(result.points[0].name, "A00_08233.raw");
    EXPECT_EQ(result.points[0].frames, 3);
    EXPECT_EQ(result.points[0].sources, "x08000A.raw..x08600A.raw");
    EXPECT_EQ(result.points[1].name, "A01_12000.raw");
    EXPECT_TRUE(Logged("Create A00_08233.raw from 3 frames")) << LogText();
    EXPECT_TRUE(Logged("Create A01_12000.raw from 1 frames")) << LogText();
    std::vector<std::int16_t> a00 = ReadFrame("A00_08233.raw");
    ASSERT_EQ(a00.size(), ctx.Pixels());
    EXPECT_EQ(At(a00, 0, 0), 8233);
    EXPECT_EQ(At(a00, 3, 3), 8134);
    EXPECT_EQ(kordex::GainPointList(ctx.calibrationDir), (std::vector<std::string>{"A00_08233.raw", "A01_12000.raw"}));
}

TEST_F(GainPointGenerationTest, MeansRoundByAddingJustUnderOneHalf)
{
    MakeSet(4, 1);
    WriteFrame("x00100A.raw", {1, -2, 7, 7});
    WriteFrame("x00100B.raw", {2, -3, 7, 7});
    kordex::GenerateGainPoints(ctx, 350);
    // 1.5 + 0.49999 and -2.5 + 0.49999, truncated toward zero; level 7.
    EXPECT_EQ(ReadFrame("A00_00007.raw"), (std::vector<std::int16_t>{1, -2, 7, 7}));
}

TEST_F(GainPointGenerationTest, AGroupWithoutReadableFramesIsNamedByItsFramesNotByAnEmptyPoint)
{
    MakeSet(4, 4);
    test_support::WriteText(ctx.calibrationDir + "x05000A.raw", "short");
    test_support::WriteText(ctx.calibrationDir + "x05100A.raw", "short");
    WriteFrame("x09000A.raw", Flat(9000));
    const kordex::GainPointGeneration result = kordex::GenerateGainPoints(ctx, 350);
    EXPECT_TRUE(result.ok) << result.error;
    ASSERT_EQ(result.points.size(), 2u);
    EXPECT_EQ(result.points[0].name, "");
    EXPECT_EQ(result.points[0].frames, 0);
    EXPECT_EQ(result.points[1].name, "A01_09000.raw") << "the point index counts every group";
    EXPECT_TRUE(Logged("WRN: No gain point from x05000A.raw..x05100A.raw: no readable frame")) << LogText();
    EXPECT_EQ(LogText().find("Create  from"), std::string::npos) << LogText();
}

// The files of the calibration directory whose names begin with one of the
// point prefixes (points and their temporary copies), in name order.
std::vector<std::string> PointFiles(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name[0] == 'A' || name[0] == 'a' || name[0] == '$') names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The new set takes the place of the old one only once it is complete: a
// generation that fails leaves the old points as they were (a failed run
// must not leave the sensor without gain calibration) and no temporary file.
TEST_F(GainPointGenerationTest, TheOldSetGoesOnlyWhenTheNewOneIsInPlace)
{
    struct Case {
        const char* what;
        bool readable;            // the bright frames have the frame size
        const char* blockedName;  // a directory of this name is in the way
        bool ok;
        std::vector<std::string> after;
        const char* error;        // the end of the error text
    };
    const std::vector<std::string> oldSet{"A00_01000.raw", "A01_02000.raw", "a00_08000.RAW"};
    const Case cases[] = {
        {"replaced", true, nullptr, true, {"A00_08000.raw", "A01_12000.raw"}, ""},
        {"no readable frame", false, nullptr, false, oldSet, kordex::kNoGainPointText},
        {"a temporary file can't be written", true, "$A01_12000.raw", false, oldSet, "CAL/$A01_12000.raw"},
        {"a point's name is taken by a directory", true, "A01_12000.raw", false, oldSet,
         "CAL/A01_12000.raw"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MakeSet(4, 2);
        std::filesystem::remove_all(dir.File("CAL"));
        std::filesystem::create_directories(dir.File("CAL"));
        for (const std::string& name : oldSet) WriteFrame(name, Flat(1));
        WriteFrame("$A05_00100.raw", Flat(1));  // left over from a run that broke off
        for (const char* name : {"x08000A.raw", "x12000A.raw"}) {
            if (c.readable) WriteFrame(name, Flat(static_cast<std::int16_t>(std::atoi(name + 1))));
            else test_support::WriteText(ctx.calibrationDir + name, "short");
        }
        std::vector<std::string> expected = c.after;
        if (c.blockedName) {
            std::filesystem::create_directories(ctx.calibrationDir + c.blockedName + "/inside");
            expected.push_back(c.blockedName);
            std::sort(expected.begin(), expected.end());
        }
        const kordex::GainPointGeneration result = kordex::GenerateGainPoints(ctx, 350);
        EXPECT_EQ(result.ok, c.ok);
        EXPECT_NE(result.error.find(c.error), std::string::npos) << result.error;
        EXPECT_EQ(PointFiles(ctx.calibrationDir), expected);
        if (c.ok) {
            EXPECT_EQ(ReadFrame("A01_12000.raw"), Flat(12000));
        } else {
            EXPECT_EQ(ReadFrame("A00_01000.raw"), Flat(1)) << "the old points are untouched";
            EXPECT_NE(LogText().find(std::string(c.error)), std::string::npos) << LogText();
            EXPECT_EQ(LogText().find("Create "), std::string::npos) << "nothing was created: " << LogText();
            for (const kordex::GeneratedPoint& p : result.points) EXPECT_EQ(p.name, "");
        }
        log.Close();
    }
}

TEST(ChartGamut, TypedValues)
{
    EXPECT_EQ(kordex::ChartGamutOf("4096"), 4096);
    EXPECT_EQ(kordex::ChartGamutOf(" 2000 "), 2000);
    EXPECT_EQ(kordex::ChartGamutOf("50"), 100);
    EXPECT_EQ(kordex::ChartGamutOf(""), 4096);
    EXPECT_EQ(kordex::ChartGamutOf("wide"), 4096);
    const auto pixels = kordex::DefaultChartPixels(910, 688);
    EXPECT_EQ(pixels[0], (std::pair<int, int>{227, 172}));
    EXPECT_EQ(pixels[1], (std::pair<int, int>{455, 344}));
    EXPECT_EQ(pixels[2], (std::pair<int, int>{682, 516}));
}

TEST_F(GainPointGenerationTest, ChartCurveSamplesThePixelsGainFunction)
{
    MakeSet(4, 2);
    std::vector<std::int16_t> low = Flat(900), high = Flat(2900);
    At(low, 1, 1) = 1000;
    At(high, 1, 1) = 3000;
    WriteFrame("A00_04000.raw", low);
    WriteFrame("A01_08000.raw", high);
    kordex::GainPointSet set;
    std::string title, message;
    ASSERT_EQ(kordex::LoadGainChart(ctx, &set, &title, &message), 1);
    EXPECT_EQ(title, "Gain calibration by 2 points");
    EXPECT_EQ(message, "GainCal start with 2 points");
    // Gamut 3900: the inputs are 0, 100, ... 3900.
    const kordex::GainChartCurve curve = kordex::GainChartCurveAt(set, 4, 1, 1, 3900);
    EXPECT_EQ(curve.input[0], 0);
    EXPECT_EQ(curve.input[1], 100);
    EXPECT_EQ(curve.input[39], 3900);
    EXPECT_EQ(curve.output[20], 6000) << "linear between the points";
    EXPECT_EQ(curve.output[35], 9000) << "extrapolated along the top segment";
    EXPECT_EQ(curve.output[5], (500 * 4000 + 500 - 1) / 1000) << "below the first point: proportional";
    EXPECT_EQ(curve.points, (std::vector<std::pair<int, int>>{{1000, 4000}, {3000, 8000}}));
    // Gamut 4096: trunc(i * 4096 / 39 + 0.49999).
    EXPECT_EQ(kordex::GainChartCurveAt(set, 4, 1, 1, 4096).input[1], 105);
}

TEST_F(GainPointGenerationTest, ChartWithoutPoints)
{
    MakeSet(4, 2);
    kordex::GainPointSet set;
    std::string title, message;
    EXPECT_EQ(kordex::LoadGainChart(ctx, &set, &title, &message), 0);
    EXPECT_EQ(title, "No gain calibration data");
    EXPECT_EQ(message, "WRN: GainCal calibration omitted");
}

}  // namespace
