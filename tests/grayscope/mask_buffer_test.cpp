// The bad-pixel mask buffer: loading with counts, selection reading, fill,
// save, Info and marking from the view.
#include <gtest/gtest.h>

#include <cstring>

#include "grayscope/bpm/mask_buffer.h"
#include "platform/paths.h"
#include "tests/support/temp_dir.h"

using namespace grayscope;
using test_support::TempDir;

namespace {

constexpr int kW = 20;
constexpr int kH = 10;

void WriteMap(const std::string& path, const std::vector<std::pair<int, std::uint16_t>>& marks, int count = kW * kH)
{
    std::vector<std::uint16_t> v(count, 0);
    for (auto [i, value] : marks)
        v[i] = value;
    test_support::WriteText(path, std::string(reinterpret_cast<const char*>(v.data()), v.size() * 2));
}

std::vector<std::uint16_t> ReadMap(const std::string& path)
{
    const std::string bytes = test_support::ReadText(path);
    std::vector<std::uint16_t> v(bytes.size() / 2);
    std::memcpy(v.data(), bytes.data(), v.size() * 2);
    return v;
}

}  // namespace

TEST(MaskBufferLoad, CountsForMissingWrongSizeAndAnyNonzeroValue)
{
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    MaskBuffer mask;
    mask.Load(dir.Path(), kW, kH);
    EXPECT_EQ(mask.AutoCount(), 0);
    EXPECT_EQ(mask.InitialManualCount(), 0);
    WriteMap(dir.File("BPM.RAW"), {{3, 1}}, kW * kH - 1);  // wrong size, upper-case name
    WriteMap(dir.File("BPMM.raw"), {{5, 1}, {6, 256}});
    mask.Load(dir.Path() + "/", kW, kH);
    EXPECT_EQ(mask.AutoCount(), -1);
    EXPECT_EQ(mask.At(3, 0), 0);
    EXPECT_EQ(mask.InitialManualCount(), 2);
    EXPECT_EQ(mask.At(5, 0), kMaskManual);
    EXPECT_EQ(mask.At(6, 0), kMaskManual);
    EXPECT_EQ(mask.TotalCount(), 2);
}

TEST(MaskBufferSelection, NegativeAndLargeValuesAreLimitedAndReported)
{
    MaskBuffer mask;
    TempDir dir;
    mask.Load(dir.Path(), kW, kH);
    SelectionRead r = mask.ReadSelection(false, -3, -1, -70);
    EXPECT_EQ(r.segment.line, 0);
    EXPECT_EQ(r.segment.from, 0);
    EXPECT_EQ(r.segment.to, 0);
    EXPECT_TRUE(r.lineChanged && r.fromChanged && r.toChanged);
    r = mask.ReadSelection(false, 50, 5, 100);
    EXPECT_EQ(r.segment.line, kH - 1);
    EXPECT_EQ(r.segment.to, kW - 1);
    EXPECT_FALSE(r.fromChanged);
    r = mask.ReadSelection(true, 50, 5, 100);
    EXPECT_EQ(r.segment.line, kW - 1);
    EXPECT_EQ(r.segment.to, kH - 1);
    // Read as signed 16-bit: 65535 is -1, hence 0.
    r = mask.ReadSelection(false, 65535, 1, 1);
    EXPECT_EQ(r.segment.line, 0);
}

TEST(MaskBufferFill, RowSegmentInEitherOrderAndColumns)
{
    MaskBuffer mask;
    TempDir dir;
    mask.Load(dir.Path(), kW, kH);
    mask.Fill(Segment{false, 3, 10, 5}, true);
    for (int x = 0; x < kW; ++x)
        EXPECT_EQ(mask.At(x, 3), (x >= 5 && x <= 10) ? kMaskManual : 0) << x;
    EXPECT_EQ(mask.CurrentManualCount(), 6);
    mask.Fill(Segment{true, 7, 0, 9}, true);
    EXPECT_EQ(mask.CurrentManualCount(), 6 + 10 - 1);
    mask.Fill(Segment{false, 3, 0, 19}, false);
    EXPECT_EQ(mask.CurrentManualCount(), 9);
    mask.ClearManual();
    EXPECT_EQ(mask.CurrentManualCount(), 0);
}

TEST(MaskBufferSave, DeletesWhenEmptyAndWrites256PerMark)
{
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    WriteMap(dir.File("BPMM.raw"), {{1, 256}});
    MaskBuffer mask;
    mask.Load(dir.Path(), kW, kH);
    mask.ClearManual();
    platform::FileError error;
    EXPECT_TRUE(mask.SaveManual(dir.Path(), &error));
    EXPECT_FALSE(platform::FileExists(dir.File("BPMM.raw")));
    mask.Fill(Segment{false, 2, 4, 4}, true);
    EXPECT_TRUE(mask.SaveManual(dir.Path(), &error));
    const auto values = ReadMap(dir.File("BPMM.raw"));
    ASSERT_EQ(values.size(), static_cast<std::size_t>(kW * kH));
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(values[i], i == 2 * kW + 4 ? 256 : 0) << i;
    EXPECT_FALSE(mask.SaveManual(dir.File("missing"), &error));
    EXPECT_NE(error.code, 0);
}

TEST(MaskBufferInfo, TotalAndDuplicated)
{
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    std::vector<std::pair<int, std::uint16_t>> autoMarks, manualMarks;
    for (int i = 0; i < 100; ++i)
        autoMarks.push_back({i, 255});
    for (int i = 0; i < 10; ++i)
        manualMarks.push_back({i < 4 ? i : 150 + i, 256});
    WriteMap(dir.File("BPM.raw"), autoMarks);
    WriteMap(dir.File("BPMM.raw"), manualMarks);
    MaskBuffer mask;
    mask.Load(dir.Path(), kW, kH);
    EXPECT_EQ(mask.TotalCount(), 106);
    EXPECT_EQ(mask.InfoText(),
              "bad pixels\nauto-detect:\t100 (50.000%)\nman initial:\t10 (5.000%)\nman currently:\t10 (5.000%)\n"
              "total count:\t106 (53.000%)\nduplicated:\t4 (2.000%)");
}

TEST(MaskBufferMarking, PrimaryAndSecondary)
{
    Segment row{false, 0, 0, 0};
    MarkPrimary(&row, 12, 4);
    EXPECT_EQ(row.line, 4);
    EXPECT_EQ(row.from, 12);
    EXPECT_EQ(row.to, 12);
    MarkSecondary(&row, 15, 9);
    EXPECT_EQ(row.from, 12);
    EXPECT_EQ(row.to, 15);
    MarkSecondary(&row, 3, 9);
    EXPECT_EQ(row.from, 3);
    EXPECT_EQ(row.to, 12);
    EXPECT_EQ(row.line, 4);
    Segment col{true, 0, 0, 0};
    MarkPrimary(&col, 12, 4);
    EXPECT_EQ(col.line, 12);
    EXPECT_EQ(col.from, 4);
}
