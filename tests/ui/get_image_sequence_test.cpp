// The get-image stage machine with a scripted driver and a host that queues
// the posted messages; the test plays the activities' reports.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "ui/get_image_sequence.h"

namespace kordex::ui {
namespace {

class FakeHost : public SequenceHost {
public:
    void Post(int message, int parameter) override { queue.emplace_back(message, parameter); }
    void SetTitle(const std::string& title) override { titles.push_back(title); }
    void End(int r) override
    {
        ++ends;
        result = r;
    }
    void ScheduleCancelTry(int tryNumber) override
    {
        ++cancelTries;
        queue.emplace_back(kMsgCancel, tryNumber);
    }
    void ShowStageProgress() override { ++progressShown; }
    void DrawImage(const std::int16_t* image, bool frameSized) override { drawn.emplace_back(image, frameSized); }
    void DrawLines(int line) override { lines.push_back(line); }
    void StartShotTimer() override { shotTimer = true; }
    void StopShotTimer() override { shotTimer = false; }
    void DisableCancel() override { cancelDisabled = true; }

    std::deque<std::pair<int, int>> queue;
    std::vector<std::string> titles;
    std::vector<std::pair<const std::int16_t*, bool>> drawn;
    std::vector<int> lines;
    int ends = 0, result = 0, cancelTries = 0, progressShown = 0;
    bool shotTimer = false, cancelDisabled = false;
};

// Records the calls; the close calls deliver the close report as the library
// does, in the calling thread.
class FakeDriver : public StageDriver {
public:
    AcqStatus* Connect(const AcquisitionStage&) override
    {
        calls.push_back("connect");
        if (!connectOk) {
            if (!connectError.empty()) Report(KX_REPORT_ERROR, 20, connectError.c_str());
            return nullptr;
        }
        return &acq;
    }
    bool StartFrame(AcqStatus*) override
    {
        calls.push_back("start");
        return startOk;
    }
    void AbortAcquisition(AcqStatus*) override
    {
        calls.push_back("abort acq");
        Report(KX_REPORT_ERROR, KX_EVENT_ABORTED, "ERR: Abort acquisition");
    }
    void CloseAcquisition(AcqStatus*) override
    {
        calls.push_back("close acq");
        Report(KX_REPORT_INFO, KX_EVENT_CLOSED, "Acquisition closed");
    }
    CalibrationJob* StartCalibration(const CalibrationStage&) override
    {
        calls.push_back("calibrate");
        return calibrationOk ? &cal : nullptr;
    }
    void AbortCalibration(CalibrationJob*) override { calls.push_back("abort cal"); }
    void CloseCalibration(CalibrationJob*) override
    {
        calls.push_back("close cal");
        cal.kind = 0;
        cal.code = KX_EVENT_CLOSED;
        sequence->OnCalibrationReport(&cal);
    }
    void CutImage(const std::int16_t*, std::int16_t*) override { calls.push_back("cut"); }
    ProcessingJob* StartProcessing(const ProcessingStage&) override
    {
        calls.push_back("process");
        return processingOk ? &ip : nullptr;
    }
    void AbortProcessing(ProcessingJob*) override { calls.push_back("abort ip"); }
    void CloseProcessing(ProcessingJob*) override
    {
        calls.push_back("close ip");
        ip.kind = 0;
        ip.code = KX_EVENT_CLOSED;
        sequence->OnProcessingReport(&ip);
    }
    std::string Message(int code) override { return "msg" + std::to_string(code); }

    void Report(int kind, int event, const char* text, int progress = 0, int lines = 0)
    {
        acq.kind = kind;
        acq.event = event;
        acq.progress = progress;
        acq.lines = lines;
        std::snprintf(acq.text, sizeof acq.text, "%s", text);
        sequence->OnAcquisitionReport(&acq);
    }

