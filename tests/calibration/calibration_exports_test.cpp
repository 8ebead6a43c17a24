// The calibration chain as a caller drives it: libkordex.so loaded at run
// time with the test's own settings file and home directory, KXC_Process on a
// small frame, the reports through the callback, KXC_Close.
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
#include "platform/paths.h"
#include "platform/text.h"
#include "support/bind_symbol.h"
#include "support/temp_dir.h"

namespace {

using test_support::ReadText;
using test_support::TempDir;
using test_support::WriteText;

struct Report {
    int kind;
    int code;
    int progress;
    std::string text;
};

using AbortFn = int32_t (*)(CalibrationJob*);

// The caller's context: every report, and optionally an abort request after
// the first counted step.
struct Recorder {
    std::mutex mutex;
    std::vector<Report> reports;
    AbortFn abort = nullptr;
    bool abortAfterFirstStep = false;
    int sleepAfterFirstStepMs = 0;
    std::atomic<int> sleepState{0};  // 1 while the callback sleeps, 2 after
};

int32_t OnReport(void* record)
{
    auto* job = static_cast<CalibrationJob*>(record);
    auto* r = static_cast<Recorder*>(job->context);
    bool abortNow = false;
    {
        std::lock_guard<std::mutex> lock(r->mutex);
        r->reports.push_back({job->kind, job->code, job->progress, job->text});
        abortNow = r->abortAfterFirstStep && job->code == KX_EVENT_PROGRESS && job->text[0] == '\0';
        if (abortNow) r->abortAfterFirstStep = false;
    }
    if (abortNow) r->abort(job);
    if (r->sleepAfterFirstStepMs > 0 && job->code == KX_EVENT_PROGRESS && job->text[0] == '\0') {
        const int ms = r->sleepAfterFirstStepMs;
        r->sleepAfterFirstStepMs = 0;
        r->sleepState = 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        r->sleepState = 2;
    }
    return 0;
}

class CalibrationExportsTest : public testing::Test {
protected:
    // Loads the library for a width x height frame (no rotation, no flip, no
    // cuts unless the extra [Settings] lines say otherwise: the first key
    // found wins) and appends the further sections of more. HomeDir is the
    // test's own directory and CAL is created in it.
    void Load(int width, int height, const std::string& settings = "", const std::string& more = "")
    {
        ASSERT_TRUE(dir_.Ok());
        width_ = width;
        height_ = height;
        home_ = dir_.Path() + "/";
        cal_ = home_ + "CAL/";
        ASSERT_TRUE(platform::MakeDirectory(cal_));
        WriteText(dir_.File("kordex.ini"),
                  "[Settings]\n" + settings +
                      platform::Format("HomeDir=%s\nFrameWidth=%d\nFrameHeight=%d\nRotation=0\nFlip=0\n",
                                       home_.c_str(), width, height) +
                      more);
        setenv("KORDEX_INI", dir_.File("kordex.ini").c_str(), 1);
        handle_ = dlopen(KORDEX_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
        process_ = Bind<CalibrationJob* (*)(uint32_t, KX_Callback, void*, int16_t*)>("KXC_Process");
        abort_ = Bind<AbortFn>("KXC_Abort");
        close_ = Bind<void (*)(CalibrationJob*)>("KXC_Close");
        logOpen_ = Bind<void (*)(const char*, int32_t, const char*)>("KX_LogOpen");
        logClose_ = Bind<void (*)()>("KX_LogClose");
        recorder_.abort = abort_;
        frame_.assign(static_cast<std::size_t>(width) * height, 0);
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
    void WriteFrame(const std::string& name, const std::vector<std::int16_t>& pixels)
    {
        WriteText(cal_ + name, std::string(reinterpret_cast<const char*>(pixels.data()), pixels.size() * 2));
    }
    std::vector<std::int16_t> Filled(std::int16_t value) const { return std::vector<std::int16_t>(frame_.size(), value); }
    std::int16_t& At(int x, int y) { return frame_[static_cast<std::size_t>(y) * width_ + x]; }
    std::size_t Index(int x, int y) const { return static_cast<std::size_t>(y) * width_ + x; }

    // Runs one job to its end and closes it; returns the reports. The log of
    // the run is kept in log_.
    std::vector<Report> Run(uint32_t flags)
    {
        logOpen_((home_).c_str(), 1, "cal");
        CalibrationJob* job = process_(flags, &OnReport, &recorder_, frame_.data());
        EXPECT_NE(job, nullptr);
        if (!job) return {};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::atomic_ref<int32_t>(job->runningWord).load() != 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        progress_ = job->progress;
        close_(job);
        logClose_();
        log_ = ReadText(home_ + "Log/cal00.log");
        std::lock_guard<std::mutex> lock(recorder_.mutex);
        return recorder_.reports;
    }
    static std::vector<std::string> Texts(const std::vector<Report>& reports)
    {
        std::vector<std::string> texts;
        for (const Report& r : reports) texts.push_back(r.text);
        return texts;
    }
    static bool Has(const std::vector<Report>& reports, const std::string& text)
    {
        for (const Report& r : reports)
            if (r.text == text) return true;
        return false;
    }
    static std::vector<int> Progress(const std::vector<Report>& reports)
    {
        std::vector<int> p;
        for (const Report& r : reports)
            if (r.code == KX_EVENT_PROGRESS && r.text.empty()) p.push_back(r.progress);
        return p;
    }

    TempDir dir_;
    void* handle_ = nullptr;
    std::string home_, cal_, log_;
    int width_ = 0, height_ = 0, progress_ = 0;
    std::vector<std::int16_t> frame_;
    Recorder recorder_;
    CalibrationJob* (*process_)(uint32_t, KX_Callback, void*, int16_t*) = nullptr;
    AbortFn abort_ = nullptr;
    void (*close_)(CalibrationJob*) = nullptr;
    void (*logOpen_)(const char*, int32_t, const char*) = nullptr;
    void (*logClose_)() = nullptr;
};

TEST_F(CalibrationExportsTest, NoStepsOnlyFillsTheOutline)
{
    Load(16, 8, "Descramble=3\nRCCutOff=3\nRCCutOffR=3\n");
    frame_ = Filled(1000);
    const auto reports = Run(0);
    ASSERT_GE(reports.size(), 3u);
    EXPECT_EQ(reports[0].text, "Calibration started flags=0h (0 steps)");
    EXPECT_EQ(reports[0].kind, KX_REPORT_TIMED);
    EXPECT_EQ(reports[0].code, KX_EVENT_PROGRESS);
    EXPECT_EQ(reports[1].text, "Calibration done");
    EXPECT_EQ(reports[1].progress, 255);
    EXPECT_EQ(reports.back().text, "Calibration closed");
    EXPECT_EQ(reports.back().code, KX_EVENT_CLOSED);
    EXPECT_EQ(progress_, 255);
    EXPECT_EQ(At(0, 7), 0) << "corner";
    EXPECT_EQ(At(15, 7), 0) << "mirrored corner";
    EXPECT_EQ(At(0, 4), 0) << "four rows high at the edge";
    EXPECT_EQ(At(0, 3), 1000);
    EXPECT_EQ(At(3, 7), 0) << "one row at column RCCutOff";
    EXPECT_EQ(At(4, 7), 1000);
    EXPECT_EQ(At(8, 0), 1000);
}

TEST_F(CalibrationExportsTest, ProgressOfTwoAndThreeSteps)
{
    Load(10, 6);
    WriteFrame("dark.raw", Filled(0));
    auto reports = Run(0x5);
    EXPECT_EQ(Progress(reports), (std::vector<int>{50, 100}));
    EXPECT_TRUE(Has(reports, "Calibration done"));
    recorder_.reports.clear();
    reports = Run(0x7);
    EXPECT_EQ(Progress(reports), (std::vector<int>{33, 67, 100}));
    EXPECT_EQ(reports.front().text, "Calibration started flags=7h (3 steps)");
}

TEST_F(CalibrationExportsTest, MissingDarkFrameDoesNotEndTheRun)
{
    Load(10, 6);
    frame_ = Filled(-7);
    const auto reports = Run(0x1);
    EXPECT_TRUE(Has(reports, "WRN: dark.raw does not exist"));
    EXPECT_TRUE(Has(reports, "Calibration done"));
    EXPECT_EQ(At(3, 3), 0) << "the clip still ran";
}

TEST_F(CalibrationExportsTest, AbortBeforeTheGainStep)
{
    Load(10, 6);
    WriteFrame("dark.raw", Filled(0));
    WriteFrame("A00_08000.raw", Filled(4000));
    frame_ = Filled(3000);
    recorder_.abortAfterFirstStep = true;
    const auto reports = Run(0x3);
    std::string all;
    for (const Report& r : reports) all += platform::Format("%d %d %d %s\n", r.kind, r.code, r.progress, r.text.c_str());
    EXPECT_FALSE(Has(reports, "Calibration done")) << all;
    EXPECT_FALSE(Has(reports, "GainCal start"));
    bool aborted = false;
    for (const Report& r : reports)
        if (r.text == "Abort calibration") aborted = r.kind == KX_REPORT_ERROR && r.code == KX_EVENT_ABORTED;
    EXPECT_TRUE(aborted);
    EXPECT_NE(log_.find("ERR: Abort calibration"), std::string::npos) << log_;
    EXPECT_EQ(At(0, 0), 3000) << "no gain";
    EXPECT_NE(progress_, 255);
}

TEST_F(CalibrationExportsTest, DumpsReplaceThePreviousSet)
{
    Load(10, 6, "SaveTempCalFrames=1\n");
    WriteText(cal_ + "$cold.raw", "x");
    WriteText(cal_ + "$C4_DES.RAW", "x");
    WriteFrame("dark.raw", Filled(0));
    Run(0xF);
    std::vector<std::string> files = platform::FindFiles(cal_, "$c*.raw");
    EXPECT_EQ(files, (std::vector<std::string>{"$c1_offset.raw", "$c2_gain.raw", "$c3_bpm.raw", "$c4_des.raw",
                                               "$c4_desTempBPM.raw"}));
    EXPECT_EQ(ReadText(cal_ + "$c1_offset.raw").size(), 10u * 6u * 2u);
}

TEST_F(CalibrationExportsTest, ImageFolderDumpsAreCutAndRotated)
{
    Load(10, 6, "SaveTempCalFrames=1\nSaveTempImgProcess=1\nRotation=1\nImgCutLeft=1\n");
    const std::string folder = home_ + "I0005x0010/";
    ASSERT_TRUE(platform::MakeDirectory(folder));
    WriteText(folder + "$iold.raw", "x");
    WriteText(folder + "$cold.raw", "x");
    Run(0x80000001u);
    EXPECT_EQ(platform::FindFiles(folder, "$*.raw"), (std::vector<std::string>{"$c0_src.raw", "$c1_offset.raw"}));
    EXPECT_EQ(ReadText(folder + "$c0_src.raw").size(), 5u * 10u * 2u);
}

TEST_F(CalibrationExportsTest, ThreadCountsOutOfRangeGiveTheSameFrame)
{
    std::vector<std::vector<std::int16_t>> results;
    for (int threads : {1, 0, 64}) {
        if (handle_) dlclose(handle_);
        handle_ = nullptr;
        Load(12, 40, platform::Format("NumParallelThreads=%d\n", threads), "[DeSpeckle]\nLnDet_Type=0\n");
        std::vector<std::int16_t> map = Filled(0);
        for (int y = 0; y < 40; y += 3) map[Index(5, y)] = 255;
        WriteFrame("BPM.raw", map);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 12; ++x) At(x, y) = static_cast<std::int16_t>(1000 + x * 3 + y);
        for (int y = 0; y < 40; y += 7) At(9, y) = 3000;
        recorder_.reports.clear();
        const auto reports = Run(0xC);
        EXPECT_TRUE(Has(reports, "Calibration done")) << threads;
        results.push_back(frame_);
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[0], results[2]);
}

TEST_F(CalibrationExportsTest, EveryThreadCountGivesTheOneBandFrameWithTheAuxiliaryDespeckle)
{
    // Neighbouring bad pixels and speckles everywhere, so every band reads
    // rows its neighbours mark and correct; repeated, since a race shows by
    // chance. Large enough for the bands to run side by side.
    constexpr int kWidth = 640, kHeight = 480;
    std::vector<std::int16_t> oneBand;
    for (int round = 0; round < 4; ++round)
        for (int threads = 1; threads <= 5; ++threads) {
            SCOPED_TRACE(::testing::Message() << threads << " threads, round " << round);
            if (handle_) dlclose(handle_);
            handle_ = nullptr;
            Load(kWidth, kHeight, platform::Format("NumParallelThreads=%d\n", threads), "[DeSpeckle]\nBPM_Enable=1\n");
            std::vector<std::int16_t> map = Filled(0);
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x)
                    if ((x * 7 + y * 3) % 11 < 3) map[Index(x, y)] = 255;
            WriteFrame("BPM.raw", map);
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x)
                    At(x, y) = static_cast<std::int16_t>((x * 13 + y * 29) % 17 == 0 ? 3000 : 1000 + (x * y) % 50);
            recorder_.reports.clear();
            EXPECT_TRUE(Has(Run(0x4), "Calibration done"));
            if (oneBand.empty()) oneBand = frame_;
            EXPECT_EQ(frame_, oneBand);
        }
}

