// Device discovery: the product id, the path rule and the walk with its
// failures, against a scripted link.
#include <gtest/gtest.h>

#include "acquisition/device_discovery.h"
#include "acquisition/sensor_link.h"

namespace kordex {
namespace {

class ScriptedLink : public SensorLink {
public:
    bool enumerates = true;
    std::vector<DeviceInterface> devices;
    bool opens = true;
    int opened = -1;

    bool Enumerate(std::vector<DeviceInterface>* out) override
    {
        *out = devices;
        return enumerates;
    }
    bool Open(int index, std::string* why) override
    {
        if (!opens) {
            *why = "busy";
            return false;
        }
        opened = index;
        return true;
    }
    bool IsOpen() const override { return opened >= 0; }
    bool VendorRequest(std::uint8_t, std::uint16_t, std::uint16_t) override { return true; }
    ReadState QueueRead(const std::shared_ptr<PageBlock>&, int) override { return ReadState::Failed; }
    ReadState PollRead(int, std::string*) override { return ReadState::Failed; }
    void CancelReads() override {}
    void Close() override { opened = -1; }
    bool Simulated() const override { return true; }
};

TEST(DeviceDiscoveryTest, ProductIdFallsBackTo2001)
{
    EXPECT_EQ(ProductIdOf("2001"), 0x2001);
    EXPECT_EQ(ProductIdOf(" 2a0f "), 0x2A0F);
    EXPECT_EQ(ProductIdOf("xyz"), 0x2001);
    EXPECT_EQ(ProductIdOf(""), 0x2001);
    EXPECT_EQ(ProductIdOf("0"), 0x2001);
    EXPECT_EQ(ProductIdOf("-5"), 0x2001);
}

TEST(DeviceDiscoveryTest, PathRule)
{
    EXPECT_TRUE(PathMatchesProductId("usb#VID_1209&PID_2001#001-1", 0x2001));
    EXPECT_TRUE(PathMatchesProductId("\\\\?\\usb#vid_1209&pid_2001#5&1", 0x2001));
    EXPECT_FALSE(PathMatchesProductId("usb#VID_1209&PID_2002#001-1", 0x2001));
    EXPECT_TRUE(PathMatchesProductId("usb#VID_1209&PID_0A2F#001-1", 0xA2F)) << "four digits, zero-padded";
    EXPECT_TRUE(PathMatchesProductId("usb#vid_1209&pid_ABCD#1", 0xABCD));
    EXPECT_FALSE(PathMatchesProductId("usb#vid_1209&pid_abcd#1", 0xABCD)) << "digits are upper case in both forms";
}

TEST(DeviceDiscoveryTest, WalkReportsWhereItStopped)
{
    ScriptedLink link;
    link.enumerates = false;
    EXPECT_EQ(DiscoverAndOpen(link, 0x2001).message, 101);

    link.enumerates = true;
    DiscoveryResult r = DiscoverAndOpen(link, 0x2001);
    EXPECT_EQ(r.message, 102);
    EXPECT_EQ(r.index, 0);

    link.devices = {{true, "usb#VID_046D&PID_C52B#001-2"}, {false, ""}, {true, "usb#VID_1209&PID_2001#001-1"}};
    r = DiscoverAndOpen(link, 0x2001);
    EXPECT_EQ(r.message, 103) << "an unreadable interface stops the walk";
    EXPECT_EQ(r.index, 1);

    link.devices = {{true, "usb#VID_046D&PID_C52B#001-2"}, {true, "usb#VID_1209&PID_2001#001-1"}};
    r = DiscoverAndOpen(link, 0x2001);
    EXPECT_EQ(r.message, 0);
    EXPECT_EQ(r.index, 1);
    EXPECT_EQ(link.opened, 1);

    r = DiscoverAndOpen(link, 0x2002);
    EXPECT_EQ(r.message, 102);
    EXPECT_EQ(r.index, 2);

    link.opens = false;
    r = DiscoverAndOpen(link, 0x2001);
    EXPECT_EQ(r.message, 104);
    EXPECT_EQ(r.path, "usb#VID_1209&PID_2001#001-1");
}

}  // namespace
}  // namespace kordex
