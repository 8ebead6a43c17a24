// The final stage: equalisation, mapping, marker pixels and brush-up.
#include <gtest/gtest.h>

#include "processing/final_contrast.h"
#include "stage_fixture.h"

namespace {

using test_support::StageFixture;

void Fill(StageFixture& f)
{
    for (std::size_t i = 0; i < f.image.size(); ++i) f.image[i] = static_cast<std::int16_t>((i * 37) % 1000);
}

TEST(FinalContrast, DefaultsDoNoMappingAndNoMarkers)
{
    StageFixture f(20, 20);
    Fill(f);
    const auto before = f.image;
    EXPECT_EQ(kordex::FinalContrast(f.ctx), 1);
    EXPECT_EQ(f.image, before);
    EXPECT_TRUE(f.dumps.empty());
    EXPECT_TRUE(f.reports.empty());
}

TEST(FinalContrast, MappingEndsTheFirstRowWithTheMarkers)
{
    StageFixture f(20, 20);
    Fill(f);
    f.params.finCMin = 100;
    f.params.finCMax = 4000;
    EXPECT_EQ(kordex::FinalContrast(f.ctx), 1);
    EXPECT_EQ(f.At(18, 0), 100);
    EXPECT_EQ(f.At(19, 0), 4000);
    EXPECT_EQ(f.dumps.back(), "4fin2rescale");
}

TEST(FinalContrast, EqualisationOffAtZeroAndFaultCodes)
{
    StageFixture f(20, 20);
    Fill(f);
    EXPECT_EQ(kordex::HistogramEqualisation(f.ctx, 0), 0);
    EXPECT_EQ(kordex::HistogramEqualisation(f.ctx, -3), 0);
    StageFixture narrow(8, 8);
    for (std::size_t i = 0; i < narrow.image.size(); ++i) narrow.image[i] = static_cast<std::int16_t>(i % 10);
    EXPECT_EQ(kordex::HistogramEqualisation(narrow.ctx, 5), -1);
    EXPECT_EQ(kordex::HistogramEqualisation(f.ctx, 5), -3);  // 400 pixels over 800 levels
}

TEST(FinalContrast, EqualisationSpreadsAPeakedHistogram)
{
    StageFixture f(64, 64);
    for (std::size_t i = 0; i < f.image.size(); ++i) f.image[i] = static_cast<std::int16_t>(i % 3 ? 50 + i % 5 : i % 100);
    EXPECT_EQ(kordex::HistogramEqualisation(f.ctx, 10), 1);
}

TEST(FinalContrast, BrushUpOffAtZeroAndOnTheBorderOnly)
{
    StageFixture f(12, 10);
    Fill(f);
    const auto before = f.image;
    EXPECT_EQ(kordex::BorderBrushUp(f.ctx, 0), 0);
    EXPECT_EQ(f.image, before);
    EXPECT_EQ(kordex::BorderBrushUp(f.ctx, 6), 0);  // 2R reaches the height
    EXPECT_EQ(kordex::BorderBrushUp(f.ctx, 2), 1);
    for (int y = 2; y < 8; ++y)
        for (int x = 2; x < 10; ++x) EXPECT_EQ(f.At(x, y), before[static_cast<std::size_t>(y) * 12 + x]);
}

}  // namespace