TEST_F(CalibrationExportsTest, OffsetShiftAndFloor)
{
    Load(20, 4, "Cal_NegPixCompensation=1\n");
    std::vector<std::int16_t> dark = Filled(500);
    WriteFrame("dark.raw", dark);
    frame_ = Filled(1500);
    At(0, 0) = -20000;  // stored as -16383 before the clip: the shift is 16383
    At(1, 0) = -20000;
    const auto reports = Run(0x1);
    EXPECT_TRUE(Has(reports, "Shift 16383 compensates neg pixels"));
    EXPECT_EQ(At(0, 0), 0);
    EXPECT_EQ(At(5, 2), 1000 + 16383);
}

TEST_F(CalibrationExportsTest, GainPointsFromTheCalibrationDirectory)
{
    Load(8, 4);
    // Equal levels: A01 (found later) sorts before A00.
    WriteFrame("A00_05000.raw", Filled(1000));
    WriteFrame("A01_05000.raw", Filled(2000));
    WriteFrame("A02_09000.raw", Filled(3000));
    WriteText(cal_ + "A03_00000.raw", "not a frame");  // level 0: ignored
    WriteText(cal_ + "A04_x1234.raw", "not a frame");  // no number: ignored
    frame_ = Filled(2500);
    const auto reports = Run(0x2);
    EXPECT_TRUE(Has(reports, "GainCal done"));
    EXPECT_EQ(At(0, 0), 8000) << "segment 1000..3000 of the points ordered 2000, 1000, 3000";
}

