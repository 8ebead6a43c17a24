// Auxiliary processing as a caller drives it: libkordex.so loaded at run
// time with the test's own settings file, KXIP_Process with modes 300 and
// above on a 40 x 30 image of a sensor with cut corners, the reports through
// the callback, KXIP_Abort and KXIP_Close. libcalpost.so lies beside
// libkordex.so in the build tree, as it does when installed.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kordex.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "support/bind_symbol.h"
#include "support/temp_dir.h"

namespace {

using test_support::TempDir;

struct Report {
    int kind;
    int code;
    std::string text;
};

using AbortFunction = int32_t (*)(ProcessingJob*);

std::mutex g_mutex;
std::vector<Report> g_reports;
AbortFunction g_abortOnStart = nullptr;

int32_t Record(void* record)
{
    auto* job = static_cast<ProcessingJob*>(record);
    bool abort = false;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (job->text[0] == '\0') return 0;  // progress refresh
        g_reports.push_back({job->kind, job->code, job->text});
        abort = g_abortOnStart && std::string(job->text).rfind("Aux IP [", 0) == 0;
    }
    if (abort) g_abortOnStart(job);  // from the worker's own report, outside the recorder's lock
    return 0;
}

constexpr int kWidth = 40, kHeight = 30;

class AuxiliaryExportsTest : public testing::Test {
protected:
    void Load(const std::string& settings, const std::string& modes)
    {
        ASSERT_TRUE(dir_.Ok());
        home_ = dir_.Path() + "/";
        test_support::WriteText(
            dir_.File("kordex.ini"),
            platform::Format("[Settings]\nHomeDir=%s\nFrameWidth=%d\nFrameHeight=%d\nRotation=0\nFlip=0\n"
                             "Descramble=3\nRCCutOff=10\nRCCutOffR=10\n",
                             home_.c_str(), kWidth, kHeight) +
                settings + modes);
        setenv("KORDEX_INI", dir_.File("kordex.ini").c_str(), 1);
        handle_ = dlopen(KORDEX_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
        process_ = test_support::BindSymbol<ProcessingJob* (*)(int32_t, KX_Callback, void*, int16_t*, int32_t)>(
            handle_, "KXIP_Process");
        abort_ = test_support::BindSymbol<AbortFunction>(handle_, "KXIP_Abort");
        close_ = test_support::BindSymbol<void (*)(ProcessingJob*)>(handle_, "KXIP_Close");
        // A ramp with a few bright "teeth"; the bottom-left corner lies
        // outside the sensitive area and starts at 0.
        image_.resize(static_cast<std::size_t>(kWidth) * kHeight);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) At(x, y) = static_cast<std::int16_t>(800 + 40 * y + ((x / 6) % 2) * 1500);
        At(0, kHeight - 1) = 0;
        std::lock_guard<std::mutex> lock(g_mutex);
        g_reports.clear();
        g_abortOnStart = nullptr;
    }
    void TearDown() override
    {
        if (handle_) dlclose(handle_);
        unsetenv("KORDEX_INI");
    }
    std::int16_t& At(int x, int y) { return image_[static_cast<std::size_t>(y) * kWidth + x]; }

    // Runs one job to its end and closes it; the job's final progress and
    // abort state go to the members.
    std::vector<Report> Run(int mode)
    {
        ProcessingJob* job = process_(0, &Record, nullptr, image_.data(), mode);
        EXPECT_NE(job, nullptr);
        if (!job) return {};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::atomic_ref<int32_t>(job->runningState).load() != 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        progress_ = job->progress;
        abortState_ = job->abortState;
        EXPECT_EQ(job->mode, mode);
        close_(job);
        std::lock_guard<std::mutex> lock(g_mutex);
        return g_reports;
    }
    static std::vector<std::string> Texts(const std::vector<Report>& reports)
    {
        std::vector<std::string> texts;
        for (const Report& r : reports) texts.push_back(r.text);
        return texts;
    }
    // The reports of a job that ran to its end, and its close.
    static std::vector<std::string> DoneTexts(int mode, const std::string& caption)
    {
        return {platform::Format("Aux IP [IP%d] started", mode), "Mode name: " + caption, "Aux IP done",
                "Aux IP closed"};
    }
    std::string ImageFolder() const { return home_ + platform::Format("I%4.4dx%4.4d/", kWidth, kHeight); }

    TempDir dir_;
    std::string home_;
    void* handle_ = nullptr;
    ProcessingJob* (*process_)(int32_t, KX_Callback, void*, int16_t*, int32_t) = nullptr;
    AbortFunction abort_ = nullptr;
    void (*close_)(ProcessingJob*) = nullptr;
    std::vector<std::int16_t> image_;
    int progress_ = 0;
    int abortState_ = 0;
};

