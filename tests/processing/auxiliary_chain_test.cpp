// The stages of the internal auxiliary chain and the chain as a whole, called
// directly on small images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/profile_file.h"
#include "processing/auxiliary/auxiliary_driver.h"
#include "processing/auxiliary/internal_chain.h"
#include "processing/final_contrast.h"
#include "stage_fixture.h"
#include "support/temp_dir.h"

namespace {

using kordex::auxiliary::AuxChainParams;
using test_support::StageFixture;
using test_support::TempDir;

// A smooth phantom with a few edges and some noise, values 0..4095.
void Phantom(StageFixture& f)
{
    std::uint32_t seed = 7;
    for (int y = 0; y < f.ctx.height; ++y)
        for (int x = 0; x < f.ctx.width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int tooth = (x / 12) % 2 ? 2600 : 900;
            f.At(x, y) = static_cast<std::int16_t>(std::min(4095, tooth + 20 * y + static_cast<int>(seed >> 27)));
        }
}

std::string ReadFirstLine(const std::string& path)
{
    const std::string text = test_support::ReadText(path);
    return text.substr(0, text.find('\n'));
}

TEST(AuxiliaryJob, ReportsOnSlot3AndClosesAfter5Seconds)
{
    const kordex::JobKind& kind = kordex::auxiliary::kAuxiliaryJob;
    EXPECT_EQ(kind.slot, 3);
    EXPECT_EQ(kind.closeTimeoutMs, 5000);
    EXPECT_STREQ(kind.closedText, "Aux IP closed");
    EXPECT_STREQ(kind.closedByTimeoutText, "WRN: Aux IP closed by timeout");
    EXPECT_EQ(kind.abortMessage, 350);
    EXPECT_EQ(kordex::kStandardJob.slot, 2);
    EXPECT_EQ(kordex::kStandardJob.closeTimeoutMs, 4000);
}

TEST(AuxChainParams, MissingKeysKeepTheDefaultsAndKeysAreRead)
{
    TempDir dir;
    platform::ProfileFile profile = test_support::ProfileOnSection(
        dir.File("k.ini"),
        "[IP300]\nCaption=x\n[IP301]\nDirSmoohRad=3\nAFUMaskW4=0.75\nMedianShift=-9\nGamma=40\nHistTrunkLight=0.25\n",
        "IP300");
    AuxChainParams defaults;
    kordex::auxiliary::ReadAuxChainParams(profile, defaults);
    EXPECT_FLOAT_EQ(defaults.histTrunkDark0, 0.5f);
    EXPECT_FLOAT_EQ(defaults.histTrunkLight0, 0.0001f);
    EXPECT_EQ(defaults.despeckleThreshold, 15);
    EXPECT_EQ(defaults.medianShift, 15);
    EXPECT_EQ(defaults.dirSmoothRad, 4);
    EXPECT_EQ(defaults.afuMaskR4, 50);
    EXPECT_EQ(defaults.unsharpMaskRadius, 150);
    EXPECT_EQ(defaults.histEqThreshold, 80);
    EXPECT_EQ(defaults.gamma, 0);
    profile.SetSection("IP301");
    AuxChainParams read;
    kordex::auxiliary::ReadAuxChainParams(profile, read);
    EXPECT_EQ(read.dirSmoothRad, 3);
    EXPECT_FLOAT_EQ(read.afuMaskW4, 0.75f);
    EXPECT_EQ(read.medianShift, -9);
    EXPECT_EQ(read.gamma, 40);
    EXPECT_FLOAT_EQ(read.histTrunkLight, 0.25f);
    EXPECT_EQ(test_support::ReadText(dir.File("k.ini")).find("Gamma=40\nHistTrunkLight=0.25\n") != std::string::npos, true);
}

TEST(AuxTruncation, ClipsBothEndsAndRefusesMoreThan99PerCent)
{
    StageFixture f(10, 10);
    for (std::size_t i = 0; i < f.image.size(); ++i) f.image[i] = static_cast<std::int16_t>(i);  // 0..99 once each
    const auto before = f.image;
    EXPECT_EQ(kordex::auxiliary::Truncation(f.ctx, 60.0, 40.0), 0);
    EXPECT_EQ(f.image, before);
    // 5 % dark: walking down from 99 until 95 pixels are summed stops at
    // index 4; 3 % light: 97 bins from the bottom.
    EXPECT_EQ(kordex::auxiliary::Truncation(f.ctx, 5.0, 3.0), 1);
    EXPECT_EQ(*std::min_element(f.image.begin(), f.image.end()), 4);
    EXPECT_EQ(*std::max_element(f.image.begin(), f.image.end()), 97);
    EXPECT_EQ(f.image[50], 50);
}

TEST(AuxDespeckle, ReplacesAnOutlierByTheMiddleOfItsWindow)
{
    StageFixture f(9, 9);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) f.At(x, y) = static_cast<std::int16_t>(100 + x + 9 * y);  // 100..180
    f.At(4, 4) = 3000;  // window around it: 25 values, 12 below and 12 above 140
    f.At(0, 0) = 3000;  // within 2 of the edge: never examined
    EXPECT_EQ(kordex::auxiliary::WindowDespeckle(f.ctx, 15), 1);
    // Sorted window of (4,4): values 120..160 without 140, plus 3000; the
    // 13th and 14th smallest are 141 and 142.
    EXPECT_EQ(f.At(4, 4), (141 + 142) / 2);
    EXPECT_EQ(f.At(0, 0), 3000);
    EXPECT_EQ(f.At(3, 4), 139);  // a ramp pixel has enough similar neighbours
    EXPECT_EQ(kordex::auxiliary::WindowDespeckle(f.ctx, 0), 0);
}

