// The processing chain as a caller drives it: libkordex.so loaded at run time
// with the test's own settings file, KXIP_Process on a small image, the
// reports through the callback, KXIP_Close.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "kordex.h"
#include "platform/text.h"
#include "support/bind_symbol.h"
#include "support/temp_dir.h"

namespace {

using test_support::TempDir;
using test_support::WriteText;

struct Recorder {
    std::mutex mutex;
    std::vector<std::string> texts;
};

int32_t OnReport(void* record)
{
    auto* job = static_cast<ProcessingJob*>(record);
    // The context is not part of the record: the recorder is global.
    (void)job;
    return 0;
}

Recorder g_recorder;

// A caller whose callback hangs on the start line: hangMs > 0 makes the
// callback sleep that long once (state 1 while it sleeps, 2 after).
struct Hang {
    std::atomic<int> ms{0};
    std::atomic<int> state{0};
    std::atomic<bool> onProgress{false};  // hang on the first progress report instead
};
Hang g_hang;

int32_t Record(void* record)
{
    auto* job = static_cast<ProcessingJob*>(record);
    {
        std::lock_guard<std::mutex> lock(g_recorder.mutex);
        if (job->code != 21 || job->text[0] != '\0' || job->progress == 255) g_recorder.texts.push_back(job->text);
    }
    const bool progress = job->code == 21 && job->progress > 0 && job->progress < 255;
    if ((g_hang.onProgress ? progress : std::strncmp(job->text, "IP start", 8) == 0) && g_hang.ms > 0) {
        const int ms = g_hang.ms.exchange(0);
        g_hang.state = 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        g_hang.state = 2;
    }
    return 0;
}

class ProcessingExportsTest : public testing::Test {
protected:
    void Load(const std::string& modes)
    {
        ASSERT_TRUE(dir_.Ok());
        const std::string home = dir_.Path() + "/";
        WriteText(dir_.File("kordex.ini"),
                  platform::Format("[Settings]\nHomeDir=%s\nFrameWidth=40\nFrameHeight=30\nRotation=0\nFlip=0\n",
                                   home.c_str()) +
                      modes);
        setenv("KORDEX_INI", dir_.File("kordex.ini").c_str(), 1);
        handle_ = dlopen(KORDEX_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
        process_ = Bind<ProcessingJob* (*)(int32_t, KX_Callback, void*, int16_t*, int32_t)>("KXIP_Process");
        abort_ = Bind<int32_t (*)(ProcessingJob*)>("KXIP_Abort");
        close_ = Bind<void (*)(ProcessingJob*)>("KXIP_Close");
        image_.assign(40 * 30, 0);
        for (std::size_t i = 0; i < image_.size(); ++i) image_[i] = static_cast<std::int16_t>(1500 + 5 * i);
        std::lock_guard<std::mutex> lock(g_recorder.mutex);
        g_recorder.texts.clear();
    }
    void TearDown() override
    {
        if (handle_) dlclose(handle_);
    }
    template <typename F>
    F Bind(const char* name)
    {
        return test_support::BindSymbol<F>(handle_, name);
    }
    std::vector<std::string> Run(int32_t flags, int32_t mode, int* progress)
    {
        ProcessingJob* job = process_(flags, &Record, nullptr, image_.data(), mode);
        EXPECT_NE(job, nullptr);
        if (!job) return {};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::atomic_ref<int32_t>(job->runningState).load() > 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        *progress = job->progress;
        EXPECT_EQ(job->mode, mode == 0 ? 1 : mode);
        close_(job);
        std::lock_guard<std::mutex> lock(g_recorder.mutex);
        return g_recorder.texts;
    }

    TempDir dir_;
    void* handle_ = nullptr;
    ProcessingJob* (*process_)(int32_t, KX_Callback, void*, int16_t*, int32_t) = nullptr;
    int32_t (*abort_)(ProcessingJob*) = nullptr;
    void (*close_)(ProcessingJob*) = nullptr;
    std::vector<std::int16_t> image_;
};

TEST_F(ProcessingExportsTest, FlagsZeroReportsTheStartLineAndDoneOnly)
{
    Load("[IP1]\nCaption=Molar front\n");
    int progress = 0;
    const auto texts = Run(0, 0, &progress);
    EXPECT_EQ(progress, 255);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], "IP start flags=0h threads=2 (mode 1 \"Molar front\")");
    EXPECT_EQ(texts[1], "IP done");
    EXPECT_EQ(texts[2], "IP closed");
}

TEST_F(ProcessingExportsTest, FullChainRunsToTheEnd)
{
    Load("[IP2]\nCaption=Standard\nFinC_Min=0\nFinC_Max=4095\nC3iAir=7500\nC3iWat=4000\nC3iBon=1500\n");
    int progress = 0;
    const auto texts = Run(7, 2, &progress);
    EXPECT_EQ(progress, 255);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts[texts.size() - 2], "IP done");
    EXPECT_EQ(image_[38], 0);
    EXPECT_EQ(image_[39], 4095);
}

