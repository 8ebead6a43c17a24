// Settings: location, defaults, capacities and the write-backs.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "frame/settings.h"
#include "platform/paths.h"
#include "support/temp_dir.h"

namespace kordex {
namespace {

using test_support::ReadText;
using test_support::TempDir;
using test_support::WriteText;

TEST(SettingsTest, NoFileGivesEveryDefault)
{
    TempDir dir;
    platform::ProfileFile p(dir.File("kordex.ini"));
    std::string warnings;
    const LibrarySettings s = LoadSettings(p, dir.Path() + "/", &warnings);
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(s.geometry.frameWidth, 910);
    EXPECT_EQ(s.geometry.frameHeight, 688);
    EXPECT_EQ(s.geometry.rotation, 1);
    EXPECT_EQ(s.geometry.flip, 1);
    EXPECT_EQ(s.geometry.cutWidth, 688);
    EXPECT_EQ(s.geometry.cutHeight, 910);
    EXPECT_EQ(s.homeDir, "~/Opticor/");
    EXPECT_EQ(s.pid, "2001");
    EXPECT_EQ(s.maskAutoBPMDark, "dark");
    EXPECT_EQ(s.maskAutoBPMBright, "A??_?????");
    EXPECT_EQ(s.numParallelThreads, 2);
    EXPECT_EQ(s.vReset, 330);
    EXPECT_EQ(s.rcCutOff, 140);
    EXPECT_EQ(s.rcCutOffR, 140);
    EXPECT_EQ(s.calSatValue, 65535);
    EXPECT_DOUBLE_EQ(s.ipProtContSmooth, 2.0);
    EXPECT_DOUBLE_EQ(s.badPixMap.brightRDevLo, 0.15);
    EXPECT_EQ(s.badPixMap.radius, 30);
    EXPECT_EQ(s.deSpeckle.bpmThreshold1Side, 450);
    EXPECT_EQ(s.deSpeckle.lnDetType, 2);
    EXPECT_EQ(s.settingsChanged, 0);
    EXPECT_FALSE(platform::FileExists(dir.File("kordex.ini"))) << "reading never writes";
    EXPECT_EQ(p.Section(), "DeSpeckle");
}

TEST(SettingsTest, RcCutOffRDefaultsToRcCutOff)
{
    TempDir dir;
    WriteText(dir.File("kordex.ini"), "[Settings]\nRCCutOff=100\n");
    platform::ProfileFile p(dir.File("kordex.ini"));
    EXPECT_EQ(LoadSettings(p, dir.Path() + "/", nullptr).rcCutOffR, 100);
}

TEST(SettingsTest, EmptyHomeDirIsTheLibraryDirectoryAndIsWrittenBackResolved)
{
    TempDir dir;
    WriteText(dir.File("kordex.ini"), "[Settings]\nHomeDir=\\\n");
    platform::ProfileFile p(dir.File("kordex.ini"));
    LibrarySettings s = LoadSettings(p, "/opt/kordex/lib", nullptr);
    EXPECT_EQ(s.homeDir, "/opt/kordex/lib/");
    WriteSettings(p, s);
    p.SetSection("Settings");
    EXPECT_EQ(p.ReadString("HomeDir", ""), "/opt/kordex/lib/");
}

TEST(SettingsTest, StringsAreCutToTheirCapacities)
{
    TempDir dir;
    const std::string longText(400, 'x');
    WriteText(dir.File("kordex.ini"), "[Settings]\nHomeDir=/" + longText + "\nPID=" + longText +
                                          "\nMaskAutoBPMDark=" + longText + "\n");
    platform::ProfileFile p(dir.File("kordex.ini"));
    const LibrarySettings s = LoadSettings(p, "/lib/", nullptr);
    EXPECT_EQ(s.homeDir.size(), kHomeDirCapacity);
    EXPECT_EQ(s.homeDir.back(), '/');
    EXPECT_EQ(s.pid.size(), kPidCapacity);
    EXPECT_EQ(s.maskAutoBPMDark.size(), kMaskCapacity);
}

TEST(SettingsTest, UnusableGeometryInTheFileKeepsTheDefaultsWithAWarning)
{
    TempDir dir;
    WriteText(dir.File("kordex.ini"), "[Settings]\nFrameWidth=0\nImgCutLeft=5\n");
    platform::ProfileFile p(dir.File("kordex.ini"));
    std::string warnings;
    const LibrarySettings s = LoadSettings(p, "/lib/", &warnings);
    EXPECT_EQ(s.geometry.frameWidth, 910);
    EXPECT_EQ(s.geometry.cutLeft, 0);
    EXPECT_EQ(s.geometry.cutWidth, 688);
    EXPECT_EQ(warnings.rfind("WRN: ", 0), 0u) << warnings;
}

TEST(SettingsTest, LocationPrefersLibraryDirectoryThenParentThenCreatesBeside)
{
    TempDir dir;
    const std::string libDir = dir.File("lib");
    ASSERT_EQ(mkdir(libDir.c_str(), 0755), 0);
    const std::string library = libDir + "/libkordex.so";

    EXPECT_EQ(LocateSettingsFile(library, nullptr), libDir + "/kordex.ini") << "nothing exists yet";

    WriteText(dir.File("kordex.ini"), "[Settings]\n");
    EXPECT_EQ(LocateSettingsFile(library, nullptr), dir.File("kordex.ini"));

    WriteText(libDir + "/Kordex.INI", "[Settings]\n");
    EXPECT_EQ(LocateSettingsFile(library, nullptr), libDir + "/Kordex.INI") << "names ignore case";

    EXPECT_EQ(LocateSettingsFile(library, "/etc/site.ini"), "/etc/site.ini");
    EXPECT_EQ(LocateSettingsFile(library, ""), libDir + "/Kordex.INI");
}

TEST(SettingsTest, ParentDirectoryFileIsReadAndWrittenBack)
{
    TempDir dir;
    const std::string libDir = dir.File("lib");
    ASSERT_EQ(mkdir(libDir.c_str(), 0755), 0);
    WriteText(dir.File("kordex.ini"), "; site settings\n[Settings]\nFrameWidth=1000\n");
    platform::ProfileFile p(LocateSettingsFile(libDir + "/libkordex.so", nullptr));
    LibrarySettings s = LoadSettings(p, libDir + "/", nullptr);
    EXPECT_EQ(s.geometry.frameWidth, 1000);

    s.vReset = 300;
    s.deSpeckle.lnDetThreshold = 111;
    WriteSettings(p, s);
    EXPECT_FALSE(platform::FileExists(libDir + "/kordex.ini"));
    const std::string text = ReadText(dir.File("kordex.ini"));
    EXPECT_EQ(text.rfind("; site settings\n[Settings]\n", 0), 0u) << text;
    EXPECT_NE(text.find("VReset=300\n"), std::string::npos);
    EXPECT_NE(text.find("[DeSpeckle]"), std::string::npos);

    platform::ProfileFile again(dir.File("kordex.ini"));
    const LibrarySettings back = LoadSettings(again, libDir + "/", nullptr);
    EXPECT_EQ(back.vReset, 300);
    EXPECT_EQ(back.deSpeckle.lnDetThreshold, 111);
    EXPECT_EQ(back.geometry.frameWidth, 1000);
    EXPECT_DOUBLE_EQ(back.ipProtContWeight, 1.0);
}

TEST(SettingsTest, PartialWritesTouchOnlyTheirKeys)
{
    TempDir dir;
    platform::ProfileFile p(dir.File("kordex.ini"));
    LibrarySettings s = LoadSettings(p, "/lib/", nullptr);
    s.geometry.cutLeft = 7;
    s.vReset = 250;
    WriteCutMargins(p, s);
    EXPECT_EQ(ReadText(dir.File("kordex.ini")),
              "[Settings]\nImgCutLeft=7\nImgCutTop=0\nImgCutRight=0\nImgCutBottom=0\n");

    p.SetSection("Settings");
    WriteVResetAndCutOffs(p, s);
    platform::ProfileFile check(dir.File("kordex.ini"));
    check.SetSection("Settings");
    EXPECT_EQ(check.ReadInt("VReset", 0), 250);
    EXPECT_EQ(check.ReadInt("RCCutOffR", 0), 140);
    EXPECT_EQ(check.ReadString("FrameWidth", "missing"), "missing");
}

}  // namespace
}  // namespace kordex
