// The tone stages: min/max scaling, auto-level, exposure recognition and the
// final stage's gamma and tables.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "stages.h"

namespace toneforge {
namespace {

_tagIMG_PARAM_IntraOral Params()
{
    _tagIMG_PARAM_IntraOral p{};
    p.m_ABCGS_cH = 6;
    p.m_ABCGS_cL = 6;
    p.m_ALCH = 0.01;
    p.m_ALCL = 0.01;
    p.m_ALS1 = 0.06;
    p.m_Test_S1 = 0.1;
    p.m_FinalGamma = 0;
    return p;
}

// A ramp 0 ... 1 over n values.
std::vector<double> Ramp(int n)
{
    std::vector<double> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = static_cast<double>(i) / (n - 1);
    return v;
}

TEST(ToneforgeMinMaxScaling, MapsToTopAndFlatImagesToZero)
{
    std::vector<double> image = {2.0, 4.0, 6.0, 10.0};
    ScalingHKL(image.data(), 2, 2, 1023.0);
    EXPECT_EQ(image, (std::vector<double>{0.0, 255.75, 511.5, 1023.0}));

    std::vector<double> flat(6, 3.5);
    ScalingHKL(flat.data(), 3, 2, 1.0);
    EXPECT_EQ(flat, std::vector<double>(6, 0.0));

    // The search starts at max 0 and min 65535.
    std::vector<double> high = {70000.0, 80000.0};
    const MinMax m = MaxMinHKL(high.data(), 2, 1);
    EXPECT_EQ(m.min, 65535.0);
    EXPECT_EQ(m.max, 80000.0);
}

TEST(ToneforgeAutoLevel, KeepsZeroAtZeroWhateverTheBase)
{
    for (double base : {0.0, 0.3, 0.9}) {
        std::vector<double> image = Ramp(64 * 64);
        AutoLevel_20070201(image.data(), 64, 64, 0.01, 0.01, base);
        EXPECT_EQ(image[0], 0.0) << "base " << base;
        EXPECT_EQ(image[10], base) << "level 10 lies below the lower index";
        EXPECT_EQ(image.back(), 1.0);
    }
}

TEST(ToneforgeAutoLevel, StretchesBetweenTheClipIndices)
{
    std::vector<double> image = Ramp(256 * 256);
    const std::vector<double> table = AutoLevelTable(image.data(), 256, 256, 0.1, 0.1, 0.0);
    // Cumulative fractions grow by about 1/4095 per level: l near 0.1 * 4095,
    // u near 0.9 * 4095.
    int l = 0;
    while (table[l + 1] == 0.0)
        ++l;
    int u = 4095;
    while (table[u - 1] == 1.0)
        --u;
    EXPECT_NEAR(l, 410, 3);
    EXPECT_NEAR(u, 3686, 3);
    EXPECT_NEAR(table[(l + u) / 2], 0.5, 0.01);
}

TEST(ToneforgeAutoLevel, EmptyRangesMapToTheBase)
{
    // All samples in one level: l = u, which maps to the base.
    std::vector<double> image(32 * 32, 1.0);
    image[0] = 0.0;
    const std::vector<double> table = AutoLevelTable(image.data(), 32, 32, 0.5, 0.0, 0.25);
    EXPECT_EQ(table[0], 0.0);
    EXPECT_EQ(table[4095], 0.25);

    // A lower fraction no level reaches: every level but 0 is the base.
    const std::vector<double> unreachable = AutoLevelTable(image.data(), 32, 32, 5.0, 0.0, 0.4);
    for (int k = 1; k < 4096; ++k)
        ASSERT_EQ(unreachable[k], 0.4);

    // Fractions read as -1000 (missing keys) give finite values.
    std::vector<double> ramp = Ramp(64 * 64);
    AutoLevel_20070201(ramp.data(), 64, 64, -1000, -1000, -1000);
    for (double v : ramp)
        ASSERT_TRUE(std::isfinite(v));
}

TEST(ToneforgeExposureRecognition, InvertsSoThatDenseTissueIsBright)
{
    _tagIMG_PARAM_IntraOral p = Params();
    p.m_ERCL = 0.0;
    p.m_ERCH = 0.0;
    p.m_ERGA = 1.0;
    std::vector<double> image = Ramp(64 * 64);
    ParaExpoReco_20070201(image.data(), 64, 64, p);
    EXPECT_EQ(image[0], 1.0);
    EXPECT_EQ(image.back(), 0.0);
    EXPECT_GT(image[100], image[200]);
}

TEST(ToneforgeFinalStage, GammaFollowsTheMeanAboveTheThreshold)
{
    _tagIMG_PARAM_IntraOral p = Params();
    p.m_ALS1 = 0.5;  // threshold 0.55
    p.m_FinalGamma = 0.25;
    // Sampled columns 0 and 16 of two rows: 0.6, 0.2, 0.8, 0.55.
    std::vector<double> image(2 * 20, 0.9);
    image[0] = 0.6;
    image[16] = 0.2;
    image[20] = 0.8;
    image[36] = 0.55;
    EXPECT_DOUBLE_EQ(FinalGamma(image.data(), 20, 2, p), std::exp(3.98200135388046 * 0.7) * 0.09138 + 0.25);

    // No sample above the threshold: the mean is 0.
    p.m_ALS1 = 1.0;
    EXPECT_DOUBLE_EQ(FinalGamma(image.data(), 20, 2, p), 0.09138 + 0.25);
}

TEST(ToneforgeFinalStage, EqualSteepnessGivesOneSymmetricCurve)
{
    const std::vector<double> s = SigmoidTable(7.5, 7.5);
    for (int i = 0; i <= 1841; ++i)
        ASSERT_NEAR(s[i] + s[4095 - i], 1.0, 1e-12) << i;
    for (int i = 1843; i <= 2251; ++i)
        ASSERT_NEAR((s[i + 1] - s[i]) - (s[i] - s[i - 1]), 0.0, 1e-12) << "straight piece at " << i;
    EXPECT_EQ(s[1842], s[1841]);
    EXPECT_NEAR(s[2252] - s[2251], (s[2252] - s[1841]) / 410.0, 1e-15);
}

TEST(ToneforgeFinalStage, LowestOutputLevelIsTest_S1)
{
    _tagIMG_PARAM_IntraOral p = Params();
    const std::vector<std::uint16_t> out = OutputTable(p);
    EXPECT_EQ(out[0], 409);
    EXPECT_EQ(out[4095], 3685);
    for (int i = 1; i < 4096; ++i)
        ASSERT_GE(out[i], out[i - 1]);

    // Equal ends (no steepness) map everything to the lowest level; levels
    // outside the 12-bit range are limited to it.
    p.m_ABCGS_cL = p.m_ABCGS_cH = 0.0;
    EXPECT_EQ(OutputTable(p), std::vector<std::uint16_t>(4096, 409));
    p.m_Test_S1 = -1000;
    EXPECT_EQ(OutputTable(p), std::vector<std::uint16_t>(4096, 0));
    p.m_Test_S1 = 3.0;
    EXPECT_EQ(OutputTable(p), std::vector<std::uint16_t>(4096, 4095));
}

TEST(ToneforgeFinalStage, DarkestPixelGetsTheLowestLevel)
{
    const _tagIMG_PARAM_IntraOral p = Params();
    std::vector<double> image = Ramp(64 * 32);
    std::vector<std::uint16_t> out(image.size());
    AdjustBrightContrastGammaSigmoid(image.data(), 64, 32, p, out.data());
    EXPECT_EQ(out[0], 409);
    EXPECT_EQ(out.back(), 3685);

    // Values that are not a number end as the lowest table entry, not as
    // undefined conversions.
    std::vector<double> broken(64, std::numeric_limits<double>::quiet_NaN());
    broken[3] = 0.5;
    std::vector<std::uint16_t> out2(broken.size());
    AdjustBrightContrastGammaSigmoid(broken.data(), 8, 8, p, out2.data());
    for (std::uint16_t v : out2)
        ASSERT_LE(v, 4095);
}

}  // namespace
}  // namespace toneforge
