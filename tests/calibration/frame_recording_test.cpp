// Recording calibration frames: skip and average, naming, flags and the
// geometry, with a scripted frame source; then through the acquisition and
// calibration exports on the virtual sensor.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <filesystem>
#include <regex>

#include "calibration/frame_recording.h"
#include "frame/library.h"
#include "kordex.h"
#include "support/temp_dir.h"

namespace {

using test_support::ReadText;
using test_support::TempDir;
using test_support::WriteText;

struct Call {
    kordex::FrameRequest request;
    std::array<std::int32_t, 6> geometry;
};

// The library of this test program, reset to defaults with its home in a
// fresh directory and a small frame.
class FrameRecordingTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.Ok());
        kordex::Library& lib = kordex::Lib();
        lib.settings = kordex::LibrarySettings{};
        lib.settings.homeDir = dir.Path() + "/home/";
        lib.calibrationDirOverride.clear();
        ini = dir.File("kordex.ini");
        WriteText(ini, "[Settings]\n");
        lib.profile.SetPath(ini);
        std::filesystem::create_directories(dir.File("home"));
    }
    void TearDown() override
    {
        const std::int32_t defaults[6] = {0, 0, 0, 0, 1, 1};
        KXC_SetImgCutParams(defaults);
    }
    std::string Cal() const { return dir.Path() + "/home/CAL/"; }
    std::string LogOf(const char* tag) const { return ReadText(dir.Path() + "/home/Log/" + tag + "00.log"); }
    std::vector<std::int16_t> Read(const std::string& name) const
    {
        const std::string bytes = ReadText(Cal() + name);
        std::vector<std::int16_t> pixels(bytes.size() / 2);
        std::memcpy(pixels.data(), bytes.data(), pixels.size() * 2);
        return pixels;
    }
    // Frame k is 1000 + k everywhere but pixels 0 and 1, which come from the
    // script (the last value repeats).
    kordex::FrameSource Script(std::vector<std::array<std::int16_t, 2>> firstPixels, int failAt = -1)
    {
        return [this, firstPixels, failAt](const kordex::FrameRequest& r, std::int16_t* frame, std::string* error) {
            std::array<std::int32_t, 6> g{};
            KXC_GetImgCutParams(g.data());
            calls.push_back({r, g});
            if (r.index == failAt) {
                *error = "Time-out in read-out operation";
                return false;
            }
            std::int32_t w = 0, h = 0;
            KXACQ_GetFrameDim(&w, &h);
            std::fill_n(frame, static_cast<std::size_t>(w) * static_cast<std::size_t>(h),
                        static_cast<std::int16_t>(1000 + r.index));
            const auto& p = firstPixels[std::min<std::size_t>(static_cast<std::size_t>(r.index), firstPixels.size() - 1)];
            frame[0] = p[0];
            frame[1] = p[1];
            return true;
        };
    }

    TempDir dir;
    std::string ini;
    std::vector<Call> calls;
};

