// The capture window's stage flow against a scripted library: the order of
// the stages, what each outcome writes, and cancel.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "capture/capture_stages.h"
#include "scripted_kordex.h"

namespace tessari {
namespace {

using scripted::g;
using scripted::Outputs;
using scripted::Script;
using scripted::ScriptedApi;

class CaptureStagesTest : public ::testing::Test {
protected:
    void SetUp() override { g = Script{}; }

    // Runs the window's message loop until the end; returns the result.
    int Run(CaptureRequest request, bool cancelAfterStart = false)
    {
        request.frameWidth = 4;
        request.frameHeight = 2;
        request.cutWidth = 2;
        request.cutHeight = 4;
        std::deque<std::pair<int, int>> queue;
        int result = 0;
        CaptureStages::Hooks hooks;
        hooks.post = [&queue](int m, int p) { queue.emplace_back(m, p); };
        hooks.end = [&result](int r) { result = r; };
        stages = std::make_unique<CaptureStages>(api, request, frame, cut, outputs, std::move(hooks));
        stages->Handle(kMsgAcquisition, 0);
        if (cancelAfterStart) stages->Cancel();
        while (!queue.empty() && !stages->Ended()) {
            const auto [m, p] = queue.front();
            queue.pop_front();
            stages->Handle(m, p);
        }
        return result;
    }

    KordexApi api = ScriptedApi();
    std::int16_t frame[8] = {};
    std::int16_t cut[8] = {};
    Outputs outputs;
    std::unique_ptr<CaptureStages> stages;
};

TEST_F(CaptureStagesTest, AllThreeStagesInOrder)
{
    CaptureRequest request;
    request.processingMode = 12;
    request.dumpTemps = true;
    EXPECT_EQ(Run(request), 1);
    const std::vector<std::string> calls = {"connect 1", "start", "close acquisition", "calibrate 2147483655", "close calibration",
                                            "cut", "process 12", "close processing"};
    EXPECT_EQ(g.calls, calls);
    const std::vector<std::string> written = {"$raw 4x2", "$cap 2x4", "$enh 2x4", "image"};
    EXPECT_EQ(outputs.written, written);
    EXPECT_EQ(stages->State(), DisplayState::Optimising);
    EXPECT_EQ(stages->ErrorCount(), 0);
}

TEST_F(CaptureStagesTest, ToneforgeModesAddTheDespeckle)
{
    EXPECT_EQ(CalibrationFlagsForMode(499), 0x80000007u);
    EXPECT_EQ(CalibrationFlagsForMode(500), 0x8000000Fu);
    EXPECT_EQ(CalibrationFlagsForMode(599), 0x8000000Fu);
    EXPECT_EQ(CalibrationFlagsForMode(600), 0x80000007u);
}

TEST_F(CaptureStagesTest, NegativeModeEndsAfterTheCut)
{
    CaptureRequest request;
    request.processingMode = -1;
    request.darkFrame = true;
    EXPECT_EQ(Run(request), 1);
    EXPECT_EQ(g.calls.front(), "connect 0");
    EXPECT_EQ(g.calls.back(), "cut");
    EXPECT_TRUE(outputs.written.empty());
}

TEST_F(CaptureStagesTest, RawFileOnly)
{
    CaptureRequest request;
    request.rawFileName = "/x/a";
    EXPECT_EQ(Run(request), 1);
    EXPECT_EQ(g.calls.back(), "close acquisition");
    EXPECT_EQ(outputs.written, std::vector<std::string>{"/x/a 4x2"});
}

TEST_F(CaptureStagesTest, FailedAcquisitionWritesNothing)
{
    g.acquisitionError = "Time-out in read-out operation";
    CaptureRequest request;
    request.rawFileName = "/x/a";
    EXPECT_EQ(Run(request), 2);
    EXPECT_EQ(stages->ErrorText(), "Time-out in read-out operation");
    EXPECT_TRUE(outputs.written.empty());
    EXPECT_EQ(g.calls.back(), "close acquisition");
}

TEST_F(CaptureStagesTest, AStartWithoutReportStillCountsAsFailure)
{
    g.connectFails = true;
    EXPECT_EQ(Run({}), 2);
    EXPECT_EQ(stages->ErrorText(), "Acquisition fault");
}

TEST_F(CaptureStagesTest, CancelWhileWaitingForTheShot)
{
    g.waitForShot = true;
    EXPECT_EQ(Run({}, /*cancelAfterStart=*/true), 2);
    EXPECT_TRUE(stages->Cancelled());
    EXPECT_EQ(stages->ErrorText(), "Abort acquisition");
    const std::vector<std::string> calls = {"connect 1", "start", "abort acquisition", "close acquisition"};
    EXPECT_EQ(g.calls, calls);
    EXPECT_TRUE(outputs.written.empty());
    stages->Cancel();  // a second cancel changes nothing
    EXPECT_EQ(g.calls.size(), 4u);
}

}  // namespace
}  // namespace tessari