TEST(AuxDirectionalSmoothing, PullsTowardTheClosestLineAndTheBorderTakesTheSmallBlur)
{
    StageFixture f(9, 9);
    for (int y = 0; y < 9; ++y) f.At(4, y) = 90;  // a vertical line
    f.At(4, 4) = 100;
    EXPECT_EQ(kordex::auxiliary::DirectionalSmoothing(f.ctx, 2, 20), 1);
    // At (4,4) the vertical line's sectors average 90, the others 0. A
    // (radius 1) is 31 there, B (radius 2) 18, so o = 20 / 14 and the new
    // value is near((o * 90 + 100) / (o + 1)) = near(94.12) = 94.
    EXPECT_EQ(f.At(4, 4), 94);
    // The band within 2 of the edges takes A.
    EXPECT_EQ(f.At(0, 0), 0);
    EXPECT_EQ(f.At(4, 0), 30);
    EXPECT_EQ(f.At(4, 8), 30);
}

TEST(AuxDirectionalSmoothing, RadiusOneHasEmptySectorsAndDoesNothing)
{
    StageFixture f(9, 9);
    f.At(4, 4) = 100;
    const auto before = f.image;
    EXPECT_EQ(kordex::auxiliary::DirectionalSmoothing(f.ctx, 1, 20), 0);  // no diagonal offset within radius 1
    EXPECT_EQ(f.image, before);
}

TEST(AuxDirectionalSmoothing, RadiiBeyondTheSectorTableAreLeftOutWithAWarning)
{
    StageFixture f(40, 40);
    Phantom(f);
    const auto before = f.image;
    EXPECT_EQ(kordex::auxiliary::DirectionalSmoothing(f.ctx, 12, 20), 0);
    EXPECT_EQ(f.image, before);
    EXPECT_TRUE(f.Logged("WRN: directional smoothing radius 12 is above 11, left out"));
    EXPECT_EQ(kordex::auxiliary::DirectionalSmoothing(f.ctx, 11, 20), 1);
    EXPECT_NE(f.image, before);
}

TEST(AuxDirectionalSmoothing, NegativeWeightOfMinusOneStaysDefined)
{
    StageFixture f(12, 12);
    Phantom(f);
    // o = -1 / (|B - A| + 1): where B = A that makes o + 1 = 0.
    EXPECT_EQ(kordex::auxiliary::DirectionalSmoothing(f.ctx, 2, -1), 1);
}

// Ramps v = a x + b y on a square image: H / V = a / b.
struct MolarCase {
    int a, b, medianShift;
    const char* line;
};