TEST_F(FrameRecordingTest, SkipTwoAverageThreeStoresTheRoundedMeanOfTheLastThree)
{
    ASSERT_EQ(KXACQ_SetFrameDim(16, 8), 1);
    const std::int32_t cut[6] = {1, 2, 3, 4, 1, 1};
    ASSERT_EQ(KXC_SetImgCutParams(cut), 1);
    kordex::RecordingOptions o;
    o.bright = true;
    o.sequence = true;
    o.framesIgnore = 2;
    o.framesAverage = 3;
    const kordex::RecordingResult r = kordex::RecordCalibrationFrame(o, Script({{0, 0}, {0, 0}, {10, 10}, {11, 10}, {11, 11}}));
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(calls.size(), 5u);
    for (const Call& c : calls) {
        EXPECT_EQ(c.request.calibrationFlags, (1u << 0) | (1u << 30)) << "bright frames are offset-corrected";
        EXPECT_EQ(c.geometry, (std::array<std::int32_t, 6>{0, 0, 0, 0, 0, 0})) << "the whole unrotated frame";
    }
    EXPECT_TRUE(calls[1].request.skipped);
    EXPECT_FALSE(calls[2].request.skipped);
    // The last three are 1002, 1003, 1004 -> level 1003; 32/3 -> 11, 31/3 -> 10.
    EXPECT_EQ(r.level, 1003);
    EXPECT_EQ(r.fileName, "x01003A.raw");
    const std::vector<std::int16_t> stored = Read("x01003A.raw");
    ASSERT_EQ(stored.size(), 16u * 8u);
    EXPECT_EQ(stored[0], 11);
    EXPECT_EQ(stored[1], 10);
    EXPECT_EQ(stored[2], 1003);
    std::int32_t g[6] = {};
    KXC_GetImgCutParams(g);
    EXPECT_EQ((std::array<std::int32_t, 6>{g[0], g[1], g[2], g[3], g[4], g[5]}), (std::array<std::int32_t, 6>{1, 2, 3, 4, 1, 1}))
        << "geometry restored";
    const std::string log = LogOf("B");
    for (const char* line : {"-- Calibration (skip:2 ave:3)\n", "skipped frame #0\n", "skipped frame #1\n",
                             "averaged frame #0\n", "averaged frame #2\n", "Saved x01003A.raw\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << log;
    EXPECT_TRUE(std::filesystem::exists(dir.Path() + "/home/CAL")) << "created";
}

TEST_F(FrameRecordingTest, NamesDarkBrightAndCustomFrames)
{
    ASSERT_EQ(KXACQ_SetFrameDim(8, 4), 1);
    kordex::RecordingOptions bright;
    bright.bright = true;
    EXPECT_EQ(kordex::RecordCalibrationFrame(bright, Script({{1000, 1000}})).fileName, "x01000A.raw");
    EXPECT_EQ(kordex::RecordCalibrationFrame(bright, Script({{1000, 1000}})).fileName, "x01000B.raw");
    EXPECT_EQ(LogOf("B").find("averaged frame"), std::string::npos) << "one frame: no averaging lines";

    kordex::RecordingOptions dark;
    calls.clear();
    const kordex::RecordingResult d = kordex::RecordCalibrationFrame(dark, Script({{5, 5}}));
    EXPECT_EQ(d.fileName, "dark.raw");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].request.calibrationFlags, 0u) << "the dark frame is stored raw";
    EXPECT_NE(LogOf("D").find("Calibration frame\n"), std::string::npos);
    EXPECT_EQ(kordex::RecordCalibrationFrame(dark, Script({{6, 6}})).fileName, "dark.raw") << "replaced";
    EXPECT_EQ(Read("dark.raw")[0], 6);

    kordex::RecordingOptions custom;
    custom.custom = true;
    custom.customName = "flat";
    calls.clear();
    EXPECT_EQ(kordex::RecordCalibrationFrame(custom, Script({{1, 1}})).fileName, "flat.raw");
    EXPECT_EQ(calls[0].request.calibrationFlags, 0u);
    EXPECT_TRUE(std::filesystem::exists(Cal() + "flat.raw"));
    custom.customName = "flat.dat";
    custom.customOffsetCal = true;
    custom.bright = true;
    custom.sequence = true;
    custom.framesAverage = 0;  // at least one frame
    calls.clear();
    EXPECT_EQ(kordex::RecordCalibrationFrame(custom, Script({{1, 1}})).fileName, "flat.dat");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].request.calibrationFlags, (1u << 0) | (1u << 30));
    EXPECT_NE(LogOf("B").find("-- Custom \"flat.dat\" (skip:0 ave:1)\n"), std::string::npos) << LogOf("B");
}

