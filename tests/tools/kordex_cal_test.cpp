// kordex-cal on a small calibration set (16 x 8 frames): the gain points it
// replaces, the groups it reports, the map it keeps, and the library's text
// when a recording fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tool_runner.h"

namespace {

using tool_test::Has;
using tool_test::ToolRun;
using tool_test::ToolRunner;

constexpr const char* kCal = KORDEX_CAL_PROGRAM;
constexpr int kPixels = 16 * 8;
constexpr const char* kFrameSize = "FrameWidth=16\nFrameHeight=8\n";

class KordexCalTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(runner.Ok());
        runner.WriteSettings("", kFrameSize);
        std::filesystem::create_directories(Cal());
    }
    std::string Cal() const { return runner.Home() + "CAL/"; }
    void WriteFlat(const std::string& name, std::int16_t value) const
    {
        const std::vector<std::int16_t> pixels(kPixels, value);
        test_support::WriteText(Cal() + name, std::string(reinterpret_cast<const char*>(pixels.data()), kPixels * 2));
    }
    std::vector<std::string> Files() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(Cal()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    ToolRunner runner;
};

// The old gain points go only once the new set is in place, so a failed run
// never leaves the sensor without gain calibration.
TEST_F(KordexCalTest, PointsReplaceTheOldSetOnlyWithACompleteNewOne)
{
    struct Case {
        const char* what;
        bool readable;            // the bright frames have the frame size
        const char* blockedName;  // a directory of this name is in the way
        int status;
        std::vector<std::string> points;  // the gain points afterwards
        const char* error;
    };
    const Case cases[] = {
        {"replaced", true, nullptr, 0, {"A00_08000.raw", "A01_12000.raw"}, ""},
        {"no readable frame", false, nullptr, 1, {"A00_01000.raw", "A01_02000.raw"},
         "kordex-cal: No gain point: no bright frame is readable"},
        {"a point's name is taken", true, "A01_12000.raw", 1, {"A00_01000.raw", "A01_02000.raw"},
         "CAL/A01_12000.raw (Is a directory)"},  // the whole path before it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(Cal());
        std::filesystem::create_directories(Cal());
        WriteFlat("A00_01000.raw", 1000);
        WriteFlat("A01_02000.raw", 2000);
        for (const char* name : {"x08000A.raw", "x12000A.raw"}) {
            if (c.readable) WriteFlat(name, static_cast<std::int16_t>(std::atoi(name + 1)));
            else test_support::WriteText(Cal() + name, "short");
        }
        std::vector<std::string> expected = c.points;
        expected.insert(expected.end(), {"x08000A.raw", "x12000A.raw"});
        if (c.blockedName) {
            std::filesystem::create_directories(Cal() + c.blockedName + "/inside");
            expected.push_back(c.blockedName);
        }
        std::sort(expected.begin(), expected.end());
        const ToolRun run = runner.Run(kCal, "points --replace");
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_TRUE(Has(run.err, c.error)) << run.err;
        EXPECT_EQ(Files(), expected);
        if (c.status == 0)
            EXPECT_EQ(run.out, "Create A00_08000.raw from 1 frames\nCreate A01_12000.raw from 1 frames\n");
        else
            EXPECT_EQ(run.out, "") << "nothing was created";
    }
}

TEST_F(KordexCalTest, AGroupWithoutAReadableFrameIsNamedByItsFrames)
{
    test_support::WriteText(Cal() + "x05000A.raw", "short");
    WriteFlat("x09000A.raw", 9000);
    const ToolRun run = runner.Run(kCal, "points");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Create A01_09000.raw from 1 frames\n");
    EXPECT_TRUE(Has(run.err, "kordex-cal: WRN: No gain point from x05000A.raw: no readable frame")) << run.err;
}

TEST_F(KordexCalTest, BpmWithoutAnyFramesIsRefusedAndKeepsTheMap)
{
    WriteFlat("BPM.raw", 0);
    WriteFlat("dark.raw", 240);
    const ToolRun run = runner.Run(kCal, "bpm --no-dark --no-bright");
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(std::filesystem::exists(Cal() + "BPM.raw"));
}

TEST_F(KordexCalTest, AFailedRecordingPrintsTheLibrarysText)
{
    runner.WriteSettings("Fault=missing\n", kFrameSize);
    const ToolRun run = runner.Run(kCal, "dark");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Has(run.err, "kordex-cal: ERR: PID2001 no interface #0 (check connection)")) << run.err;
    EXPECT_FALSE(std::filesystem::exists(Cal() + "dark.raw"));
}

}  // namespace