class AuxMolarMedianShift : public testing::TestWithParam<MolarCase> {};

TEST_P(AuxMolarMedianShift, WeightPicksTheFactor)
{
    const MolarCase c = GetParam();
    StageFixture f(30, 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) f.At(x, y) = static_cast<std::int16_t>(c.a * x + c.b * y);
    TempDir dir;
    const std::string path = dir.File("stats.txt");
    std::FILE* stats = std::fopen(path.c_str(), "w");
    ASSERT_NE(stats, nullptr);
    kordex::auxiliary::MolarMedianShift(f.ctx, c.medianShift, stats);
    std::fclose(stats);
    EXPECT_EQ(ReadFirstLine(path), c.line);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AuxMolarMedianShift,
    testing::Values(MolarCase{6, 5, 15, "MolarTeethWeight=1.99 MedianShift=25 (15)"},   // 1.1 < c < 10: 1.7 x
                    MolarCase{6, 5, 50, "MolarTeethWeight=1.99 MedianShift=75 (50)"},   // ... at most 75
                    MolarCase{1, 2, 15, "MolarTeethWeight=0.35 MedianShift=3 (15)"},    // 0.15 < c < 0.9: / 5
                    MolarCase{1, 1, 15, "MolarTeethWeight=1.38 MedianShift=25 (15)"},
                    MolarCase{5, 0, 15, "MolarTeethWeight=0.00 MedianShift=15 (15)"},   // no column difference
                    MolarCase{1, 9, 15, "MolarTeethWeight=0.02 MedianShift=15 (15)"},
                    MolarCase{6, 5, -15, "MolarTeethWeight=-1.00 MedianShift=15 (-15)"}));

TEST(AuxMolarMedianShiftEffect, NegativeFactorShiftsTheDarkTailByItsMagnitude)
{
    // A long dark tail below a bright majority: the median lies far above
    // the mean, so the shift lifts the tail.
    StageFixture f(40, 40);
    for (std::size_t i = 0; i < f.image.size(); ++i)
        f.image[i] = static_cast<std::int16_t>(i % 4 ? 3000 + static_cast<int>(i % 7) : static_cast<int>(i % 1000));
    EXPECT_EQ(kordex::auxiliary::MolarMedianShift(f.ctx, -60, nullptr), 1);
    EXPECT_GT(*std::min_element(f.image.begin(), f.image.end()), 0);
    EXPECT_EQ(*std::max_element(f.image.begin(), f.image.end()), 3006);
}

TEST(AuxUnsharpMasks, PlainMaskAddsTheWeightedDifference)
{
    StageFixture f(5, 5);
    std::fill(f.image.begin(), f.image.end(), 100);
    f.At(2, 2) = 190;
    // Radius 1 box blur at the centre: (8 * 100 + 190) / 9 = 110 on each
    // axis pass: rows give 130 at (2,2) and 100 elsewhere, columns then
    // (100 + 130 + 100) / 3 = 110.
    EXPECT_EQ(kordex::auxiliary::PlainUnsharpMask(f.ctx, 1, 0.5f), 1);
    EXPECT_EQ(f.At(2, 2), 190 + 40);  // near((190 - 110) * 0.5)
    EXPECT_EQ(f.At(1, 2), 100 + kordex::NearClamped((100 - 110) * 0.5));
    EXPECT_EQ(kordex::auxiliary::PlainUnsharpMask(f.ctx, 0, 0.5f), 0);
    EXPECT_EQ(kordex::auxiliary::PlainUnsharpMask(f.ctx, 3, 0.0f), 0);
}