TEST_F(CalibrationExportsTest, GainExamplesLinearAndLagrange)
{
    for (int lagrange : {0, 1}) {
        if (handle_) dlclose(handle_);
        handle_ = nullptr;
        Load(8, 4, platform::Format("Cal_Lagrange=%d\n", lagrange));
        WriteFrame("A00_04000.raw", Filled(1000));
        WriteFrame("A01_08000.raw", Filled(3000));
        frame_ = Filled(2000);
        At(1, 0) = 3500;
        At(2, 0) = -5;
        Run(0x2);
        EXPECT_EQ(At(0, 0), 6000) << lagrange;
        EXPECT_EQ(At(1, 0), 9000) << lagrange;
        EXPECT_EQ(At(2, 0), lagrange ? 0 : -19) << "Lagrange gives 0 for v <= 0; linear has no lower clip";
    }
}

TEST_F(CalibrationExportsTest, OffsetSubtractsTheDarkFrameAndClipsAtZero)
{
    Load(10, 4);
    WriteFrame("dark.raw", Filled(500));
    frame_ = Filled(1500);
    At(1, 1) = 400;  // 100 below the dark value
    const auto reports = Run(0x1);
    EXPECT_TRUE(Has(reports, "OfsCal start"));
    EXPECT_TRUE(Has(reports, "OfsCal done"));
    EXPECT_EQ(At(0, 0), 1000);
    EXPECT_EQ(At(1, 1), 0);
}