TEST_F(ProcessingExportsTest, WrongCurveEndsWithoutDone)
{
    Load("[IP1]\nCaption=x\nC3iAir=100\nC3iBon=200\n");
    int progress = 0;
    const auto texts = Run(2, 1, &progress);
    EXPECT_NE(progress, 255);
    bool wrong = false, done = false;
    for (const auto& t : texts) {
        wrong |= t == "Wrong re-map parameters";
        done |= t == "IP done";
    }
    EXPECT_TRUE(wrong);
    EXPECT_FALSE(done);
}

TEST_F(ProcessingExportsTest, CloseGivesUpAHungWorkerAfterFourSecondsWithoutKillingIt)
{
    Load("[IP1]\nCaption=x\n");
    const std::string home = dir_.Path() + "/";
    Bind<void (*)(const char*, int32_t, const char*)>("KX_LogOpen")(home.c_str(), 1, "ip");
    const std::vector<std::int16_t> before = image_;
    g_hang.state = 0;
    g_hang.ms = 6000;  // the worker stays in its callback well past the close's 4000 ms
    ProcessingJob* job = process_(7, &Record, nullptr, image_.data(), 1);
    ASSERT_NE(job, nullptr);
    auto waitFor = [](int state) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (g_hang.state < state && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return g_hang.state >= state;
    };
    ASSERT_TRUE(waitFor(1));
    const auto start = std::chrono::steady_clock::now();
    close_(job);
    const auto closeMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(closeMs, 4000);
    EXPECT_LT(closeMs, 6000) << "the caller gets control back while the worker still hangs";
    // The worker was detached, not killed: its callback runs to its end, and
    // the worker then stops at its next abort check. It must be gone before
    // the library is unloaded.
    ASSERT_TRUE(waitFor(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Bind<void (*)()>("KX_LogClose")();
    const std::string log = test_support::ReadText(home + "Log/ip00.log");
    EXPECT_NE(log.find("WRN: IP closed by timeout"), std::string::npos) << log;
    std::lock_guard<std::mutex> lock(g_recorder.mutex);
    for (const auto& t : g_recorder.texts) {
        EXPECT_NE(t, "IP done") << "reports after the close are dropped";
        EXPECT_NE(t, "IP closed");
    }
    EXPECT_EQ(image_, before) << "the worker stopped before its first stage";
}

TEST_F(ProcessingExportsTest, TheImageIsNeverTouchedAfterACloseThatTimedOut)
{
    // The callback holds the worker past the close's 4000 ms after the first
    // unsharp step; the second step, a smoothing, then still runs a row
    // before it sees the abort. That must not reach the caller's image, which
    // the caller may free or reuse once the close has returned. The samples
    // lie between the air and bone levels, where the smoothing has weight.
    for (const bool freeIt : {false, true}) {
        SCOPED_TRACE(freeIt ? "freed after the close" : "kept after the close");
        if (handle_) dlclose(handle_);
        handle_ = nullptr;
        Load("[IP1]\nCaption=x\n");
        for (std::size_t i = 0; i < image_.size(); ++i) image_[i] = static_cast<std::int16_t>(200 + (i * i * 7) % 61 * 10);
        auto* image = new std::int16_t[image_.size()];
        std::copy(image_.begin(), image_.end(), image);
        g_hang.state = 0;
        g_hang.onProgress = true;
        g_hang.ms = 4300;
        ProcessingJob* job = process_(4, &Record, nullptr, image, 1);
        ASSERT_NE(job, nullptr);
        auto waitFor = [](int state) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (g_hang.state < state && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return g_hang.state >= state;
        };
        ASSERT_TRUE(waitFor(1));
        close_(job);
        const std::vector<std::int16_t> atClose(image, image + image_.size());
        if (freeIt) delete[] image;
        ASSERT_TRUE(waitFor(2));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        g_hang.onProgress = false;
        EXPECT_EQ(atClose, image_) << "the worker processes its own copy";
        if (!freeIt) {
            EXPECT_EQ(std::vector<std::int16_t>(image, image + image_.size()), atClose);
            delete[] image;
        }
    }
}

TEST_F(ProcessingExportsTest, LifecyclesWithRandomDelaysNeverTouchAFreedImage)
{
    // Process, maybe abort, close at random moments, standard and auxiliary
    // modes; the image is freed as soon as the close returns.
    Load("[IP1]\nCaption=Standard\nFinC_Min=0\nFinC_Max=4095\n[IP301]\nCaption=Internal\n");
    std::mt19937 random(4);
    std::uniform_int_distribution<int> delay(0, 2000), coin(0, 1);
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE(round);
        auto* image = new std::int16_t[image_.size()];
        std::copy(image_.begin(), image_.end(), image);
        ProcessingJob* job = process_(7, nullptr, nullptr, image, coin(random) ? 1 : 301);
        ASSERT_NE(job, nullptr);
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        if (coin(random)) abort_(job);
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        close_(job);
        delete[] image;
    }
}

TEST_F(ProcessingExportsTest, NegativeModesAndNullArgumentsAreRefused)
{
    Load("");
    EXPECT_EQ(process_(7, &OnReport, nullptr, image_.data(), -1), nullptr);
    EXPECT_EQ(process_(7, &OnReport, nullptr, nullptr, 1), nullptr);
    EXPECT_EQ(abort_(nullptr), 0);
    close_(nullptr);
}

}  // namespace