    GetImageSequence* sequence = nullptr;
    AcqStatus acq{};
    CalibrationJob cal{};
    ProcessingJob ip{};
    bool connectOk = true, startOk = true, calibrationOk = true, processingOk = true;
    std::string connectError;
    std::vector<std::string> calls;
};

std::int32_t CallerCallback(void*)
{
    return 0;
}

class SequenceTest : public testing::Test {
protected:
    void Make(WindowKind kind)
    {
        sequence_ = std::make_unique<GetImageSequence>(kind, stages_, geometry_, driver_, host_);
        driver_.sequence = sequence_.get();
        driver_.acq.callback = &CallerCallback;
        driver_.cal.callback = &CallerCallback;
        driver_.ip.callback = &CallerCallback;
        sequence_->Start();
    }
    // Takes the posted messages in order until none is left.
    void Pump()
    {
        for (int guard = 0; !host_.queue.empty() && guard < 1000; ++guard) {
            const auto [message, parameter] = host_.queue.front();
            host_.queue.pop_front();
            sequence_->Handle(message, parameter);
        }
    }
    void AllStages()
    {
        stages_.acquisition.frame = frame_.data();
        stages_.calibration.image = frame_.data();
        stages_.calibration.cutImage = cut_.data();
        stages_.processing.image = cut_.data();
    }
    template <typename Job>
    static void Fill(Job& job, int kind, int code, int progress, const char* text)
    {
        job.kind = kind;
        job.code = code;
        job.progress = progress;
        std::snprintf(job.text, sizeof job.text, "%s", text);
    }
    void CalibrationReport(int kind, int code, int progress, const char* text = "")
    {
        Fill(driver_.cal, kind, code, progress, text);
        sequence_->OnCalibrationReport(&driver_.cal);
    }
    void ProcessingReport(int kind, int code, int progress, const char* text = "")
    {
        Fill(driver_.ip, kind, code, progress, text);
        sequence_->OnProcessingReport(&driver_.ip);
    }
    // The read-out of a complete frame: start, the last line, done.
    void CompleteFrame()
    {
        driver_.Report(KX_REPORT_TIMED, KX_EVENT_PROGRESS, "start", 0);
        driver_.Report(KX_REPORT_INFO, KX_EVENT_DATA, "", 50, 344);
        driver_.Report(KX_REPORT_INFO, KX_EVENT_DATA, "", 100, geometry_.frameHeight);
        driver_.Report(KX_REPORT_INFO, KX_EVENT_PROGRESS, "done", 255, geometry_.frameHeight);
    }