TEST_F(CalibrationExportsTest, OnePointAndOnlyTheFirst32)
{
    Load(8, 4);
    WriteFrame("A00_08000.raw", Filled(4000));
    frame_ = Filled(3000);
    Run(0x2);
    EXPECT_EQ(At(0, 0), 6000);

    for (int i = 0; i < 32; ++i)
        WriteFrame(platform::Format("A%2.2d_%5.5d.raw", i + 1, 1000 * (i + 1)), Filled(static_cast<std::int16_t>(100 * (i + 1))));
    std::remove((cal_ + "A00_08000.raw").c_str());
    WriteFrame("A33_50000.raw", Filled(3300));  // the 33rd: never used
    frame_ = Filled(3250);
    recorder_.reports.clear();
    Run(0x2);
    EXPECT_EQ(At(0, 0), 32500) << "extrapolated along the 32nd point's segment";
}

TEST_F(CalibrationExportsTest, BadCalibrationFilesEndTheRunWithTheirReports)
{
    Load(8, 4);
    WriteText(cal_ + "dark.raw", "short");
    auto reports = Run(0x1);
    EXPECT_TRUE(Has(reports, "OfsCal can't load dark frame"));
    EXPECT_FALSE(Has(reports, "Calibration done"));
    EXPECT_NE(log_.find("ERR: size of " + cal_ + "dark.raw (5 instead 64)"), std::string::npos) << log_;

    std::remove((cal_ + "dark.raw").c_str());
    WriteText(cal_ + "A00_04000.raw", std::string(63, '\0'));
    recorder_.reports.clear();
    reports = Run(0x2);
    EXPECT_TRUE(Has(reports, "GainCal can't load calibration point"));
    EXPECT_FALSE(Has(reports, "Calibration done"));

    std::remove((cal_ + "A00_04000.raw").c_str());
    WriteText(cal_ + "BPMM.raw", std::string(65, '\0'));
    recorder_.reports.clear();
    reports = Run(0x4);
    EXPECT_TRUE(Has(reports, "BadPixMap can't load manual map"));
    EXPECT_FALSE(Has(reports, "Calibration done"));
}