TEST_F(AuxiliaryExportsTest, SectionWithoutCaptionReportsThatItDoesNotExistAndLeavesTheOutlineFilled)
{
    Load("", "[IP300]\nGamma=20\n[IP302]\nCaption=   \n");
    for (int mode : {300, 302}) {
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            g_reports.clear();
        }
        const auto reports = Run(mode);
        ASSERT_EQ(reports.size(), 2u);
        EXPECT_EQ(reports[0].text, platform::Format("Aux IP [IP%d] does not exist", mode));
        EXPECT_EQ(reports[0].kind, 2);
        EXPECT_EQ(reports[0].code, -20);
        EXPECT_EQ(reports[1].text, "Aux IP closed");
        EXPECT_EQ(reports[1].code, 2);
        EXPECT_NE(progress_, 255);
        EXPECT_EQ(abortState_, -1);
    }
    // The outline corner was filled from its neighbourhood and not cleared.
    EXPECT_GT(At(0, kHeight - 1), 500);
}

TEST_F(AuxiliaryExportsTest, InternalModeRunsWithItsReportsDumpsAndStatistics)
{
    Load("SaveTempImgProcess=1\n", "[IP301]\nCaption=Internal sample\nUnsharpMaskRadius=20\n");
    const auto reports = Run(301);
    EXPECT_EQ(Texts(reports), DoneTexts(301, "Internal sample"));
    ASSERT_EQ(reports.size(), 4u);
    EXPECT_EQ(reports[0].kind, 1);
    EXPECT_EQ(reports[0].code, 21);
    EXPECT_EQ(reports[1].kind, 0);
    EXPECT_EQ(reports[1].code, 20);
    EXPECT_EQ(reports[2].code, 21);
    EXPECT_EQ(progress_, 255);
    EXPECT_EQ(At(0, kHeight - 1), 0);  // the outline is 0 after a success
    for (const char* name : {"$io1normal.raw", "$io2normal.raw", "$io3median0.raw", "$io4median1.raw",
                             "$io5aunsharp.raw", "$io6histtrunk.raw", "$io$prcsstd.txt"})
        EXPECT_TRUE(platform::FileExists(ImageFolder() + name)) << name;
    EXPECT_EQ(test_support::ReadText(ImageFolder() + "$io1normal.raw").size(), 2u * kWidth * kHeight);
    EXPECT_EQ(test_support::ReadText(ImageFolder() + "$io$prcsstd.txt").rfind("MolarTeethWeight=", 0), 0u);
    EXPECT_GE(*std::min_element(image_.begin(), image_.end()), 0);
    EXPECT_LE(*std::max_element(image_.begin(), image_.end()), 4095);
}

TEST_F(AuxiliaryExportsTest, CalpostModeRunsTheLibraryBesideKordex)
{
    Load("", "[IP401]\nCaption=Calpost sample\nLCON=0\n");
    EXPECT_EQ(Texts(Run(401)), DoneTexts(401, "Calpost sample"));
    EXPECT_EQ(progress_, 255);
    // PostPrc spans 0..32767 (the outline corner is 0 again).
    EXPECT_EQ(*std::min_element(image_.begin(), image_.end()), 0);
    EXPECT_EQ(*std::max_element(image_.begin(), image_.end()), 32767);
}

TEST_F(AuxiliaryExportsTest, ToneforgeModeRunsTheLinkedClass)
{
    Load("", "[IP501]\nCaption=Toneforge sample\nm_FGB_sig=3\nm_AUMKS=5\nm_CLCX=2\nm_CLCY=2\nm_CLSL=1.3\n"
             "m_ALCH=0.01\nm_ALCL=0.01\nm_Test_S1=0.05\nm_DummyY=25\n");
    EXPECT_EQ(Texts(Run(501)), DoneTexts(501, "Toneforge sample"));
    EXPECT_EQ(progress_, 255);
    EXPECT_GE(*std::min_element(image_.begin(), image_.end()), 0);
    EXPECT_LE(*std::max_element(image_.begin(), image_.end()), 4095);
}

TEST_F(AuxiliaryExportsTest, AbortEndsTheJobWithoutDoneAndCloseReportsAuxClosed)
{
    Load("", "[IP301]\nCaption=Internal sample\n");
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_abortOnStart = abort_;
    }
    const auto reports = Run(301);
    const std::vector<std::string> expected = {"Aux IP [IP301] started", "Abort IP", "Mode name: Internal sample",
                                               "Aux IP closed"};
    EXPECT_EQ(Texts(reports), expected);
    ASSERT_EQ(reports.size(), 4u);
    EXPECT_EQ(reports[1].kind, 2);
    EXPECT_EQ(reports[1].code, 1);
    EXPECT_EQ(abortState_, 1);
    EXPECT_NE(progress_, 255);
    EXPECT_EQ(abort_(nullptr), 0);
}

}  // namespace
