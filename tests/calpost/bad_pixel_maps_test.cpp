// The three bad-pixel-map generators, through the exports.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "calpost.h"
#include "calpost_test_images.h"

namespace {

std::vector<std::uint8_t> Take(std::uint8_t* map, std::size_t count)
{
    EXPECT_NE(map, nullptr);
    if (!map) return {};
    std::vector<std::uint8_t> result(map, map + count);
    CalpostFree(map);
    return result;
}

TEST(CalpostThresholdMap, MarksPixelsOutsideTheFractionsOfTheMaxima)
{
    // Bright maximum 10000, low 0.5, high 0.9: bad below 5000 or above 9000.
    // Dark maximum 100 (one hot pixel): dark above 90 is bad.
    struct Case {
        double dark;
        double bright;
        std::uint8_t bad;
    };
    const Case cases[] = {
        {0.0, 4999.0, 1}, {0.0, 5000.0, 0}, {0.0, 7000.0, 0}, {0.0, 9000.0, 0},
        {0.0, 9001.0, 1}, {0.0, 10000.0, 1}, {100.0, 7000.0, 1}, {90.0, 7000.0, 0},
    };
    const int n = static_cast<int>(std::size(cases));
    std::vector<double> dark, bright;
    for (const Case& c : cases) {
        dark.push_back(c.dark);
        bright.push_back(c.bright);
    }
    const auto map = Take(GenerateBPMAP_1(dark.data(), bright.data(), n, 1, 0.5, 0.9), n);
    for (int i = 0; i < n; ++i)
        EXPECT_EQ(map[i], cases[i].bad) << "dark " << cases[i].dark << " bright " << cases[i].bright;
}

// 64 x 64 frames whose sampled differences (every 16th) are all 1000: the
// smoothed histogram reaches 0.996 of its peak from bin 998 to 1002, so L =
// 998 and U = 1002 for levels up to 0.996; bad below 898.2 or above 1102.2.
class CalpostDifferenceMap : public testing::Test {
protected:
    static constexpr int kSide = 64;
    void SetUp() override
    {
        dark_.assign(kSide * kSide, 200.0);
        bright_.assign(kSide * kSide, 1200.0);
    }
    // Sets the difference of an unsampled pixel.
    void SetDifference(int i, double d)
    {
        ASSERT_NE(i % 16, 0);
        bright_[i] = dark_[i] + d;
    }
    std::vector<std::uint8_t> Map(double low, double high)
    {
        return Take(GenerateBPMAP_2(dark_.data(), bright_.data(), kSide, kSide, low, high), kSide * kSide);
    }
    std::vector<double> dark_, bright_;
};

TEST_F(CalpostDifferenceMap, MarksDifferencesOutsideTheHistogramLimits)
{
    const double differences[] = {898.0, 899.0, 1102.0, 1103.0, -50.0, 60000.0};
    const std::uint8_t expected[] = {1, 0, 0, 1, 1, 1};
    for (int k = 0; k < 6; ++k) SetDifference(1 + k, differences[k]);
    const auto map = Map(0.5, 0.5);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(map[1 + k], expected[k]) << differences[k];
    EXPECT_EQ(map[0], 0);
    EXPECT_EQ(map[100], 0);
}

TEST_F(CalpostDifferenceMap, SideWithoutLimitMarksNothing)
{
    SetDifference(1, 60000.0);
    SetDifference(2, 800.0);
    auto map = Map(0.5, 1.5);  // no bin reaches 1.5: no upper limit
    EXPECT_EQ(map[1], 0);
    EXPECT_EQ(map[2], 1);
    map = Map(1.5, 0.5);  // no lower limit
    EXPECT_EQ(map[1], 1);
    EXPECT_EQ(map[2], 0);
}

TEST_F(CalpostDifferenceMap, DifferencesBeyondTheHistogramCountInItsLastBin)
{
    bright_[16] = dark_[16] + 1.0e9;  // sampled; would index far past 65535 bins
    const auto map = Map(0.5, 0.5);
    EXPECT_EQ(map[16], 1);
    EXPECT_EQ(map[17], 0);
}

// A noisy flat frame with a few planted defects.
class CalpostNoiseMap : public testing::Test {
protected:
    static constexpr int kW = 96;
    static constexpr int kH = 80;
    void SetUp() override
    {
        calpost_test::Noise noise(11);
        image_.resize(kW * kH);
        for (auto& p : image_) p = static_cast<std::uint16_t>(2000.0 + 20.0 * noise.Normal());
        for (int k = 0; k < 8; ++k) {
            const int i = (10 + 7 * k) * kW + 12 + 9 * k;
            image_[i] = k % 2 ? 1200 : 2900;
            defects_.push_back(i);
        }
    }
    std::vector<std::uint8_t> Map(double window, double percentage, double sigma, int32_t* result = nullptr)
    {
        std::vector<std::uint8_t> map(kW * kH, 77);
        const int32_t r = GenerateBPMAP(image_.data(), kW, kH, map.data(), window, percentage, sigma);
        if (result) *result = r;
        return map;
    }
    std::vector<std::uint16_t> image_;
    std::vector<int> defects_;
};

TEST_F(CalpostNoiseMap, OnePercentMarksAboutOnePercentNeverTheBorder)
{
    for (const double window : {3.0, 5.0}) {
        int32_t result = 0;
        const auto map = Map(window, 1.0, 1.0, &result);
        EXPECT_EQ(result, 1);
        const int h = static_cast<int>(window) / 2;
        int marked = 0;
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                const std::uint8_t m = map[y * kW + x];
                ASSERT_TRUE(m == 0 || m == 255);
                if (!m) continue;
                ++marked;
                EXPECT_TRUE(x >= h && y >= h && x < kW - h && y < kH - h) << x << "," << y;
            }
        }
        EXPECT_GE(marked, kW * kH / 200) << "window " << window;
        EXPECT_LE(marked, kW * kH / 50) << "window " << window;
        for (const int i : defects_) EXPECT_EQ(map[i], 255) << "defect at " << i;
    }
}

TEST_F(CalpostNoiseMap, FlatFrameAndTooSmallWindowsMarkNothing)
{
    image_.assign(kW * kH, 1500);
    for (const double window : {3.0, 0.0})
        for (const auto m : Map(window, 1.0, 1.0)) ASSERT_EQ(m, 0);
    SetUp();
    for (const double window : {1.0, 0.0, 200.0})
        for (const auto m : Map(window, 1.0, 1.0)) ASSERT_EQ(m, 0) << window;
}

TEST_F(CalpostNoiseMap, RefusesBadArgumentsWithoutTouchingTheMap)
{
    for (const double sigma : {0.0, -2.0, 1.0e9}) {
        int32_t result = 1;
        const auto map = Map(3.0, 1.0, sigma, &result);
        EXPECT_EQ(result, 0) << sigma;
        EXPECT_EQ(map[0], 77);
    }
    std::vector<std::uint8_t> map(4);
    EXPECT_EQ(GenerateBPMAP(nullptr, 2, 2, map.data(), 3.0, 1.0, 1.0), 0);
    EXPECT_EQ(GenerateBPMAP(image_.data(), 2, 2, nullptr, 3.0, 1.0, 1.0), 0);
    EXPECT_EQ(GenerateBPMAP(image_.data(), 0, 2, map.data(), 3.0, 1.0, 1.0), 0);
    EXPECT_EQ(GenerateBPMAP_1(nullptr, nullptr, 2, 2, 0.5, 0.9), nullptr);
    EXPECT_EQ(GenerateBPMAP_2(nullptr, nullptr, 2, 2, 0.5, 0.9), nullptr);
}

}  // namespace
