// The transport stream: placement of every sensor model, inversion, the
// end-of-frame rules and a stream that misbehaves.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "acquisition/readout.h"
#include "acquisition/stream_writer.h"
#include "acquisition/transport_stream.h"

namespace kordex {
namespace {

constexpr std::int16_t kFill = static_cast<std::int16_t>(0x8000);

// A frame buffer with guard words on both sides that must stay untouched.
class GuardedFrame {
public:
    GuardedFrame(int width, int height)
        : w_(width), h_(height), store_(static_cast<std::size_t>(width) * height + 2 * kGuard, kFill)
    {
        for (int i = 0; i < kGuard; ++i) store_[static_cast<std::size_t>(i)] = store_[store_.size() - 1 - i] = kGuardValue;
    }
    std::int16_t* Data() { return store_.data() + kGuard; }
    std::int16_t At(int row, int col) const { return store_[kGuard + static_cast<std::size_t>(row) * w_ + col]; }
    bool GuardsIntact() const
    {
        for (int i = 0; i < kGuard; ++i)
            if (store_[static_cast<std::size_t>(i)] != kGuardValue || store_[store_.size() - 1 - i] != kGuardValue)
                return false;
        return true;
    }
    int Missing() const
    {
        int n = 0;
        for (int r = 0; r < h_; ++r)
            for (int c = 0; c < w_; ++c) n += At(r, c) == kFill;
        return n;
    }

private:
    static constexpr int kGuard = 64;
    static constexpr std::int16_t kGuardValue = 0x5A5A;
    int w_, h_;
    std::vector<std::int16_t> store_;
};

std::vector<std::uint8_t> Words(std::initializer_list<std::uint16_t> words)
{
    std::vector<std::uint8_t> bytes;
    for (std::uint16_t w : words) {
        bytes.push_back(static_cast<std::uint8_t>(w & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(w >> 8));
    }
    return bytes;
}

void ParseAll(TransportStreamParser& parser, const std::vector<std::uint8_t>& bytes)
{
    parser.Parse(bytes.data(), bytes.size() / 2);
}

TEST(TransportStreamTest, DefaultFrameNeedsTwentyTwoPages)
{
    EXPECT_EQ(ExpectedWords(910, 688), 627458);
    EXPECT_EQ(PageCount(910, 688), 22);
    EXPECT_EQ(PageCount(1, 1), 3);
}

TEST(TransportStreamTest, PlacementOfEachSensorModel)
{
    const int W = 910, H = 688, half = W / 2;
    struct Case {
        int descramble, line, column, row, target;
    } cases[] = {
        {0, 5, 7, 5, 7},
        {1, 1, 0, H - 1, W - 1},        // odd lines fill from the bottom, mirrored
        {1, 2, 5, 1, 5},                // even lines fill from the top
        {1, 3, 10, H - 2, W - 11},
        {2, 1, half, H - 1, 1},         // PRX-100: rows like PRX-APS, columns interleaved
        {2, 4, 3, 2, 6},
        {3, 9, half, 9, 1},             // RC: column half lands at column 1
        {3, 9, half - 1, 9, W - 2},
        {7, 4, 4, 4, 4},                // unknown values place like 0
    };
    for (const Case& c : cases) {
        int row = -1, col = -1;
        ASSERT_TRUE(PlacePixel({W, H, c.descramble, false}, c.line, c.column, &row, &col))
            << "descramble " << c.descramble << " line " << c.line << " column " << c.column;
        EXPECT_EQ(row, c.row) << "descramble " << c.descramble << " line " << c.line;
        EXPECT_EQ(col, c.target) << "descramble " << c.descramble << " column " << c.column;
    }
    int row = 0, col = 0;
    EXPECT_FALSE(PlacePixel({W, H, 1, false}, H, 0, &row, &col));
    EXPECT_FALSE(PlacePixel({W, H, 1, false}, 0, W, &row, &col));
}

TEST(TransportStreamTest, OddWidthInterleavedRowsDropTheColumnThatWouldLeaveTheRow)
{
    // W = 5, half = 2: stream column 4 would land at column 5.
    for (int descramble : {2, 3}) {
        int row = 0, col = 0;
        EXPECT_FALSE(PlacePixel({5, 3, descramble, false}, 0, 4, &row, &col));
        EXPECT_TRUE(PlacePixel({5, 3, descramble, false}, 0, 3, &row, &col));
        EXPECT_EQ(col, 3);

        GuardedFrame frame(5, 3);
        TransportStreamParser parser({5, 3, descramble, false}, frame.Data());
        // Three lines of five pixels 1..5, the last line being the bottom one.
        std::vector<std::uint8_t> bytes;
        for (int line = 0; line < 3; ++line) {
            auto part = Words({static_cast<std::uint16_t>(0xA000 | line), 1, 2, 3, 4, 5,
                               static_cast<std::uint16_t>(0xE000 | line)});
            bytes.insert(bytes.end(), part.begin(), part.end());
        }
        auto end = Words({0xFFFF});
        bytes.insert(bytes.end(), end.begin(), end.end());
        ParseAll(parser, bytes);
        EXPECT_EQ(parser.Tracking().status, kStreamComplete);
        EXPECT_EQ(parser.Tracking().highestColumn, 4);
        EXPECT_TRUE(frame.GuardsIntact()) << "descramble " << descramble;
        EXPECT_EQ(frame.Missing(), 3) << "one column of three rows keeps the fill";
        const int row0 = descramble == 2 ? 0 : 0;
        EXPECT_EQ(frame.At(row0, 0), 1);
        EXPECT_EQ(frame.At(row0, 2), 2);
        EXPECT_EQ(frame.At(row0, 1), 3);
        EXPECT_EQ(frame.At(row0, 3), 4);
        EXPECT_EQ(frame.At(row0, 4), kFill);
    }
}

TEST(TransportStreamTest, WrittenStreamsParseBackForEveryModelAndPageCut)
{
    const int W = 37, H = 12;
    std::mt19937 random(5);
    std::vector<std::uint16_t> samples(static_cast<std::size_t>(W) * H);
    for (auto& s : samples) s = static_cast<std::uint16_t>(random() & 0x0FFF);
    for (int descramble : {0, 1, 2, 3, 9}) {
        for (bool invert : {false, true}) {
            const Placement p{W, H, descramble, invert};
            const std::vector<std::uint8_t> stream = WriteTransportStream(samples.data(), p, {});
            ASSERT_EQ(static_cast<std::int64_t>(stream.size()), ExpectedWords(W, H) * 2);
            for (std::size_t cut : {std::size_t{2}, std::size_t{38}, std::size_t{200}, stream.size()}) {
                GuardedFrame frame(W, H);
                TransportStreamParser parser(p, frame.Data());
                for (std::size_t at = 0; at < stream.size(); at += cut) {
                    const std::size_t n = std::min(cut, stream.size() - at);
                    parser.Parse(stream.data() + at, n / 2);
                }
                const StreamTracking& t = parser.Tracking();
                EXPECT_EQ(t.status, kStreamComplete);
                EXPECT_EQ(t.highestSol, H - 1);
                EXPECT_EQ(t.highestEol, H - 1);
                EXPECT_EQ(t.highestColumn, W - 1);
                ASSERT_TRUE(frame.GuardsIntact());
                const bool dropsColumn = (descramble == 2 || descramble == 3) && W % 2 != 0;
                for (int r = 0; r < H; ++r) {
                    for (int c = 0; c < W; ++c) {
                        if (dropsColumn && c == W - 1) {
                            ASSERT_EQ(frame.At(r, c), kFill);
                            continue;
                        }
                        const int v = samples[static_cast<std::size_t>(r) * W + c];
                        ASSERT_EQ(frame.At(r, c), invert ? 4095 - v : v)
                            << "descramble " << descramble << " row " << r << " col " << c << " cut " << cut;
                    }
                }
            }
        }
    }
}

// Aligned pages take the vectorised path, misaligned bytes the word-by-word
// one: both must give the same frame and the same tracking for any stream.
TEST(TransportStreamTest, FastAndWordByWordPathsAgree)
{
    std::mt19937 random(11);
    const std::uint16_t tags[] = {0x0000, 0x3000, 0xA000, 0xB000, 0xD000, 0xE000, 0xF000, 0xFFFF};
    for (int round = 0; round < 200; ++round) {
        const int W = 1 + static_cast<int>(random() % 70), H = 1 + static_cast<int>(random() % 9);
        const int descramble = static_cast<int>(random() % 5);
        std::vector<std::uint8_t> bytes;
        const int words = static_cast<int>(random() % 3000);
        for (int k = 0; k < words; ++k) {
            // Mostly pixels, sometimes a marker of a small line number.
            std::uint16_t w = static_cast<std::uint16_t>(random() & 0x0FFF);
            if (random() % 40 == 0) w = static_cast<std::uint16_t>(tags[random() % 8] | (random() % (H + 3)));
            if (w == 0xF000 + (w & 0x0FFF) && random() % 2) w = 0xFFFF;
            bytes.push_back(static_cast<std::uint8_t>(w & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>(w >> 8));
        }
        std::vector<std::uint8_t> shifted(bytes.size() + 1);
        std::copy(bytes.begin(), bytes.end(), shifted.begin() + 1);
        GuardedFrame fast(W, H), slow(W, H);
        TransportStreamParser a({W, H, descramble, round % 2 == 0}, fast.Data());
        TransportStreamParser b({W, H, descramble, round % 2 == 0}, slow.Data());
        for (std::size_t at = 0; at < bytes.size(); at += 512) {
            const std::size_t n = std::min<std::size_t>(512, bytes.size() - at) / 2;
            a.Parse(bytes.data() + at, n);
            b.Parse(shifted.data() + 1 + at, n);
        }
        ASSERT_TRUE(fast.GuardsIntact());
        ASSERT_TRUE(slow.GuardsIntact());
        const StreamTracking& ta = a.Tracking();
        const StreamTracking& tb = b.Tracking();
        ASSERT_EQ(ta.status, tb.status) << round;
        ASSERT_EQ(ta.highestSol, tb.highestSol);
        ASSERT_EQ(ta.highestEol, tb.highestEol);
        ASSERT_EQ(ta.highestColumn, tb.highestColumn);
        ASSERT_EQ(ta.line, tb.line);
        ASSERT_EQ(ta.column, tb.column);
        for (int r = 0; r < H; ++r)
            for (int c = 0; c < W; ++c) ASSERT_EQ(fast.At(r, c), slow.At(r, c)) << round << " " << r << "," << c;
    }
}

TEST(TransportStreamTest, InvertStoresTheComplement)
{
    for (bool invert : {true, false}) {
        GuardedFrame frame(4, 2);
        TransportStreamParser parser({4, 2, 0, invert}, frame.Data());
        ParseAll(parser, Words({0xA000, 0x123, 0x0FFF, 0xB000, 0xE000}));
        EXPECT_EQ(frame.At(0, 0), invert ? 3804 : 0x123);
        EXPECT_EQ(frame.At(0, 1), invert ? 0 : 4095);
        EXPECT_EQ(frame.At(0, 2), invert ? 4095 : 0) << "tag 0xB000 is a pixel of value 0";
    }
}

TEST(TransportStreamTest, WordsOutsideAnyLineAreIgnored)
{
    GuardedFrame frame(4, 2);
    TransportStreamParser parser({4, 2, 0, false}, frame.Data());
    ParseAll(parser, Words({0x0111, 0xFFFF, 0xF123}));
    EXPECT_EQ(parser.Tracking().status, kStreamRunning) << "an end marker before any line is ignored";
    EXPECT_EQ(frame.Missing(), 8);
    ParseAll(parser, Words({0xA000, 1, 2, 0xE000, 0x0333, 0xF001, 0xA001, 5}));
    EXPECT_EQ(frame.At(0, 0), 1);
    EXPECT_EQ(frame.At(0, 1), 2);
    EXPECT_EQ(frame.At(0, 2), kFill) << "a pixel after the end of a line is ignored";
    EXPECT_EQ(frame.At(1, 0), 5);
    EXPECT_EQ(parser.Tracking().line, 1);
    EXPECT_EQ(parser.Tracking().highestEol, 0);
}

TEST(TransportStreamTest, EndMarkerWithTooFewLinesIsPrematureAndStopsParsing)
{
    GuardedFrame frame(2, 3);
    TransportStreamParser parser({2, 3, 0, false}, frame.Data());
    ParseAll(parser, Words({0xA000, 1, 1, 0xE000, 0xA001, 2, 2, 0xE001, 0xFFFF, 0xA002, 3, 3}));
    EXPECT_EQ(parser.Tracking().status, kStreamPrematureEnd);
    EXPECT_EQ(parser.Tracking().highestSol, 1);
    EXPECT_EQ(frame.At(2, 0), kFill) << "words after the end are skipped";
}

TEST(TransportStreamTest, MarkersBeyondTheFrameOnlyEverWriteInsideIt)
{
    GuardedFrame frame(3, 2);
    TransportStreamParser parser({3, 2, 1, true}, frame.Data());
    // A line far beyond the height with a long run of pixels, then a line
    // with columns beyond the width, then line numbers jumping backwards.
    std::initializer_list<std::uint16_t> words = {
        0xAFFF, 1, 2, 3, 4, 5, 6, 7, 0xEFFF,
        0xA001, 9, 9, 9, 9, 9, 9, 9, 9,
        0xA000, 8, 8, 8, 8, 0xE000,
        0xA001, 7, 0xE001, 0xFFFF};
    ParseAll(parser, Words(words));
    const StreamTracking& t = parser.Tracking();
    EXPECT_TRUE(frame.GuardsIntact());
    EXPECT_EQ(t.highestSol, 0xFFF);
    EXPECT_EQ(t.highestColumn, 7) << "columns of lines beyond the frame are counted too";
    EXPECT_EQ(t.status, kStreamComplete);
    EXPECT_EQ(frame.At(0, 0), 4095 - 8);
    EXPECT_EQ(frame.At(1, 2), 4095 - 7) << "odd line 1 lands mirrored in the bottom row";
    EXPECT_EQ(frame.At(1, 1), 4095 - 9);
}

TEST(TransportStreamTest, ParsingWithoutAFrameOnlyTracks)
{
    TransportStreamParser parser({3, 1, 0, false}, nullptr);
    ParseAll(parser, Words({0xA000, 1, 2, 3, 0xE000, 0xFFFF}));
    EXPECT_EQ(parser.Tracking().status, kStreamComplete);
    EXPECT_EQ(parser.Tracking().highestColumn, 2);
}

TEST(TransportStreamTest, ProgressRoundsAndNeverDividesByZero)
{
    EXPECT_EQ(ReadoutProgress(-1, 688), 0);
    EXPECT_EQ(ReadoutProgress(342, 688), 50);   // 343 x 100 / 687 = 49.93
    EXPECT_EQ(ReadoutProgress(686, 688), 100);
    EXPECT_EQ(ReadoutProgress(4000, 688), 100) << "capped";
    EXPECT_EQ(ReadoutProgress(0, 1), 100) << "a one-line frame divides by 1";
    EXPECT_EQ(ReadoutProgress(-1, 1), 0);
}

}  // namespace
}  // namespace kordex
