// Raw frame reports through the log, folders, and logged acquired frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <vector>

#include "frame/acquired_frame_log.h"
#include "frame/frame_files.h"
#include "platform/paths.h"
#include "support/temp_dir.h"

namespace kordex {
namespace {

using test_support::ReadText;
using test_support::TempDir;
using test_support::WriteText;

std::tm At(int day, int hour, int minute, int second)
{
    std::tm t{};
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

TEST(FrameFilesTest, ShortFileIsReportedWithItsWholePathAndSizes)
{
    TempDir dir;
    ASSERT_TRUE(platform::MakeDirectory(dir.File("CAL")));
    WriteText(dir.File("CAL/dark.raw"), std::string(7, '\0'));
    Log log;
    log.Open(dir.Path() + "/", 1, "f");
    std::vector<std::int16_t> buffer(4);
    EXPECT_FALSE(ReadRawFrame(log, dir.File("CAL/dark.raw"), buffer.data(), 8, 8, false));
    log.Close();
    EXPECT_NE(ReadText(dir.File("Log/f00.log")).find("\nERR: size of " + dir.File("CAL/dark.raw") + " (7 instead 8)\n"),
              std::string::npos)
        << ReadText(dir.File("Log/f00.log"));
}

TEST(FrameFilesTest, FixedNamesAreFoundWithoutRegardToCase)
{
    TempDir dir;
    const std::vector<std::int16_t> pixels = {1, -2, 3, 0x7FFF};
    Log log;
    ASSERT_TRUE(WriteRawFrame(log, dir.File("BPM.RAW"), pixels.data(), 8, false));
    std::vector<std::int16_t> back(4);
    EXPECT_TRUE(ReadRawFrame(log, dir.File("BPM.raw"), back.data(), 8, 8, false));
    EXPECT_EQ(back, pixels);
}

TEST(FrameFilesTest, Folders)
{
    EXPECT_EQ(CalibrationDirectory("/h/", ""), "/h/CAL/");
    EXPECT_EQ(CalibrationDirectory("/h/", "/tmp/cal"), "/tmp/cal/");
    EXPECT_EQ(ImageFolder("/h/", 688, 910), "/h/I0688x0910/");
}

TEST(AcquiredFrameLogTest, RotatingSetKeepsCountPlusOneGenerations)
{
    TempDir dir;
    Log log;
    const std::string home = dir.Path() + "/";
    std::vector<std::int16_t> frame(6);
    for (int shot = 0; shot < 6; ++shot) {
        std::fill(frame.begin(), frame.end(), static_cast<std::int16_t>(shot));
        EXPECT_EQ(LogAcquiredFrame(log, home, frame.data(), 3, 2, true, 3, 1, At(1, 2, 3, 4)),
                  home + "Log/$B00.raw");
    }
    EXPECT_EQ(platform::FindFiles(home + "Log", "*"),
              (std::vector<std::string>{"$B00.raw", "$B01.raw", "$B02.raw", "$B03.raw"}));
    EXPECT_EQ(ReadText(home + "Log/$B00.raw"), std::string("\5\0\5\0\5\0\5\0\5\0\5\0", 12));
    EXPECT_EQ(ReadText(home + "Log/$B03.raw")[0], '\2');
}

TEST(AcquiredFrameLogTest, CountsAboveNinetyNineKeepNinetyNineGenerations)
{
    TempDir dir;
    UiLogList ui;
    Log log(&ui);
    const std::string home = dir.Path() + "/";
    std::vector<std::int16_t> frame(4, 1);
    EXPECT_EQ(LogAcquiredFrame(log, home, frame.data(), 2, 2, false, 2147483647, 1, At(1, 2, 3, 4)),
              home + "Log/$D00.raw");
    EXPECT_EQ(ui.Backlog().back(), "WRN: LogAcqFramesNumDark 2147483647 asked, 99 kept");
}

TEST(AcquiredFrameLogTest, NegativeCountWritesTimeStampedFilesAndDeletesNone)
{
    TempDir dir;
    Log log;
    const std::string home = dir.Path() + "/";
    std::vector<std::int16_t> frame(4, 9);
    EXPECT_EQ(LogAcquiredFrame(log, home, frame.data(), 2, 2, false, -1, 1, At(7, 8, 9, 10)),
              home + "Log/$07D-08_09_10.raw");
    EXPECT_EQ(LogAcquiredFrame(log, home, frame.data(), 2, 2, false, -1, 1, At(7, 8, 9, 11)),
              home + "Log/$07D-08_09_11.raw");
    EXPECT_EQ(platform::FindFiles(home + "Log", "*.raw").size(), 2u);
    EXPECT_EQ(LogAcquiredFrame(log, home, frame.data(), 2, 2, false, 0, 1, At(7, 8, 9, 12)), "");
}

TEST(AcquiredFrameLogTest, DownScaleKeepsEveryStepthPixelOfEveryStepthLine)
{
    std::vector<std::int16_t> frame(7 * 5);
    for (int i = 0; i < 35; ++i) frame[i] = static_cast<std::int16_t>(i);
    int w = 0, h = 0;
    const std::vector<std::int16_t> small = DownScaleFrame(frame.data(), 7, 5, 2, &w, &h);
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(small, (std::vector<std::int16_t>{0, 2, 4, 14, 16, 18}));
    EXPECT_EQ(DownScaleFrame(frame.data(), 7, 5, 0, &w, &h).size(), 35u);
}

}  // namespace
}  // namespace kordex
