// A whole calibration set of the virtual sensor made with kordex-cal (dark
// frame, bright frames at two exposures, gain points, bad-pixel map), then a
// new flat bright frame calibrated with offset, gain and bad pixels through
// KXC_Process: the flat-field spread must fall at least fivefold, and every
// bad pixel the sensor model has must be in "BPM.raw".
//
// The virtual sensor draws its noise from the frame number of its
// connection, so the first frame of every connection repeats the same noise;
// a calibration set made of such frames would cancel the new frame's noise
// exactly. The new frame is therefore the second frame of its connection.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "acquisition/sensor_model.h"
#include "acquisition/virtual_sensor_settings.h"
#include "calibration/frame_recording.h"
#include "frame/library.h"
#include "kordex.h"
#include "support/temp_dir.h"

namespace {

using test_support::ReadText;
using test_support::WriteText;

constexpr int W = 910, H = 688;

std::string Ini(const std::string& home, int exposure)
{
    return "[Settings]\nHomeDir=" + home + "\nSensorLink=virtual\n[Virtual Sensor]\nShotDelayMs=20\nStreamMBps=400\n"
           "Phantom=0\nExposure=" + std::to_string(exposure) + "\n";
}

int RunTool(const std::string& arguments)
{
    return std::system((std::string(KORDEX_CAL_PROGRAM) + " " + arguments + " >/dev/null 2>&1").c_str());
}

double InnerSpread(const std::vector<std::int16_t>& f)
{
    const kordex::FrameGeometry& g = kordex::Lib().settings.geometry;
    double sum = 0, squares = 0, n = 0;
    for (int y = g.rawTop; y < H - g.rawBottom; ++y)
        for (int x = g.rawLeft; x < W - g.rawRight; ++x) {
            const double v = f[static_cast<std::size_t>(y) * W + static_cast<std::size_t>(x)];
            sum += v;
            squares += v * v;
            ++n;
        }
    return std::sqrt(squares / n - (sum / n) * (sum / n));
}

struct Waiter {
    std::mutex mutex;
    std::condition_variable changed;
    int frames = 0;
    bool failed = false;
};

std::int32_t OnReport(void* record)
{
    auto* s = static_cast<AcqStatus*>(record);
    auto* w = static_cast<Waiter*>(s->context);
    std::lock_guard<std::mutex> lock(w->mutex);
    if (s->kind >= KX_REPORT_ERROR) w->failed = true;
    if (s->event == KX_EVENT_PROGRESS && s->progress > 100) ++w->frames;
    w->changed.notify_all();
    return 0;
}

TEST(CalibrationSetEndToEnd, TheToolsSetFlattensANewFrameAndFindsEveryModelledBadPixel)
{
    test_support::TempDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string home = dir.Path() + "/home/";
    const std::string ini = dir.File("kordex.ini");
    setenv("KORDEX_INI", ini.c_str(), 1);
    setenv("KORDEX_TEST_TIME_SCALE", "0.05", 1);
    setenv("KORDEX_HEADLESS", "1", 1);

    WriteText(ini, Ini(home, 1300));
    ASSERT_EQ(RunTool("dark --average 2"), 0);
    ASSERT_EQ(RunTool("bright --skip 1 --average 2"), 0);
    WriteText(ini, Ini(home, 2600));
    ASSERT_EQ(RunTool("bright"), 0);
    ASSERT_EQ(RunTool("points"), 0);
    ASSERT_EQ(RunTool("bpm"), 0);
    ASSERT_EQ(RunTool("summary"), 0);
    EXPECT_EQ(RunTool("points"), 1 << 8) << "points exist: refused without --replace";

    // A new frame between the two exposures, through the exports of this
    // process (the same library code as libkordex.so), with the same settings.
    WriteText(ini, Ini(home, 2000));
    kordex::Lib();  // reads KORDEX_INI
    std::vector<std::int16_t> frame(static_cast<std::size_t>(W) * H);
    Waiter waiter;
    AcqStatus* handle = KXACQ_Connect(1, &OnReport, &waiter, frame.data(), 0);
    ASSERT_NE(handle, nullptr);
    for (int shot = 1; shot <= 2; ++shot) {
        ASSERT_EQ(KXACQ_StartFrame(handle), 1);
        std::unique_lock<std::mutex> lock(waiter.mutex);
        ASSERT_TRUE(waiter.changed.wait_for(lock, std::chrono::seconds(30),
                                            [&] { return waiter.failed || waiter.frames >= shot; }));
        ASSERT_FALSE(waiter.failed);
    }
    KXACQ_Close(handle);
    std::vector<std::int16_t> calibrated = frame;
    std::string error;
    ASSERT_TRUE(kordex::CalibrateThroughExports(1u | 2u | 4u, calibrated.data(), nullptr, &error)) << error;
    const double before = InnerSpread(frame), after = InnerSpread(calibrated);
    std::printf("flat-field spread: raw %.2f, calibrated %.2f, ratio %.1f\n", before, after, before / after);
    EXPECT_GE(before / after, 5.0);

    // Every stuck pixel and the bad column of the model are in the map.
    const std::string bytes = ReadText(home + "CAL/BPM.raw");
    ASSERT_EQ(bytes.size(), frame.size() * 2);
    std::vector<std::int16_t> map(frame.size());
    std::memcpy(map.data(), bytes.data(), bytes.size());
    const kordex::VirtualSensorSettings vs = kordex::LoadVirtualSensorSettings(ini, "2001", 1);
    const kordex::SensorModel model(W, H, vs);
    int modelled = 0, found = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const bool bad = x == vs.badColumn || model.ExpectedLevel(x, y, false) >= 4095.0 ||
                             model.ExpectedLevel(x, y, true) <= 0.0;
            if (!bad) continue;
            ++modelled;
            const bool marked = map[static_cast<std::size_t>(y) * W + static_cast<std::size_t>(x)] > 1;
            found += marked;
            EXPECT_TRUE(marked) << "modelled bad pixel (" << x << ", " << y << ") not in BPM.raw";
        }
    std::printf("modelled bad pixels %d, found %d\n", modelled, found);
    EXPECT_EQ(modelled, H + vs.badPixels);
}

}  // namespace
