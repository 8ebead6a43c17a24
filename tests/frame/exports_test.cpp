// The exports as a caller sees them: libkordex.so loaded at run time with its
// own settings file, then unloaded.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "kordex.h"
#include "platform/paths.h"
#include "support/bind_symbol.h"
#include "support/temp_dir.h"

namespace {

using test_support::ReadText;
using test_support::TempDir;
using test_support::WriteText;

// Loads a fresh copy of the library for each test, reading the test's own
// settings file, and unloads it at the end.
class ExportsTest : public testing::Test {
protected:
    void Load(const std::string& iniText)
    {
        ASSERT_TRUE(dir_.Ok());
        ini_ = dir_.File("kordex.ini");
        if (!iniText.empty()) WriteText(ini_, iniText);
        setenv("KORDEX_INI", ini_.c_str(), 1);
        handle_ = dlopen(KORDEX_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
    }
    void Unload()
    {
        if (handle_) dlclose(handle_);
        handle_ = nullptr;
    }
    void TearDown() override { Unload(); }

    template <typename F>
    F Bind(const char* name)
    {
        return test_support::BindSymbol<F>(handle_, name);
    }

    TempDir dir_;
    std::string ini_;
    void* handle_ = nullptr;
};

TEST_F(ExportsTest, IniProfGetStrWritesBackMissingKeys)
{
    Load("[Capture application]\nExisting=value\n");
    auto setSection = Bind<void (*)(const char*)>("KX_IniProfSetSection");
    auto getStr = Bind<const char* (*)(const char*, const char*)>("KX_IniProfGetStr");
    setSection("Capture application");
    EXPECT_STREQ(getStr("Existing", "default"), "value");
    EXPECT_STREQ(getStr("Empty", ""), "");
    EXPECT_STREQ(getStr("Empty", "other"), "") << "found now: the stored lone backslash reads as empty";
    EXPECT_STREQ(getStr("Named", nullptr), "Named");
    EXPECT_STREQ(getStr(nullptr, "x"), "");
    Unload();
    const std::string text = ReadText(ini_);
    EXPECT_NE(text.find("Empty=\\\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Named=Named\n"), std::string::npos) << text;
}

TEST_F(ExportsTest, ImageDimensionsFollowRotation)
{
    Load("");
    auto getImageDim = Bind<int32_t (*)(int32_t*, int32_t*)>("KXC_GetImageDim");
    auto setCut = Bind<int32_t (*)(const int32_t*)>("KXC_SetImgCutParams");
    auto getCut = Bind<int32_t (*)(int32_t*)>("KXC_GetImgCutParams");
    int32_t w = 0, h = 0;
    EXPECT_EQ(getImageDim(&w, &h), 1) << "688 x 910 differs from 910 x 688";
    EXPECT_EQ(w, 688);
    EXPECT_EQ(h, 910);

    const int32_t none[6] = {0, 0, 0, 0, 0, 0};
    EXPECT_EQ(setCut(none), 1);
    EXPECT_EQ(getImageDim(&w, &h), 0);
    EXPECT_EQ(w, 910);
    EXPECT_EQ(h, 688);

    const int32_t emptyCut[6] = {910, 0, 0, 0, 0, 0};
    EXPECT_EQ(setCut(emptyCut), 0) << "a cut that leaves no image is refused";
    int32_t params[6] = {-1, -1, -1, -1, -1, -1};
    EXPECT_EQ(getCut(params), 1);
    EXPECT_EQ(std::vector<int32_t>(params, params + 6), std::vector<int32_t>(none, none + 6));
}

TEST_F(ExportsTest, FrameDimensionsAreCheckedBeforeTheyTakeEffect)
{
    Load("");
    auto setDim = Bind<int32_t (*)(int32_t, int32_t)>("KXACQ_SetFrameDim");
    auto getDim = Bind<int32_t (*)(int32_t*, int32_t*)>("KXACQ_GetFrameDim");
    auto getImageDim = Bind<int32_t (*)(int32_t*, int32_t*)>("KXC_GetImageDim");
    EXPECT_EQ(setDim(0, 688), 0);
    EXPECT_EQ(setDim(910, 20000), 0);
    int32_t w = 0, h = 0;
    getDim(&w, &h);
    EXPECT_EQ(w, 910);
    EXPECT_EQ(h, 688);
    EXPECT_EQ(setDim(100, 50), 1);
    getImageDim(&w, &h);
    EXPECT_EQ(w, 50);
    EXPECT_EQ(h, 100);
}

TEST_F(ExportsTest, CutImageAllocatesWhenGivenNoDestination)
{
    Load("[Settings]\nFrameWidth=4\nFrameHeight=3\nRotation=0\nFlip=0\nImgCutLeft=1\n");
    auto cut = Bind<int16_t* (*)(const int16_t*, int16_t*)>("KXC_CutImage");
    auto release = Bind<void (*)(void*)>("KX_Free");
    const int16_t frame[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    int16_t* image = cut(frame, nullptr);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(std::vector<int16_t>(image, image + 9), (std::vector<int16_t>{1, 2, 3, 5, 6, 7, 9, 10, 11}));
    release(image);
    EXPECT_EQ(cut(nullptr, nullptr), nullptr);
}

TEST_F(ExportsTest, DetectorAddressAndHomeDirectory)
{
    Load("[Settings]\nHomeDir=" + dir_.Path() + "\nPID=A001\n");
    auto getAddr = Bind<int32_t (*)(char*)>("KXACQ_GetDetectorAddr");
    auto setAddr = Bind<void (*)(const char*)>("KXACQ_SetDetectorAddr");
    auto getHome = Bind<int32_t (*)(char*)>("KX_GetHomeDirectory");
    auto isUnicode = Bind<int32_t (*)(void)>("KX_IsUnicode");
    auto recentOfs = Bind<int32_t (*)(void)>("KXACQ_IsRecentFrameOfsCal");
    char buffer[256];
    EXPECT_EQ(getAddr(buffer), 5);
    EXPECT_STREQ(buffer, "A001");
    setAddr(std::string(100, '7').c_str());
    char small[40];
    EXPECT_EQ(getAddr(small), 40);
    EXPECT_EQ(std::strlen(small), 39u);
    const std::string home = dir_.Path() + "/";
    EXPECT_EQ(getHome(buffer), static_cast<int32_t>(home.size() + 1));
    EXPECT_EQ(buffer, home);
    EXPECT_EQ(isUnicode(), 0);
    EXPECT_EQ(recentOfs(), 0);
}

TEST_F(ExportsTest, CalibrationDirectoryOverrideIsCreatedOrRefused)
{
    Load("[Settings]\nHomeDir=" + dir_.Path() + "\n");
    auto setDir = Bind<int32_t (*)(const char*)>("KXC_SetCalibrationDirectory");
    auto getDir = Bind<int32_t (*)(char*)>("KXC_GetCalibrationDirectory");
    auto logOpen = Bind<void (*)(const char*, int32_t, const char*)>("KX_LogOpen");
    auto logClose = Bind<void (*)(void)>("KX_LogClose");
    char buffer[256];
    getDir(buffer);
    EXPECT_EQ(buffer, dir_.Path() + "/CAL/");

    EXPECT_EQ(setDir(dir_.File("tmpcal").c_str()), 1);
    EXPECT_TRUE(platform::DirectoryExists(dir_.File("tmpcal")));
    getDir(buffer);
    EXPECT_EQ(buffer, dir_.File("tmpcal") + "/");

    logOpen(nullptr, 1, "cal");
    EXPECT_EQ(setDir(dir_.File("missing/deeper").c_str()), 0);
    logClose();
    getDir(buffer);
    EXPECT_EQ(buffer, dir_.File("tmpcal") + "/") << "a failed override keeps the previous one";
    EXPECT_NE(ReadText(dir_.File("Log/cal00.log"))
                  .find("ERR: Can't create temporary calibration directory " + dir_.File("missing/deeper") +
                        " (code 2)\nNo such file or directory\n"),
              std::string::npos);

    EXPECT_EQ(setDir(nullptr), 1);
    getDir(buffer);
    EXPECT_EQ(buffer, dir_.Path() + "/CAL/");
}

TEST_F(ExportsTest, LogExportsWriteTheCallersLines)
{
    Load("[Settings]\nHomeDir=" + dir_.Path() + "\n");
    auto logOpen = Bind<void (*)(const char*, int32_t, const char*)>("KX_LogOpen");
    auto logMsg = Bind<void (*)(const char*)>("KX_LogMsg");
    auto logFlush = Bind<void (*)(void)>("KX_LogFlush");
    auto logClose = Bind<void (*)(void)>("KX_LogClose");
    logOpen(nullptr, 0, "caller");
    logMsg("hello");
    logMsg("hello");
    logMsg(nullptr);
    logFlush();
    EXPECT_NE(ReadText(dir_.File("Log/caller00.log")).find("\nhello\n  <rep 1>\n\n"), std::string::npos);
    logClose();
    EXPECT_NE(ReadText(dir_.File("Log/caller00.log")).find(" libkordex.so ver "), std::string::npos);
}

TEST_F(ExportsTest, ASettingRefusedAtLoadOpensTheFirstLogAndStandardError)
{
    // The home directory does not exist yet: the log makes it with its
    // parents, so the first run on a new machine logs.
    testing::internal::CaptureStderr();
    Load("[Settings]\nHomeDir=" + dir_.Path() + "/new/home\nFrameWidth=0\n");
    const std::string stderrText = testing::internal::GetCapturedStderr();
    EXPECT_NE(stderrText.find("WRN: settings geometry refused, defaults kept: "), std::string::npos) << stderrText;
    Bind<void (*)(const char*, int32_t, const char*)>("KX_LogOpen")(nullptr, 0, "first");
    Bind<void (*)(void)>("KX_LogClose")();
    const std::string log = ReadText(dir_.File("new/home/Log/first00.log"));
    const std::size_t secondLine = log.find('\n') + 1;
    EXPECT_EQ(log.find("WRN: settings geometry refused, defaults kept: "), secondLine) << log;
}

TEST_F(ExportsTest, UnloadingClosesTheLog)
{
    Load("[Settings]\nHomeDir=" + dir_.Path() + "\n");
    auto logOpen = Bind<void (*)(const char*, int32_t, const char*)>("KX_LogOpen");
    auto logMsg = Bind<void (*)(const char*)>("KX_LogMsg");
    logOpen(nullptr, 0, "unload");
    logMsg("last");
    logMsg("last");
    Unload();
    EXPECT_EQ(dlopen(KORDEX_LIBRARY_FILE, RTLD_NOW | RTLD_NOLOAD), nullptr) << "the library really unloaded";
    EXPECT_NE(ReadText(dir_.File("Log/unload00.log")).find("\nlast\n  <rep 1>\n"), std::string::npos)
        << "the pending repeat count is written when the library closes the log";
}

TEST_F(ExportsTest, UnsupportedCommandsAnswerZero)
{
    Load("");
    auto send = Bind<int32_t (*)(int32_t, int32_t)>("KXACQ_SendCommand");
    auto sendParam = Bind<int32_t (*)(int32_t, int32_t, int32_t, int32_t)>("KXACQ_SendCommandParam");
    testing::internal::CaptureStderr();
    EXPECT_EQ(send(1, 2), 0);
    EXPECT_EQ(sendParam(1, 2, 3, 4), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Not implemented"), std::string::npos);
}

}  // namespace