    FrameGeometry geometry_;
    StageSettings stages_;
    std::vector<std::int16_t> frame_ = std::vector<std::int16_t>(910 * 688);
    std::vector<std::int16_t> cut_ = std::vector<std::int16_t>(910 * 688);
    FakeDriver driver_;
    FakeHost host_;
    std::unique_ptr<GetImageSequence> sequence_;
};

TEST_F(SequenceTest, NoBuffersEndAtOnceWithOne)
{
    for (WindowKind kind : {WindowKind::Preview, WindowKind::Banner}) {
        host_ = FakeHost();
        driver_.calls.clear();
        Make(kind);
        Pump();
        EXPECT_EQ(host_.ends, 1);
        EXPECT_EQ(host_.result, 1);
        EXPECT_TRUE(driver_.calls.empty());
        EXPECT_FALSE(sequence_->ShowsErrorBox());
    }
}

TEST_F(SequenceTest, PreviewRunsTheThreeStagesInOrder)
{
    AllStages();
    stages_.acquisition.flags = 1;
    Make(WindowKind::Preview);
    Pump();
    EXPECT_EQ(host_.titles, std::vector<std::string>{"msg1"});
    EXPECT_TRUE(host_.shotTimer);
    CompleteFrame();
    Pump();
    EXPECT_FALSE(host_.shotTimer) << "the first data stops the shot timer";
    EXPECT_EQ(host_.lines, (std::vector<int>{343, 687}));
    EXPECT_EQ(host_.progressShown, 1);
    CalibrationReport(0, KX_EVENT_PROGRESS, 40);
    Pump();
    EXPECT_EQ(host_.titles.back(), "msg2 40%");
    EXPECT_EQ(host_.drawn.back(), std::make_pair(static_cast<const std::int16_t*>(frame_.data()), true));
    CalibrationReport(0, KX_EVENT_PROGRESS, 255, "Calibration done");
    Pump();
    ProcessingReport(0, KX_EVENT_PROGRESS, 70);
    ProcessingReport(0, KX_EVENT_PROGRESS, 255, "IP done");
    Pump();
    EXPECT_EQ(driver_.calls, (std::vector<std::string>{"connect", "start", "close acq", "calibrate", "cut", "close cal",
                                                       "process", "close ip"}));
    EXPECT_EQ(host_.titles, (std::vector<std::string>{"msg1", "msg1 50%", "msg1 100%", "msg2", "msg2 40%", "msg3",
                                                      "msg3 70%"}));
    EXPECT_EQ(host_.result, 1);
    EXPECT_EQ(host_.ends, 1);
}

TEST_F(SequenceTest, BannerRunsTheThreeStagesAndStopsCallerCallbacksWhenDone)
{
    AllStages();
    Make(WindowKind::Banner);
    Pump();
    EXPECT_EQ(sequence_->BannerStateNow(), kBannerInitialising);
    driver_.Report(KX_REPORT_TIMED, KX_EVENT_PROGRESS, "start", 0);
    EXPECT_EQ(sequence_->BannerStateNow(), kBannerWaiting);
    driver_.Report(KX_REPORT_INFO, KX_EVENT_DATA, "", 10, 60);
    EXPECT_EQ(sequence_->BannerStateNow(), kBannerCapturing);
    driver_.Report(KX_REPORT_INFO, KX_EVENT_PROGRESS, "done", 255, 688);
    EXPECT_EQ(driver_.acq.callback, nullptr);
    Pump();
    EXPECT_EQ(sequence_->BannerStateNow(), kBannerOptimising);
    CalibrationReport(0, KX_EVENT_PROGRESS, 255);
    EXPECT_EQ(driver_.cal.callback, nullptr);
    Pump();
    ProcessingReport(0, KX_EVENT_PROGRESS, 255);
    EXPECT_EQ(driver_.ip.callback, nullptr);
    Pump();
    EXPECT_EQ(driver_.calls, (std::vector<std::string>{"connect", "start", "close acq", "calibrate", "close cal", "cut",
                                                       "process", "close ip"}));
    EXPECT_EQ(host_.result, 1);
}

TEST_F(SequenceTest, SkippedStagesAreNotStarted)
{
    stages_.calibration.image = frame_.data();  // calibration only
    Make(WindowKind::Preview);
    Pump();
    ASSERT_EQ(host_.drawn.size(), 1u) << "the calibration input is drawn first";
    EXPECT_TRUE(host_.drawn[0].second);
    EXPECT_EQ(host_.progressShown, 1);
    CalibrationReport(0, KX_EVENT_PROGRESS, 255);
    Pump();
    EXPECT_EQ(driver_.calls, (std::vector<std::string>{"calibrate", "close cal"}));
    EXPECT_EQ(host_.result, 1);
}

struct FailureCase {
    const char* name;
    WindowKind kind;
    const char* connectError;  // "" none
    std::string expectedText;
};

TEST_F(SequenceTest, ConnectFailureRecordsTheTextOfTheFailureTable)
{
    const FailureCase cases[] = {
        {"preview, no report", WindowKind::Preview, "", "ERR: Acquisition API initialization"},
        {"preview, report", WindowKind::Preview, "ERR: PID2001 no interface #0 (check connection)",
         "ERR: PID2001 no interface #0 (check connection)"},
        {"banner, no report", WindowKind::Banner, "", "Acquisition fault"},
        {"banner, report", WindowKind::Banner, "ERR: busy", "ERR: busy"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        host_ = FakeHost();
        driver_ = FakeDriver();
        AllStages();
        driver_.connectOk = false;
        driver_.connectError = c.connectError;
        Make(c.kind);
        Pump();
        EXPECT_EQ(host_.result, 2);
        EXPECT_EQ(host_.ends, 1);
        EXPECT_EQ(sequence_->FirstError(), c.expectedText);
        EXPECT_TRUE(sequence_->ShowsErrorBox());
        EXPECT_EQ(driver_.calls.front(), "connect");
        EXPECT_EQ(std::count(driver_.calls.begin(), driver_.calls.end(), "calibrate"), 0);
    }
}

TEST_F(SequenceTest, StageThatCannotStartEndsWithItsText)
{
    struct Case {
        WindowKind kind;
        bool calibrationOk, processingOk;
        std::string text;
    } cases[] = {
        {WindowKind::Preview, false, true, "ERR: Calibration API initialization"},
        {WindowKind::Preview, true, false, "ERR: Img process API initialization"},
        {WindowKind::Banner, false, true, "Calibration fault"},
        {WindowKind::Banner, true, false, "Img Prcs fault"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        host_ = FakeHost();
        driver_ = FakeDriver();
        stages_ = StageSettings();
        stages_.calibration.image = frame_.data();
        stages_.processing.image = cut_.data();
        driver_.calibrationOk = c.calibrationOk;
        driver_.processingOk = c.processingOk;
        Make(c.kind);
        Pump();
        if (c.calibrationOk) {
            CalibrationReport(0, KX_EVENT_PROGRESS, 255);
            Pump();
        }
        EXPECT_EQ(host_.result, 2);
        EXPECT_EQ(sequence_->FirstError(), c.text);
    }
}

TEST_F(SequenceTest, BannerKeepsTheReportedErrorText)
{
    stages_.calibration.image = frame_.data();
    stages_.processing.image = cut_.data();
    Make(WindowKind::Banner);
    Pump();
    CalibrationReport(KX_REPORT_ERROR, 20, 0, "ERR: OfsCal can't load dark frame");
    EXPECT_EQ(driver_.cal.callback, nullptr);
    Pump();
    EXPECT_EQ(host_.result, 2);
    EXPECT_EQ(sequence_->FirstError(), "ERR: OfsCal can't load dark frame");
    EXPECT_EQ(std::count(driver_.calls.begin(), driver_.calls.end(), "process"), 0) << "a failed stage ends the run";
}

TEST_F(SequenceTest, CancelBeforeTheShotAbortsAndShowsNoBox)
{
    for (WindowKind kind : {WindowKind::Preview, WindowKind::Banner}) {
        host_ = FakeHost();
        driver_ = FakeDriver();
        AllStages();
        stages_.acquisition.flags = 1;
        Make(kind);
        Pump();
        driver_.Report(KX_REPORT_TIMED, KX_EVENT_PROGRESS, "start", 0);
        sequence_->RequestCancel();
        EXPECT_TRUE(sequence_->Cancelled());
        Pump();
        EXPECT_EQ(host_.result, 2);
        EXPECT_EQ(host_.ends, 1);
        EXPECT_FALSE(sequence_->ShowsErrorBox());
        EXPECT_EQ(driver_.calls, (std::vector<std::string>{"connect", "start", "abort acq", "close acq"}));
    }
}

TEST_F(SequenceTest, CancelWithNothingRunningTriesThreeTimesThenEnds)
{
    Make(WindowKind::Preview);  // no stages: the sequence would end with 1
    sequence_->RequestCancel();
    host_.queue.pop_front();  // 0x0C00(0) is taken after the cancel
    Pump();
    EXPECT_EQ(host_.cancelTries, 2);
    EXPECT_EQ(host_.result, 2);
    EXPECT_EQ(host_.ends, 1);
}

TEST_F(SequenceTest, CancelledSequenceStartsNoFurtherStage)
{
    AllStages();
    Make(WindowKind::Preview);
    Pump();
    CompleteFrame();
    // The cancel arrives after the frame is complete but before the next
    // stage starts.
    sequence_->RequestCancel();
    Pump();
    EXPECT_EQ(host_.result, 2);
    EXPECT_EQ(std::count(driver_.calls.begin(), driver_.calls.end(), "calibrate"), 0);
}

TEST_F(SequenceTest, CancelDuringCalibrationAbortsIt)
{
    stages_.calibration.image = frame_.data();
    Make(WindowKind::Preview);
    Pump();
    sequence_->RequestCancel();
    Pump();
    EXPECT_EQ(driver_.calls, (std::vector<std::string>{"calibrate", "abort cal", "close cal"}));
    EXPECT_EQ(host_.result, 2);
}

TEST_F(SequenceTest, DataLocksCancelWhenTheFlagsAskForIt)
{
    for (int flags : {0, 2, 4}) {
        host_ = FakeHost();
        driver_ = FakeDriver();
        stages_.acquisition.frame = frame_.data();
        stages_.acquisition.flags = flags;
        Make(WindowKind::Preview);
        Pump();
        driver_.Report(KX_REPORT_INFO, KX_EVENT_DATA, "", 10, 70);
        Pump();
        EXPECT_EQ(host_.cancelDisabled, flags != 0) << flags;
    }
}

TEST_F(SequenceTest, ReportsOfAnotherActivityAreIgnored)
{
    Make(WindowKind::Preview);
    driver_.Report(KX_REPORT_ERROR, 20, "ERR: someone else's");
    CalibrationReport(KX_REPORT_ERROR, 20, 0, "ERR: someone else's");
    EXPECT_EQ(sequence_->ErrorCount(), 0);
    Pump();
    EXPECT_EQ(host_.result, 1);
}

TEST(TitleWithPercent, ReplacesThePreviousPercentage)
{
    EXPECT_EQ(TitleWithPercent("Calibration", false, 5), "Calibration 5%");
    EXPECT_EQ(TitleWithPercent("Calibration 5%", true, 60), "Calibration 60%");
    EXPECT_EQ(TitleWithPercent("Acquiring bright frame 99%", true, 100), "Acquiring bright frame 100%");
    EXPECT_EQ(TitleWithPercent("Img process", false, 0), "Img process 0%") << "a fresh title keeps its words";
}

TEST(AcquiredLinePercent, CountsOnlyTheCutRowsOfTheFrame)
{
    FrameGeometry g;
    g.rawTop = 10;
    g.rawBottom = 20;  // rows 10..667 of 688
    struct Case {
        int line, percent;
    } cases[] = {{9, -1}, {10, 0}, {16, 1}, {667, 100}, {668, -1}, {338, 50}};
    for (const Case& c : cases) EXPECT_EQ(AcquiredLinePercent(g, c.line), c.percent) << c.line;
}

}  // namespace
}  // namespace kordex::ui
