// BoxSmooth against a direct clamped-window mean, and the row bands.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "frame/parallel_rows.h"
#include "processing/box_smooth.h"

namespace {

std::vector<std::int16_t> Reference(const std::vector<std::int16_t>& src, int w, int h, int r)
{
    auto mean1d = [r](auto at, int n, int k) {
        std::int64_t sum = 0;
        for (int d = -r; d <= r; ++d) sum += at(std::clamp(k + d, 0, n - 1));
        return static_cast<std::int16_t>(sum / (2 * r + 1));
    };
    std::vector<std::int16_t> rows(src.size()), out(src.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            rows[y * w + x] = mean1d([&](int k) { return src[y * w + k]; }, w, x);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            out[y * w + x] = mean1d([&](int k) { return rows[k * w + x]; }, h, y);
    return out;
}

TEST(BoxSmooth, MatchesTheClampedWindowMeanForEveryRadiusAndThreadCount)
{
    const int w = 23, h = 17;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> dist(-32768, 32767);
    std::vector<std::int16_t> src(w * h);
    for (auto& v : src) v = static_cast<std::int16_t>(dist(rng));
    for (int r : {0, 1, 2, 5, 16, 40, 1000}) {
        const auto expected = Reference(src, w, h, r);
        for (int threads : {1, 2, 5}) {
            std::vector<std::int16_t> img = src;
            EXPECT_EQ(kordex::BoxSmooth(w, h, r, img.data(), nullptr, threads), 1);
            EXPECT_EQ(img, expected) << "r=" << r << " threads=" << threads;
        }
    }
}

// Wide and odd-sized images: rows longer than the passes' internal chunks,
// row counts that leave part groups, windows wider than the image, and the
// extreme sample values (sums at the edge of the quotient's range).
TEST(BoxSmooth, MatchesTheClampedWindowMeanOnRandomShapes)
{
    struct Case {
        int w, h, r, threads;
    };
    const Case cases[] = {
        {1030, 7, 1, 1}, {1030, 7, 60, 2}, {1, 9, 3, 1}, {9, 1, 3, 2}, {517, 13, 600, 3},
        {513, 6, 255, 2}, {64, 70, 10, 4}, {3, 3, 32766, 1}, {700, 5, 2, 2},
    };
    std::mt19937 rng(11);
    for (const Case& c : cases) {
        std::vector<std::int16_t> src(static_cast<std::size_t>(c.w) * c.h);
        std::uniform_int_distribution<int> pick(0, 3);
        std::uniform_int_distribution<int> any(-32768, 32767);
        for (auto& v : src) {
            const int k = pick(rng);
            v = static_cast<std::int16_t>(k == 0 ? -32768 : k == 1 ? 32767 : any(rng));
        }
        const auto expected = Reference(src, c.w, c.h, c.r);
        std::vector<std::int16_t> out(src.size()), scratch(src.size());
        EXPECT_EQ(kordex::BoxSmoothInto(c.w, c.h, c.r, src.data(), out.data(), nullptr, c.threads, scratch.data()), 1);
        EXPECT_EQ(out, expected) << c.w << "x" << c.h << " r=" << c.r << " threads=" << c.threads;
    }
}

TEST(BoxSmooth, HugeRadiusGivesTheEdgeWeightedMeanWithoutHanging)
{
    std::vector<std::int16_t> img = {0, 3000, 0, 0};
    EXPECT_EQ(kordex::BoxSmooth(4, 1, 1000000000, img.data(), nullptr, 2), 1);
    for (auto v : img) EXPECT_EQ(v, 0);  // 3000 / (2r + 1) truncates to 0
}

TEST(BoxSmooth, AbortWordStopsWithZero)
{
    std::vector<std::int16_t> img(64 * 64, 5);
    const std::int32_t abortWord = 1;
    EXPECT_EQ(kordex::BoxSmooth(64, 64, 3, img.data(), &abortWord, 2), 0);
}

TEST(RowBands, ThreeRowsInTwoBands)
{
    std::vector<std::pair<int, int>> bands;
    kordex::SplitRows(2, 0, 2, [&](const kordex::RowBand& b) { bands.emplace_back(b.firstRow, b.lastRow); });
    ASSERT_EQ(bands.size(), 2u);
    EXPECT_EQ(bands[0], std::make_pair(0, 0));
    EXPECT_EQ(bands[1], std::make_pair(1, 2));
}

}  // namespace