TEST(AuxUnsharpMasks, AdaptiveMaskDumpsContourAndCoefficientsAndSkipsFlatImages)
{
    StageFixture flat(30, 30);
    std::fill(flat.image.begin(), flat.image.end(), 500);
    EXPECT_EQ(kordex::auxiliary::AdaptiveUnsharpMask(flat.ctx, 7, 5, 50, 2.5f, 0.5f), 0);
    StageFixture f(60, 60);
    Phantom(f);
    const auto before = f.image;
    EXPECT_EQ(kordex::auxiliary::AdaptiveUnsharpMask(f.ctx, 3, 2, 10, 2.5f, 0.5f), 1);
    EXPECT_NE(f.image, before);
    ASSERT_EQ(f.dumps.size(), 2u);
    EXPECT_EQ(f.dumps[0], "5ausm_contour.raw");
    EXPECT_EQ(f.dumps[1], "5ausm_coeff.raw");
    const auto& coeff = f.dumped["5ausm_coeff.raw"];
    EXPECT_GE(*std::min_element(coeff.begin(), coeff.end()), 0);
    EXPECT_LE(*std::max_element(coeff.begin(), coeff.end()), 100);
}

TEST(AuxGamma, CurveKeepsTheEndsAndBendsTheMiddle)
{
    StageFixture f(11, 1);
    for (int x = 0; x < 11; ++x) f.At(x, 0) = static_cast<std::int16_t>(1000 + 100 * x);
    EXPECT_EQ(kordex::auxiliary::GammaCurve(f.ctx, 100), 1);  // exponent 2
    EXPECT_EQ(f.At(0, 0), 1000);
    EXPECT_EQ(f.At(10, 0), 2000);
    EXPECT_EQ(f.At(5, 0), 1000 + 250);  // 1000 * 0.5^2
    EXPECT_EQ(kordex::auxiliary::GammaCurve(f.ctx, 0), 0);
    // An exponent below 0 stays inside the image's range.
    EXPECT_EQ(kordex::auxiliary::GammaCurve(f.ctx, -300), 1);
    for (int x = 0; x < 11; ++x) {
        EXPECT_GE(f.At(x, 0), 1000);
        EXPECT_LE(f.At(x, 0), 2000);
    }
}

TEST(AuxFinalRescale, SpreadsTo4095UnlessTheImageIsFlat)
{
    StageFixture flat(4, 4);
    for (std::size_t i = 0; i < flat.image.size(); ++i) flat.image[i] = static_cast<std::int16_t>(200 + i % 11);
    const auto before = flat.image;
    EXPECT_EQ(kordex::auxiliary::FinalRescale(flat.ctx), 0);  // min + 10 = max
    EXPECT_EQ(flat.image, before);
    StageFixture f(4, 4);
    for (std::size_t i = 0; i < f.image.size(); ++i) f.image[i] = static_cast<std::int16_t>(100 + 10 * i);  // 100..250
    EXPECT_EQ(kordex::auxiliary::FinalRescale(f.ctx), 1);
    EXPECT_EQ(f.image[0], 0);
    EXPECT_EQ(f.image[15], 4095);
    EXPECT_EQ(f.image[1], static_cast<int>(4095.0 / 150 * 10 + 0.49999));
}

TEST(AuxEqualisation, ChainLimitsReachDownToTheBottomOfTheRange)
{
    // A tenth of the pixels spread over 0..999, the rest crowded in 600..899.
    StageFixture wide(200, 200), middle(200, 200);
    for (StageFixture* f : {&wide, &middle})
        for (std::size_t i = 0; i < f->image.size(); ++i)
            f->image[i] = static_cast<std::int16_t>(i % 10 == 0 ? (i / 10) % 1000 : 600 + (i * 7) % 300);
    EXPECT_EQ(kordex::HistogramEqualisation(middle.ctx, 80), 1);       // 10..90 per cent
    EXPECT_EQ(kordex::HistogramEqualisation(wide.ctx, 80, 0.0, 99.0), 1);
    // Level 50 (5 per cent of the range) lies below the default interval and
    // stays; the chain's interval starts at 0 and moves it.
    EXPECT_EQ(middle.image[500], 50);
    EXPECT_NE(wide.image[500], 50);
}

class AuxChain : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.Ok());
        output_.statisticsPath = dir_.File("$io$prcsstd.txt");
    }
    TempDir dir_;
    kordex::auxiliary::ChainOutput output_;
};

