// Row band split and run.
#include "platform/row_bands.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace platform {
namespace {

std::vector<RowBand> Bands(int count, int from, int to)
{
    std::vector<RowBand> bands;
    SplitRows(count, from, to, [&](const RowBand& b) { bands.push_back(b); });
    return bands;
}

TEST(RowBandsTest, BandSplitGivesTheRestToTheLastBand)
{
    const std::vector<RowBand> three = Bands(2, 0, 2);
    ASSERT_EQ(three.size(), 2u);
    EXPECT_EQ(three[0].firstRow, 0);
    EXPECT_EQ(three[0].lastRow, 0);
    EXPECT_EQ(three[1].firstRow, 1);
    EXPECT_EQ(three[1].lastRow, 2);

    const std::vector<RowBand> offset = Bands(3, 10, 20);  // 11 rows, 3 each
    ASSERT_EQ(offset.size(), 3u);
    EXPECT_EQ(offset[1].firstRow, 13);
    EXPECT_EQ(offset[1].lastRow, 15);
    EXPECT_EQ(offset[2].firstRow, 16);
    EXPECT_EQ(offset[2].lastRow, 20);
}

TEST(RowBandsTest, CountBelowOneIsOneBand)
{
    EXPECT_EQ(Bands(0, 0, 99).size(), 1u);
    EXPECT_EQ(Bands(-5, 0, 99).size(), 1u);
}

TEST(RowBandsTest, EveryRowIsVisitedOnceWhateverTheBandCount)
{
    for (int count : {1, 2, 3, 7, 31, 40}) {
        std::vector<std::atomic<int>> visits(5);
        RunRowBands(count, 0, 4, [&](const RowBand& b) {
            EXPECT_LE(b.firstRow, b.lastRow) << "empty band run";
            for (int r = b.firstRow; r <= b.lastRow; ++r) visits[r]++;
        });
        for (int r = 0; r < 5; ++r) EXPECT_EQ(visits[r].load(), 1) << count << " bands, row " << r;
    }
}

TEST(RowBandsTest, NoRowsRunNothing)
{
    int calls = 0;
    RunRowBands(4, 0, -1, [&](const RowBand&) { ++calls; });
    EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace platform
