// Calibration and the range scan and rescale it is built on.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "calpost.h"
#include "calpost/range_scan.h"

namespace {

std::vector<std::uint16_t> Calibrate(const std::vector<double>& dark, const std::vector<double>& bright,
                                     const std::vector<double>& raw, int w, int h)
{
    std::uint16_t* out = Calibration(dark.data(), bright.data(), raw.data(), w, h);
    EXPECT_NE(out, nullptr);
    if (!out) return {};
    std::vector<std::uint16_t> result(out, out + static_cast<std::size_t>(w) * h);
    CalpostFree(out);
    return result;
}

TEST(CalpostRangeScan, StartsFromZeroMaximumAndFullMinimum)
{
    const std::vector<double> negative = {-5.0, -3.0};
    EXPECT_EQ(calpost::ScanRange(negative.data(), 2).max, 0.0);
    EXPECT_EQ(calpost::ScanRange(negative.data(), 2).min, -5.0);
    const std::vector<double> high = {70000.0, 80000.0};
    EXPECT_EQ(calpost::ScanRange(high.data(), 2).min, 65535.0);
    EXPECT_EQ(calpost::ScanRange(high.data(), 2).max, 80000.0);
}

TEST(CalpostRescale, MaximumLandsExactlyOnTheTarget)
{
    // 32767 / (5/7) * (5/7) is 32766.999999999996 in doubles: multiplying
    // first would lose the top value to truncation.
    std::vector<double> v = {0.0, 5.0 / 7.0, 2.0 / 7.0};
    calpost::RescaleTo(v.data(), v.size(), 32767.0);
    EXPECT_EQ(v[0], 0.0);
    EXPECT_EQ(v[1], 32767.0);
    EXPECT_NEAR(v[2], 32767.0 * 0.4, 1e-9);
}

TEST(CalpostRescale, ArrayWithoutRangeBecomesZero)
{
    std::vector<double> v(10, 123.0);
    calpost::RescaleTo(v.data(), v.size(), 65535.0);
    for (const double x : v) EXPECT_EQ(x, 0.0);
}

TEST(CalpostCalibration, FlatDifferenceGivesDarkCorrectedRawRescaled)
{
    // bright - dark = 500 everywhere: every gain is 1, the result is raw -
    // dark (0, 50, 100, 200) spread over 0..65535.
    const std::vector<double> dark = {100.0, 120.0, 90.0, 300.0};
    std::vector<double> bright(4), raw(4);
    const double offsets[4] = {0.0, 50.0, 100.0, 200.0};
    for (int i = 0; i < 4; ++i) {
        bright[i] = dark[i] + 500.0;
        raw[i] = dark[i] + offsets[i];
    }
    EXPECT_EQ(Calibrate(dark, bright, raw, 2, 2), (std::vector<std::uint16_t>{0, 16383, 32767, 65535}));
}

TEST(CalpostCalibration, BrightAtOrBelowDarkHasGainOne)
{
    // Differences 200, 200, 200, -40: mean 140, gains 1/0.7 except the last
    // pixel, whose gain is 1 (not -40/140, which would clip it to 0).
    const std::vector<double> dark = {0.0, 0.0, 0.0, 50.0};
    const std::vector<double> bright = {200.0, 200.0, 200.0, 10.0};
    const std::vector<double> raw = {140.0, 280.0, 0.0, 190.0};
    // o = 98, 196, 0, 140 -> rescaled by 65535 / 196.
    EXPECT_EQ(Calibrate(dark, bright, raw, 2, 2), (std::vector<std::uint16_t>{32767, 65535, 0, 46810}));
}

TEST(CalpostCalibration, MeanDifferenceNotAboveZeroUsesGainOne)
{
    const std::vector<double> dark = {0.0, 0.0, 0.0, 0.0};
    const std::vector<double> bright = {10.0, -30.0, 0.0, 0.0};  // mean -5
    const std::vector<double> raw = {0.0, 10.0, 20.0, 40.0};
    EXPECT_EQ(Calibrate(dark, bright, raw, 2, 2), (std::vector<std::uint16_t>{0, 16383, 32767, 65535}));
}

TEST(CalpostCalibration, ConstantResultIsAllZeroAndNegativesClipToZero)
{
    const std::vector<double> dark(6, 100.0), bright(6, 600.0), raw(6, 250.0);
    EXPECT_EQ(Calibrate(dark, bright, raw, 3, 2), std::vector<std::uint16_t>(6, 0));
    const std::vector<double> below = {50.0, 0.0, 100.0, 300.0, 90.0, 200.0};
    // raw - dark: -50, -100, 0, 200, -10, 100 -> 0, 0, 0, 200, 0, 100.
    EXPECT_EQ(Calibrate(dark, bright, below, 3, 2),
              (std::vector<std::uint16_t>{0, 0, 0, 65535, 0, 32767}));
}

TEST(CalpostCalibration, RefusesBadArguments)
{
    const std::vector<double> f(4, 1.0);
    EXPECT_EQ(Calibration(nullptr, f.data(), f.data(), 2, 2), nullptr);
    EXPECT_EQ(Calibration(f.data(), f.data(), nullptr, 2, 2), nullptr);
    EXPECT_EQ(Calibration(f.data(), f.data(), f.data(), 0, 2), nullptr);
    EXPECT_EQ(Calibration(f.data(), f.data(), f.data(), 2, -1), nullptr);
    CalpostFree(nullptr);
}

}  // namespace