TEST_F(AuxChain, DefaultsWriteTheFullDumpSetAndTheStatisticsLine)
{
    StageFixture f(80, 60);
    Phantom(f);
    output_.dumps = true;
    EXPECT_EQ(kordex::auxiliary::RunInternalChain(f.ctx, AuxChainParams{}, output_), 1);
    const std::vector<std::string> expected = {"1normal.raw",       "2normal.raw",     "3median0.raw",
                                               "4median1.raw",      "5ausm_contour.raw", "5ausm_coeff.raw",
                                               "5aunsharp.raw",     "6histtrunk.raw"};
    EXPECT_EQ(f.dumps, expected);
    EXPECT_EQ(ReadFirstLine(output_.statisticsPath).rfind("MolarTeethWeight=", 0), 0u);
    EXPECT_EQ(*std::min_element(f.image.begin(), f.image.end()), 0);
    EXPECT_EQ(*std::max_element(f.image.begin(), f.image.end()), 4095);
    // The first dump is the inverted, floored image: its minimum is 0.
    const auto& normal = f.dumped["1normal.raw"];
    EXPECT_EQ(*std::min_element(normal.begin(), normal.end()), 0);
}

TEST_F(AuxChain, WithoutDumpsTheStatisticsFileIsDeletedAndNotWritten)
{
    test_support::WriteText(output_.statisticsPath, "old\n");
    StageFixture f(40, 40);
    Phantom(f);
    f.ctx.dump = nullptr;
    AuxChainParams p;
    p.medianShift = 0;
    EXPECT_EQ(kordex::auxiliary::RunInternalChain(f.ctx, p, output_), 1);
    EXPECT_FALSE(platform::FileExists(output_.statisticsPath));
}

TEST_F(AuxChain, NegativeMedianShiftWritesTheFixedWeight)
{
    StageFixture f(40, 40);
    Phantom(f);
    output_.dumps = true;
    AuxChainParams p;
    p.medianShift = -20;
    kordex::auxiliary::RunInternalChain(f.ctx, p, output_);
    EXPECT_EQ(ReadFirstLine(output_.statisticsPath), "MolarTeethWeight=-1.00 MedianShift=20 (-20)");
}

TEST_F(AuxChain, ImageFlatAfterTheChainIsNotRescaled)
{
    StageFixture f(30, 30);
    for (std::size_t i = 0; i < f.image.size(); ++i) f.image[i] = static_cast<std::int16_t>(3000 + i % 3);
    AuxChainParams p;
    p.histTrunkDark0 = p.histTrunkLight0 = p.histTrunkDark = p.histTrunkLight = 0;
    EXPECT_EQ(kordex::auxiliary::RunInternalChain(f.ctx, p, output_), 1);
    // Inverted (1093..1095), floored to 0..2 and left there: no stretch to 4095.
    EXPECT_LE(*std::max_element(f.image.begin(), f.image.end()), 10);
}

TEST_F(AuxChain, StepsThatAreOffLeaveTheirDumpsOutAndAnAbortStops)
{
    StageFixture f(40, 40);
    Phantom(f);
    AuxChainParams p;
    p.medianShift = 0;
    p.afuMaskR1 = 0;
    EXPECT_EQ(kordex::auxiliary::RunInternalChain(f.ctx, p, output_), 1);
    const std::vector<std::string> expected = {"1normal.raw", "2normal.raw", "5aunsharp.raw", "6histtrunk.raw"};
    EXPECT_EQ(f.dumps, expected);

    StageFixture aborted(40, 40);
    Phantom(aborted);
    aborted.abortState = 1;
    EXPECT_EQ(kordex::auxiliary::RunInternalChain(aborted.ctx, AuxChainParams{}, output_), 0);
    EXPECT_EQ(aborted.dumps, std::vector<std::string>{"1normal.raw"});
}

TEST_F(AuxChain, ResultDoesNotDependOnTheThreadCount)
{
    StageFixture one(70, 50, 1), three(70, 50, 3);
    Phantom(one);
    Phantom(three);
    kordex::auxiliary::RunInternalChain(one.ctx, AuxChainParams{}, output_);
    kordex::auxiliary::RunInternalChain(three.ctx, AuxChainParams{}, output_);
    EXPECT_EQ(one.image, three.image);
}

}  // namespace
