// The library object: start-up reads, shutdown writes back only on request.
#include <gtest/gtest.h>

#include "frame/library.h"
#include "platform/paths.h"
#include "support/temp_dir.h"

namespace kordex {
namespace {

using test_support::ReadText;
using test_support::TempDir;
using test_support::WriteText;

TEST(LibraryTest, UnloadWritesNothingUnlessTheSheetChangedSettings)
{
    TempDir dir;
    const std::string ini = dir.File("kordex.ini");
    {
        Library lib(dir.File("libkordex.so"), ini);
        EXPECT_EQ(lib.settings.geometry.cutWidth, 688);
        lib.settings.vReset = 250;  // changed in memory only
    }
    const std::string text = ReadText(ini);
    EXPECT_EQ(text.find("[Settings]"), std::string::npos) << text;
    EXPECT_NE(text.find("[User Interface]"), std::string::npos) << "messages are listed for translation";
}

TEST(LibraryTest, UnloadWritesEverySettingWhenChanged)
{
    TempDir dir;
    const std::string ini = dir.File("kordex.ini");
    WriteText(ini, "[Settings]\nHomeDir=\\\n");
    {
        Library lib(dir.File("libkordex.so"), ini);
        EXPECT_EQ(lib.HomePath(), dir.Path() + "/");
        lib.settings.vReset = 250;
        lib.settings.settingsChanged = 1;
    }
    platform::ProfileFile p(ini);
    p.SetSection("Settings");
    EXPECT_EQ(p.ReadInt("VReset", 0), 250);
    EXPECT_EQ(p.ReadString("HomeDir", ""), dir.Path() + "/");
    p.SetSection("DeSpeckle");
    EXPECT_EQ(p.ReadInt("LnDet_Type", 0), 2);
}

TEST(LibraryTest, StartUpWarningsWaitInTheLogList)
{
    TempDir dir;
    WriteText(dir.File("kordex.ini"), "[Settings]\nFrameHeight=-3\n");
    Library lib(dir.File("libkordex.so"), dir.File("kordex.ini"));
    const auto backlog = lib.uiLog.Backlog();
    ASSERT_FALSE(backlog.empty());
    EXPECT_EQ(backlog.front().rfind("WRN: ", 0), 0u);
    EXPECT_EQ(lib.settings.geometry.frameHeight, 688);
}

TEST(LibraryTest, CalibrationDirectoryFollowsTheOverride)
{
    TempDir dir;
    WriteText(dir.File("kordex.ini"), "[Settings]\nHomeDir=" + dir.Path() + "\n");
    Library lib(dir.File("libkordex.so"), dir.File("kordex.ini"));
    EXPECT_EQ(lib.CalibrationDir(), dir.Path() + "/CAL/");
    lib.calibrationDirOverride = "/tmp/x/";
    EXPECT_EQ(lib.CalibrationDir(), "/tmp/x/");
}

}  // namespace
}  // namespace kordex