TEST_F(CalibrationExportsTest, NonIncreasingPointValuesGiveZero)
{
    Load(8, 4);
    WriteFrame("A00_04000.raw", Filled(3000));
    WriteFrame("A01_08000.raw", Filled(1000));
    frame_ = Filled(3500);
    Run(0x2);
    EXPECT_EQ(At(0, 0), 0);
}

TEST_F(CalibrationExportsTest, BadPixelExamples)
{
    Load(10, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x) At(x, y) = static_cast<std::int16_t>(10 * x + 1000 * y);
    // The pair example at (5, 4).
    At(4, 4) = 1000;
    At(6, 4) = 1010;
    At(5, 3) = 900;
    At(5, 5) = 1200;
    At(4, 3) = 0;
    At(6, 5) = 3000;
    At(6, 3) = 0;
    At(4, 5) = 3000;
    std::vector<std::int16_t> map = Filled(0);
    map[Index(5, 4)] = 255;
    map[Index(5, 0)] = 127;  // row 0: rings only
    WriteFrame("BPM.raw", map);
    const auto reports = Run(0x4);
    EXPECT_TRUE(Has(reports, "BadPixMap start: auto"));
    EXPECT_EQ(At(5, 4), 1005);
    EXPECT_EQ(At(5, 0), (1050 + 40 + 60 + 1060 + 1040 + 2050 + 30 + 70) / 8);
}

TEST_F(CalibrationExportsTest, ErrorCountsAreLoggedAndTheLimitStopsTheStepOnly)
{
    Load(80, 80, "NumParallelThreads=1\n");
    frame_ = Filled(100);
    WriteFrame("BPM.raw", Filled(255));
    const auto reports = Run(0x4);
    EXPECT_TRUE(Has(reports, "WRN: BPM can't correct pix[0,0] err#1"));
    EXPECT_TRUE(Has(reports, "WRN: BPM can't correct pix[40,12] err#1001"));
    EXPECT_FALSE(Has(reports, "WRN: BPM can't correct pix[1,0] err#2"));
    EXPECT_TRUE(Has(reports, "WRN: BPM stopped at pix[0,20] after 1600 errors"));
    EXPECT_FALSE(Has(reports, "BadPixMap done"));
    EXPECT_TRUE(Has(reports, "Calibration done"));
}

