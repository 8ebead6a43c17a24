// Vendor request texts and the reset-voltage set-up.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "acquisition/vendor_requests.h"

namespace kordex {
namespace {

TEST(VendorRequestsTest, BlockAndText)
{
    const std::array<std::uint8_t, 6> expected = {0xC0, 0x80, 0x02, 0x0E, 0x34, 0x12};
    EXPECT_EQ(VendorBlock(0x80, 0x0E02, 0x1234), expected);
    EXPECT_EQ(VendorText(0x80, 0xE02, 0), "vendor cmd 80,E02,0");
}

TEST(VendorRequestsTest, ResetVoltagePlans)
{
    struct Case {
        int override, setting, stepBase;
        int requested, clamped, index, code, step;
        const char* text;
    } cases[] = {
        {0, 330, 1, 330, 330, 65, 0xAB, 2, "initialized VReset=3.30V (2:ABh)"},
        {0, 600, 1, 600, 400, 100, 0xB3, 3, "initialized VReset=6.00V (3:B3h)"},
        {511, 330, 1, 330, 330, 65, 0xAB, 2, "initialized VReset=3.30V (2:ABh)"},
        {512 + 250, 330, 1, 250, 250, 25, 0xBC, 0, "initialized VReset=2.50V (0:BCh)"},
        {-1, 300, 1, 300, 300, 50, 0xB9, 1, nullptr},  // low 9 bits of -1 are 511
        {0, 50, 2, 50, 100, 0, 0xA1, 0, nullptr},
        {0, 500, 3, 500, 500, 100, 0xB3, 3, nullptr},
        {0, -20, 0, -20, 0, 0, 0xA1, 0, nullptr},
    };
    for (const Case& c : cases) {
        const ResetVoltagePlan plan = PlanResetVoltage(c.override, c.setting, c.stepBase);
        EXPECT_EQ(plan.requested, c.requested) << c.override << "/" << c.setting;
        EXPECT_EQ(plan.clamped, c.clamped) << c.override << "/" << c.setting;
        EXPECT_EQ(plan.index, c.index) << c.override << "/" << c.setting;
        EXPECT_EQ(plan.code, c.code) << c.override << "/" << c.setting;
        EXPECT_EQ(plan.step, c.step) << c.override << "/" << c.setting;
        if (c.text) {
            EXPECT_EQ(ResetVoltageText(plan), c.text);
        }
    }
}

TEST(VendorRequestsTest, SetUpSendsTheSequenceAndStopsAtTheFirstFailure)
{
    setenv("KORDEX_TEST_TIME_SCALE", "0.01", 1);
    const ResetVoltagePlan plan = PlanResetVoltage(0, 330, 1);
    std::vector<std::string> sent;
    auto record = [&](std::uint8_t r, std::uint16_t v, std::uint16_t i) {
        sent.push_back(VendorText(r, v, i));
        return true;
    };
    EXPECT_TRUE(RunResetVoltageSetUp(plan, record));
    EXPECT_EQ(sent, (std::vector<std::string>{"vendor cmd B0,0,0", "vendor cmd 80,E02,0", "vendor cmd AB,0,0",
                                              "vendor cmd B0,0,0", "vendor cmd 50,0,0", "vendor cmd AA,0,0"}));
    sent.clear();
    EXPECT_FALSE(RunResetVoltageSetUp(plan, [&](std::uint8_t r, std::uint16_t v, std::uint16_t i) {
        sent.push_back(VendorText(r, v, i));
        return r != 0xAB;
    }));
    EXPECT_EQ(sent.size(), 3u);
    unsetenv("KORDEX_TEST_TIME_SCALE");
}

TEST(VendorRequestsTest, VoltageCodesSkipTheRequestsOfTheirOwn)
{
    for (std::uint8_t own : {0xA0, 0xAA, 0xB0}) EXPECT_FALSE(IsVoltageCode(own));
    EXPECT_TRUE(IsVoltageCode(0xA1));
    EXPECT_TRUE(IsVoltageCode(0xBE));
}

}  // namespace
}  // namespace kordex