TEST_F(FrameRecordingTest, AFailedFrameWritesNothingAndRestoresTheGeometry)
{
    ASSERT_EQ(KXACQ_SetFrameDim(8, 4), 1);
    kordex::RecordingOptions o;
    o.bright = true;
    o.sequence = true;
    o.framesAverage = 3;
    const kordex::RecordingResult r = kordex::RecordCalibrationFrame(o, Script({{1, 1}}, 1));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Time-out in read-out operation");
    EXPECT_EQ(calls.size(), 2u) << "stops at the failed frame";
    EXPECT_TRUE(kordex::Lib().settings.geometry.rotation == 1 && kordex::Lib().settings.geometry.flip == 1);
    EXPECT_TRUE(std::filesystem::is_empty(Cal()));
}

TEST_F(FrameRecordingTest, ACalibrationDirectoryThatCannotBeMadeStopsTheRecording)
{
    WriteText(dir.File("file"), "");
    kordex::Lib().settings.homeDir = dir.File("file") + "/";  // below a plain file
    kordex::RecordingOptions o;
    const kordex::RecordingResult r = kordex::RecordCalibrationFrame(o, Script({{1, 1}}));
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(r.error.rfind("ERR: Create sub-dir " + dir.File("file"), 0), 0u) << r.error;
}

// The library's own frame source on the virtual sensor.
class VirtualSensorRecordingTest : public FrameRecordingTest {
protected:
    void SetUp() override
    {
        FrameRecordingTest::SetUp();
        setenv("KORDEX_TEST_TIME_SCALE", "0.05", 1);
        kordex::Library& lib = kordex::Lib();
        lib.settings.sensorLink = "virtual";
        WriteText(ini, "[Settings]\n[Virtual Sensor]\nShotDelayMs=20\nStreamMBps=400\nPhantom=0\nBadPixels=0\nBadColumn=-1\n");
    }
};

TEST_F(VirtualSensorRecordingTest, SkipOneAverageTwoAcquiresThreeFramesAndCalibratesBrightOnes)
{
    std::vector<std::string> phases;
    std::mutex mutex;
    const kordex::FrameSource source = kordex::ExportFrameSource(nullptr, [&](const kordex::RecordingProgress& p) {
        std::lock_guard<std::mutex> lock(mutex);
        if (phases.empty() || phases.back() != p.phase) phases.push_back(p.phase);
    });
    kordex::RecordingOptions dark;
    dark.sequence = true;
    dark.framesIgnore = 1;
    dark.framesAverage = 2;
    const kordex::RecordingResult d = kordex::RecordCalibrationFrame(dark, source);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.fileName, "dark.raw");
    EXPECT_NEAR(d.level, 240, 20) << "the raw dark level";
    const std::string log = LogOf("D");
    std::size_t frames = 0;
    for (std::size_t at = log.find("simulated dark frame"); at != std::string::npos; at = log.find("simulated dark frame", at + 1))
        ++frames;
    EXPECT_EQ(frames, 3u) << log;
    EXPECT_EQ(phases.front(), "acquiring");
    EXPECT_EQ(phases.back(), "done");

    kordex::RecordingOptions bright;
    bright.bright = true;
    const kordex::RecordingResult b = kordex::RecordCalibrationFrame(bright, source);
    ASSERT_TRUE(b.ok) << b.error;
    EXPECT_NEAR(b.level, 2600, 150) << "offset-corrected: the exposure alone";
    EXPECT_TRUE(std::regex_match(b.fileName, std::regex("x0[0-9]{4}A\\.raw"))) << b.fileName;
    EXPECT_NE(LogOf("B").find("OfsCal start"), std::string::npos);
}

TEST_F(VirtualSensorRecordingTest, AMissingSensorFailsWithTheLibrarysText)
{
    WriteText(ini, "[Settings]\n[Virtual Sensor]\nFault=missing\n");
    kordex::RecordingOptions dark;
    const kordex::RecordingResult r = kordex::RecordCalibrationFrame(dark, kordex::ExportFrameSource(nullptr, {}));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "ERR: PID2001 no interface #0 (check connection)");
    EXPECT_FALSE(std::filesystem::exists(Cal() + "dark.raw"));
}

}  // namespace