TEST_F(CalibrationExportsTest, OutlinePixelsAreUntouchedByTheCorrectionAndZeroAtTheEnd)
{
    Load(16, 8, "Descramble=3\nRCCutOff=3\nRCCutOffR=3\nSaveTempCalFrames=1\n");
    frame_ = Filled(1000);
    // Outline pixels of the bottom row hold a value that would show if one
    // were used as a neighbour.
    for (int x : {0, 1, 2, 3, 12, 13, 14, 15}) At(x, 7) = 30000;
    At(4, 7) = 5;  // bad, in the bottom row beside the outline: rings only
    std::vector<std::int16_t> manual = Filled(0);
    manual[Index(0, 7)] = 255;  // a manual mark on the outline
    manual[Index(4, 7)] = 255;
    WriteFrame("BPMM.raw", manual);
    const auto reports = Run(0x4);
    EXPECT_TRUE(Has(reports, "BadPixMap start: manual"));
    EXPECT_EQ(At(4, 7), 1000) << "the ring skips the outline pixels (3, 7) and (2, 7)";
    EXPECT_EQ(At(0, 7), 0);
    EXPECT_EQ(At(3, 7), 0);
    const std::string dump = ReadText(cal_ + "$c3_bpm.raw");
    ASSERT_EQ(dump.size(), 16u * 8u * 2u);
    std::int16_t corner = 0;
    std::memcpy(&corner, dump.data() + Index(0, 7) * 2, 2);
    EXPECT_EQ(corner, 30000) << "not corrected before the final fill";
}

struct ColumnCase {
    int type;         // LnDet_Type
    int width;        // 1 or 2 hot columns
    const char* done;  // the closing report of the step
    bool corrected;
};

TEST_F(CalibrationExportsTest, StandaloneDespeckleOfHotColumns)
{
    const ColumnCase cases[] = {
        {2, 1, "DeSpeckle done for 6 pixels", true},   // columns only: found
        {1, 1, "DeSpeckle done for 0 pixels", false},  // rows only: not seen
        {2, 2, "DeSpeckle done for 12 pixels", true},  // two wide: through the outer columns
    };
    for (const ColumnCase& c : cases) {
        if (handle_) dlclose(handle_);
        handle_ = nullptr;
        recorder_.reports.clear();
        Load(12, 10, "", platform::Format("[DeSpeckle]\nLnDet_Type=%d\n", c.type));
        frame_ = Filled(1000);
        for (int y = 0; y < 10; ++y)
            for (int x = 5; x < 5 + c.width; ++x) At(x, y) = 1300;
        const auto reports = Run(0x8);
        EXPECT_TRUE(Has(reports, c.done)) << c.done;
        EXPECT_EQ(At(5, 5), c.corrected ? 1000 : 1300) << c.done;
        EXPECT_EQ(At(4 + c.width, 4), c.corrected ? 1000 : 1300) << c.done;
        EXPECT_EQ(At(5, 1), 1300) << "the first two rows are never tested";
    }
}

TEST_F(CalibrationExportsTest, UndeliveredFrameCalibratesWithoutHarm)
{
    Load(16, 12, "Descramble=3\nRCCutOff=2\nCal_RepValue=-1\nCal_SatValue=4095\nCal_NegPixCompensation=1\n",
         "[DeSpeckle]\nBPM_Enable=1\nLnDet_Type=0\n");
    WriteFrame("dark.raw", Filled(300));
    WriteFrame("A00_02000.raw", Filled(1000));
    WriteFrame("A01_04000.raw", Filled(2000));
    std::vector<std::int16_t> map = Filled(0);
    map[Index(7, 7)] = 255;
    WriteFrame("BPM.raw", map);
    frame_ = Filled(static_cast<std::int16_t>(0x8000));
    const auto reports = Run(0xF);
    EXPECT_TRUE(Has(reports, "Calibration done"));
    for (std::int16_t p : frame_) {
        EXPECT_GE(p, 0);
        EXPECT_LE(p, 4095);
    }
}

