// The virtual sensor as a device: its answers to the vendor requests, its
// frames and the pacing and faults of its reads.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "acquisition/sensor_model.h"
#include "acquisition/transport_stream.h"
#include "acquisition/vendor_requests.h"
#include "acquisition/virtual_sensor.h"

namespace kordex {
namespace {

VirtualSensorSettings Quick()
{
    VirtualSensorSettings s;
    s.shotDelayMs = 0;
    s.streamMBps = 1000.0;
    return s;
}

bool RunSetUp(VirtualSensor& sensor)
{
    const std::uint8_t sequence[][2] = {{0xB0, 0}, {0x80, 1}, {0xAB, 0}, {0xB0, 0}, {0x50, 0}, {0xAA, 0}};
    for (const auto& r : sequence) {
        const std::uint16_t value = r[0] == 0x80 ? static_cast<std::uint16_t>(0xE00 | r[1]) : 0;
        if (!sensor.VendorRequest(r[0], value, 0)) return false;
    }
    return true;
}

// Polls every page of a frame until each is complete or failed (bounded).
std::vector<ReadState> ReadAll(VirtualSensor& sensor, const std::shared_ptr<PageBlock>& block, int waitMs)
{
    for (int p = 0; p < block->pageCount; ++p) sensor.QueueRead(block, p);
    std::vector<ReadState> states(static_cast<std::size_t>(block->pageCount), ReadState::Pending);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (std::chrono::steady_clock::now() < deadline) {
        bool pending = false;
        for (int p = 0; p < block->pageCount; ++p) {
            std::string why;
            if (states[static_cast<std::size_t>(p)] == ReadState::Pending)
                states[static_cast<std::size_t>(p)] = sensor.PollRead(p, &why);
            pending = pending || states[static_cast<std::size_t>(p)] == ReadState::Pending;
        }
        if (!pending) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return states;
}

TEST(VirtualSensorTest, ListsItselfAndOpensExclusively)
{
    VirtualSensorSettings s = Quick();
    s.otherDevices = 2;
    VirtualSensor sensor(s, 16, 8, nullptr);
    std::vector<DeviceInterface> list;
    ASSERT_TRUE(sensor.Enumerate(&list));
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[2].path, "usb#VID_1209&PID_2001#001-1");
    std::string why;
    EXPECT_FALSE(sensor.Open(0, &why));
    EXPECT_TRUE(sensor.Open(2, &why));
    EXPECT_TRUE(sensor.IsOpen());
}

TEST(VirtualSensorTest, ResetVoltageSequenceMustComeInOrder)
{
    VirtualSensor sensor(Quick(), 16, 8, nullptr);
    std::vector<DeviceInterface> list;
    sensor.Enumerate(&list);
    std::string why;
    ASSERT_TRUE(sensor.Open(0, &why));
    EXPECT_FALSE(sensor.VendorRequest(0x60, 0, 0)) << "no frame before the set-up";
    EXPECT_FALSE(sensor.VendorRequest(0x80, 0xE02, 0)) << "a step needs the reset first";
    EXPECT_TRUE(sensor.VendorRequest(0xB0, 0, 0));
    EXPECT_FALSE(sensor.VendorRequest(0xAB, 0, 0)) << "a code needs a step";
    EXPECT_TRUE(sensor.VendorRequest(0xB0, 0, 0));
    EXPECT_FALSE(sensor.VendorRequest(0x80, 0x102, 0)) << "the step value carries 0xE00";
    EXPECT_FALSE(sensor.VendorRequest(0x50, 0, 0)) << "power needs a latched code";
    EXPECT_FALSE(sensor.VendorRequest(0x42, 0, 0)) << "unknown request";
    EXPECT_TRUE(RunSetUp(sensor));
    EXPECT_TRUE(sensor.VendorRequest(0x60, 0, 0));
    EXPECT_TRUE(sensor.VendorRequest(0x61, 0, 0));
    sensor.Close();
    EXPECT_FALSE(sensor.VendorRequest(0xB0, 0, 0)) << "closed";
}

TEST(VirtualSensorTest, DarkFrameStreamsACompleteFrameOfItsModel)
{
    const int W = 40, H = 20;
    VirtualSensorSettings s = Quick();
    s.noise = 0.0;
    VirtualSensor sensor(s, W, H, nullptr);
    std::vector<DeviceInterface> list;
    sensor.Enumerate(&list);
    std::string why;
    ASSERT_TRUE(sensor.Open(0, &why));
    ASSERT_TRUE(RunSetUp(sensor));
    ASSERT_TRUE(sensor.VendorRequest(0x60, 0, 0));
    auto block = std::make_shared<PageBlock>(PageCount(W, H));
    ReadAll(sensor, block, 200);
    std::vector<std::int16_t> frame(static_cast<std::size_t>(W) * H, static_cast<std::int16_t>(0x8000));
    TransportStreamParser parser({W, H, 1, true}, frame.data());
    parser.Parse(block->Page(0), static_cast<std::size_t>(block->byteCounts[0] / 2));
    EXPECT_EQ(parser.Tracking().status, kStreamComplete);
    const SensorModel model(W, H, s);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            ASSERT_NEAR(frame[static_cast<std::size_t>(y) * W + x], model.ExpectedLevel(x, y, false), 0.51)
                << x << "," << y;
}

TEST(VirtualSensorTest, XRayFramesShowThePhantomAndTheFixedPattern)
{
    const int W = 910, H = 688;
    VirtualSensorSettings s = Quick();
    const SensorModel model(W, H, s);
    // Enamel absorbs more than open air: along the delivered image's middle
    // column the air at the incisal end reads far above the crown.
    const int y = H / 2;
    const double air = model.ExpectedLevel(20, y, true);       // delivered row near the bottom
    const double crown = model.ExpectedLevel(W - 1 - static_cast<int>(0.70 * (W - 1)), y, true);
    EXPECT_GT(air, 2500.0);
    EXPECT_LT(crown, air - 1500.0);
    EXPECT_GT(crown, model.ExpectedLevel(20, y, false));
    // The bad column reads weaker than its neighbours in the open field.
    EXPECT_LT(model.ExpectedLevel(s.badColumn, 40, true), model.ExpectedLevel(s.badColumn + 1, 40, true) - 500.0);
    // Two frames share the pattern but not the noise.
    const auto a = model.Frame(true, 1), b = model.Frame(true, 2);
    int differ = 0;
    for (std::size_t i = 0; i < a.size(); ++i) differ += a[i] != b[i];
    EXPECT_GT(differ, static_cast<int>(a.size() / 2));
}

TEST(VirtualSensorTest, FaultsBendTheReads)
{
    const int W = 910, H = 688;
    VirtualSensorSettings s = Quick();
    s.stallAfterPages = 3;
    s.oddBytesAtPage = 1;
    VirtualSensor sensor(s, W, H, nullptr);
    std::vector<DeviceInterface> list;
    sensor.Enumerate(&list);
    std::string why;
    ASSERT_TRUE(sensor.Open(0, &why));
    auto block = std::make_shared<PageBlock>(PageCount(W, H));
    const std::vector<ReadState> states = ReadAll(sensor, block, 300);
    EXPECT_EQ(states[0], ReadState::Complete);
    EXPECT_EQ(block->byteCounts[1], 65535) << "one stray byte after 32,767 words";
    EXPECT_EQ(states[2], ReadState::Complete);
    EXPECT_EQ(states[3], ReadState::Pending) << "stalled";
    sensor.CancelReads();
}

TEST(VirtualSensorTest, EnumerationFaults)
{
    for (const char* fault : {"no_driver", "missing", "unreadable", "busy"}) {
        VirtualSensorSettings s = Quick();
        s.fault = fault;
        VirtualSensor sensor(s, 16, 8, nullptr);
        std::vector<DeviceInterface> list;
        const bool listed = sensor.Enumerate(&list);
        std::string why;
        if (s.fault == "no_driver") {
            EXPECT_FALSE(listed);
        } else if (s.fault == "missing") {
            EXPECT_TRUE(list.empty());
        } else if (s.fault == "unreadable") {
            EXPECT_FALSE(list.at(0).readable);
        } else {
            EXPECT_FALSE(sensor.Open(0, &why));
        }
    }
}

}  // namespace
}  // namespace kordex