TEST_F(CalibrationExportsTest, CloseTimeOutStopsTheWorkerWithoutKillingIt)
{
    Load(10, 6);
    WriteFrame("A00_08000.raw", Filled(4000));
    frame_ = Filled(3000);
    recorder_.sleepAfterFirstStepMs = 2300;  // the callback holds the worker past the close's 2000 ms
    CalibrationJob* job = process_(0x3, &OnReport, &recorder_, frame_.data());
    ASSERT_NE(job, nullptr);
    auto waitFor = [&](int state) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (recorder_.sleepState < state && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    waitFor(1);
    close_(job);
    // The worker ends at its next check, right after its callback returns;
    // it must be gone before the library is unloaded.
    waitFor(2);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::lock_guard<std::mutex> lock(recorder_.mutex);
    const auto& reports = recorder_.reports;
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().text, "WRN: Calibration closed by time-out");
    EXPECT_EQ(reports.back().code, KX_EVENT_CLOSED);
    EXPECT_FALSE(Has(reports, "GainCal start"));
    EXPECT_FALSE(Has(reports, "Calibration done"));
    EXPECT_EQ(At(0, 0), 3000) << "the worker stopped before the gain step";
}

TEST_F(CalibrationExportsTest, TheFrameIsNeverTouchedAfterACloseThatTimedOut)
{
    // The callback holds the worker past the close's 2000 ms after its only
    // step; then the worker still fills the cut-off corners. That must not
    // reach the caller's frame, which the caller may free (under the address
    // sanitizer a write would be a use after free) or reuse once the close
    // has returned.
    for (const bool freeIt : {false, true}) {
        SCOPED_TRACE(freeIt ? "freed after the close" : "kept after the close");
        if (handle_) dlclose(handle_);
        handle_ = nullptr;
        Load(16, 8, "Descramble=3\nRCCutOff=3\nRCCutOffR=3\n");
        WriteFrame("dark.raw", Filled(500));
        auto* frame = new std::int16_t[frame_.size()];
        std::fill(frame, frame + frame_.size(), std::int16_t{3000});
        recorder_.sleepState = 0;
        recorder_.sleepAfterFirstStepMs = 2300;
        CalibrationJob* job = process_(0x1, &OnReport, &recorder_, frame);
        ASSERT_NE(job, nullptr);
        auto waitFor = [&](int state) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (recorder_.sleepState < state && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
        waitFor(1);
        close_(job);
        const std::vector<std::int16_t> atClose(frame, frame + frame_.size());
        if (freeIt) delete[] frame;
        waitFor(2);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        {
            std::lock_guard<std::mutex> lock(recorder_.mutex);
            ASSERT_FALSE(recorder_.reports.empty());
            EXPECT_EQ(recorder_.reports.back().text, "WRN: Calibration closed by time-out");
        }
        EXPECT_EQ(atClose, std::vector<std::int16_t>(frame_.size(), 3000)) << "the worker calibrates its own copy";
        if (!freeIt) {
            EXPECT_EQ(std::vector<std::int16_t>(frame, frame + frame_.size()), atClose);
            delete[] frame;
        }
    }
}

TEST_F(CalibrationExportsTest, LifecyclesWithRandomDelaysNeverTouchAFreedFrame)
{
    // Process, maybe abort, close at random moments; the frame is freed as
    // soon as the close returns.
    Load(320, 240, "NumParallelThreads=3\n", "[DeSpeckle]\nBPM_Enable=1\n");
    WriteFrame("dark.raw", Filled(300));
    WriteFrame("A00_02000.raw", Filled(1000));
    WriteFrame("A01_04000.raw", Filled(2100));
    std::vector<std::int16_t> map = Filled(0);
    for (std::size_t i = 0; i < map.size(); i += 37) map[i] = 255;
    WriteFrame("BPM.raw", map);
    std::mt19937 random(3);
    std::uniform_int_distribution<int> delay(0, 3000), coin(0, 1);
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE(round);
        auto* frame = new std::int16_t[frame_.size()];
        std::fill(frame, frame + frame_.size(), std::int16_t{2500});
        CalibrationJob* job = process_(0xF, nullptr, nullptr, frame);
        ASSERT_NE(job, nullptr);
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        if (coin(random)) abort_(job);
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        close_(job);
        delete[] frame;
    }
}

TEST_F(CalibrationExportsTest, AbortAndCloseWithNull)
{
    Load(4, 4);
    EXPECT_EQ(abort_(nullptr), 0);
    close_(nullptr);
    EXPECT_EQ(process_(0, nullptr, nullptr, nullptr), nullptr);
}

}  // namespace
