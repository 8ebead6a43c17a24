// Marker texts and statistics, BMP export, mask entries and history, frame
// loading with autocomplete, settings and start rules.
#include <gtest/gtest.h>

#include <cstring>

#include "grayscope/view/bmp_export.h"
#include "grayscope/view/frame_load.h"
#include "grayscope/view/grey_map.h"
#include "grayscope/view/marker.h"
#include "grayscope/view/mask_entry.h"
#include "grayscope/view/viewer_settings.h"
#include "tests/grayscope/test_image.h"
#include "tests/support/temp_dir.h"

using namespace grayscope;
using grayscope_test::MakeImage;
using test_support::TempDir;

namespace {

void WriteSamples(const std::string& path, std::size_t count, std::uint16_t value = 7)
{
    std::vector<std::uint16_t> v(count, value);
    test_support::WriteText(path, std::string(reinterpret_cast<const char*>(v.data()), count * 2));
}

}  // namespace

TEST(MarkerText, Encoding)
{
    struct Case {
        const char* text;
        MarkerKind kind;
        int a, b, radius;
    };
    const Case cases[] = {
        {"None", MarkerKind::None, 0, 0, 0},    {" r ", MarkerKind::Row, 0, 0, 0},
        {"C", MarkerKind::Column, 0, 0, 0},     {"s", MarkerKind::Surround, 0, 0, 0},
        {"2", MarkerKind::Column, 0, 0, 0},     {"5x0", MarkerKind::Rectangle, 5, 0, 0},
        {"0x0", MarkerKind::None, 0, 0, 0},     {"10/20", MarkerKind::Rectangle, 10, 20, 0},
        {"10X20", MarkerKind::Rectangle, 10, 20, 0}, {"50", MarkerKind::Circle, 0, 0, 50},
        {"junk", MarkerKind::None, 0, 0, 0},    {"-4x3", MarkerKind::Rectangle, 0, 3, 0},
        {"-7", MarkerKind::None, 0, 0, 0},     {"99999999999", MarkerKind::Circle, 0, 0, 0x7FFF},
    };
    for (const Case& c : cases) {
        const MarkerShape s = DecodeMarker(EncodeMarkerText(c.text));
        EXPECT_EQ(s.kind, c.kind) << c.text;
        EXPECT_EQ(s.a, c.a) << c.text;
        EXPECT_EQ(s.b, c.b) << c.text;
        EXPECT_EQ(s.radius, c.radius) << c.text;
    }
    EXPECT_EQ(EncodeMarkerText("10/20"), EncodeMarkerText("10x20"));
    EXPECT_LT(EncodeMarkerText("5x0"), 0);
    EXPECT_EQ(static_cast<std::uint32_t>(EncodeMarkerText("5x0")), 0x80000005u);
}

TEST(MarkerStatistics, ShapesAndPercentiles)
{
    const ViewerImage image = MakeImage(10, 10, [](int x, int y) { return y * 10 + x; });
    // 5x0: 11 x 1 pixels, clipped at the image edge to columns 0..9 of row 4.
    MarkerStatistics s = ComputeMarkerStatistics(image, DecodeMarker(EncodeMarkerText("5x0")), 4, 4);
    EXPECT_EQ(s.count, 10);
    EXPECT_EQ(s.min, 40);
    EXPECT_EQ(s.max, 49);
    EXPECT_DOUBLE_EQ(s.mean, 44.5);
    EXPECT_EQ(s.value, 44);
    // Circle of radius 2: i^2 + j^2 < 4 (strict): 9 pixels.
    s = ComputeMarkerStatistics(image, DecodeMarker(EncodeMarkerText("4")), 5, 5);
    EXPECT_EQ(DecodeMarker(EncodeMarkerText("4")).radius, 4);
    MarkerShape circle;
    circle.kind = MarkerKind::Circle;
    circle.radius = 2;
    s = ComputeMarkerStatistics(image, circle, 5, 5);
    EXPECT_EQ(s.count, 9);
    EXPECT_DOUBLE_EQ(s.mean, 55.0);
    // Surround: 7 x 11 window clipped to the image.
    s = ComputeMarkerStatistics(image, DecodeMarker(3), 0, 0);
    EXPECT_EQ(s.count, 4 * 6);
    // Row profile from First to Last, Last below First taken as First.
    s = ComputeMarkerStatistics(image, DecodeMarker(1), 3, 2, 5, 2);
    EXPECT_EQ(s.count, 1);
    EXPECT_EQ(s.min, 25);
    s = ComputeMarkerStatistics(image, DecodeMarker(2), 3, 2, -4, 1000);
    EXPECT_EQ(s.count, 10);
    EXPECT_NEAR(s.deviation, 28.7228, 1e-3);
    EXPECT_DOUBLE_EQ(Percentile(image, 0), 0.0);
    EXPECT_DOUBLE_EQ(Percentile(image, 99), 100.0);
    EXPECT_DOUBLE_EQ(Percentile(image, 49.4), 50.0);
    const auto lines = StatisticsLines(image, DecodeMarker(EncodeMarkerText("1x1")), s);
    EXPECT_EQ(lines[2], "min 3  4.00%");
    EXPECT_EQ(MarkerTitle(image, DecodeMarker(EncodeMarkerText("5x0")), 4, 4, 10), "11x1 (10 pix)");
    EXPECT_EQ(MarkerTitle(image, DecodeMarker(1), 4, 4, 10), "Rows's chart ofs=-1 pix");
}

TEST(MarkerStatistics, HeaderNamesTheRowAndColumnAsTheSurroundTableDoes)
{
    // Marker X is the column, Marker Y the row: at X 310, Y 430 the surround
    // table shows columns 307..313 across the top and rows 425..435 down the side.
    EXPECT_EQ(MarkerHeader(310, 430), "row:430  col:310");
    EXPECT_EQ(MarkerHeader(0, 7), "row:7  col:0");
}

TEST(BmpExport, HeaderPaletteAndRows)
{
    const ViewerImage image = MakeImage(3, 2, [](int x, int y) { return y == 0 ? x * 2000 : 4095; });
    const auto bytes = EncodeBmp(image, 0, 4095);
    ASSERT_EQ(bytes.size(), 1078u + 8u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        std::memcpy(&v, &bytes[at], 4);
        return v;
    };
    EXPECT_EQ(u32(2), 1086u);
    EXPECT_EQ(u32(10), 1078u);
    EXPECT_EQ(u32(14), 40u);
    EXPECT_EQ(u32(18), 3u);
    EXPECT_EQ(u32(22), 2u);
    EXPECT_EQ(bytes[26], 1);
    EXPECT_EQ(bytes[28], 8);
    EXPECT_EQ(u32(30), 0u);
    EXPECT_EQ(u32(34), 8u);
    EXPECT_EQ(u32(54 + 4 * 200), 0x00C8C8C8u);
    // Bottom-up: the first stored row is the image's last row (all 4095).
    EXPECT_EQ(bytes[1078], GreyLevel(4095, 0, 4095, 255));
    EXPECT_EQ(bytes[1078 + 4 + 1], GreyLevel(2000, 0, 4095, 255));
    EXPECT_EQ(DefaultBmpName("/a/b.c/frame.raw"), "/a/b.c/frame.bmp");
    EXPECT_EQ(DefaultBmpName("/a/b.c/frame"), "/a/b.c/frame.bmp");
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    EXPECT_TRUE(WriteBmpFile(dir.File("x.bmp"), image, 0, 4095));
    EXPECT_EQ(test_support::ReadText(dir.File("x.bmp")).size(), 1086u);
    EXPECT_FALSE(WriteBmpFile(dir.File("no/such/x.bmp"), image, 0, 4095));
}

TEST(MaskEntry, Parsing)
{
    struct Case {
        const char* text;
        int w, h;
        const char* mask;
        bool valid;
    };
    const Case cases[] = {
        {"1000x500 / /data/cal/*.raw", 1000, 500, "/data/cal/*.raw", true},
        {"64x32 /\t  *.slice", 64, 32, "*.slice", true},
        {"64x32 / frames", 64, 32, "*.raw", true},
        {"0x32 / *.raw", 0, 32, "*.raw", false},
        {"*.raw", 0, 0, "*.raw", false},
    };
    for (const Case& c : cases) {
        const MaskEntry e = ParseMaskEntry(c.text);
        EXPECT_EQ(e.width, c.w) << c.text;
        EXPECT_EQ(e.height, c.h) << c.text;
        EXPECT_EQ(e.mask, c.mask) << c.text;
        EXPECT_EQ(e.valid, c.valid) << c.text;
    }
    EXPECT_EQ(FormatMaskEntry(10, 20, "/x/*.raw"), "10x20 / /x/*.raw");
    EXPECT_EQ(MaskDirectory("/x/y/*.raw"), "/x/y/");
    EXPECT_EQ(MaskWildcard("/x/y/*.raw"), "*.raw");
    EXPECT_EQ(MaskDirectory("*.raw"), "");
}

TEST(MaskEntry, HistoryKeepsTwentyOneAndMovesAnExistingMaskToTheTop)
{
    std::vector<std::string> history;
    for (int i = 0; i < 21; ++i)
        history.push_back(FormatMaskEntry(i + 1, 1, "/d" + std::to_string(i) + "/*.raw"));
    UpdateHistory(&history, 5, 5, "/new/*.raw");
    ASSERT_EQ(history.size(), 21u);
    EXPECT_EQ(history.front(), "5x5 / /new/*.raw");
    EXPECT_EQ(history.back(), FormatMaskEntry(20, 1, "/d19/*.raw"));
    UpdateHistory(&history, 7, 7, "/D3/*.RAW");
    ASSERT_EQ(history.size(), 21u);
    EXPECT_EQ(history.front(), "7x7 / /D3/*.RAW");
    for (std::size_t i = 1; i < history.size(); ++i)
        EXPECT_EQ(history[i].find("/d3/"), std::string::npos);
}

TEST(FrameLoad, SmallFilesAndAutocomplete)
{
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    WriteSamples(dir.File("a.raw"), 16);
    test_support::WriteText(dir.File("b.raw"), std::string(30, '\0'));
    WriteSamples(dir.File("c.raw"), 1000000);
    WriteSamples(dir.File("d.raw"), 65536);
    // One byte beyond whole samples: never a frame, whatever the dimensions.
    test_support::WriteText(dir.File("e.raw"), test_support::ReadText(dir.File("a.raw")) + '\x01');
    test_support::WriteText(dir.File("f.raw"), test_support::ReadText(dir.File("d.raw")) + '\x01');
    ViewerImage image;
    int err = 0;
    struct Case {
        const char* name;
        int w, h;
        bool autocomplete;
        LoadResult result;
        int ew, eh;
    };
    const Case cases[] = {
        {"a.raw", 4, 4, true, LoadResult::Loaded, 4, 4},
        {"a.raw", 4, 4, false, LoadResult::Loaded, 4, 4},
        {"b.raw", 3, 5, true, LoadResult::TooSmall, 3, 5},
        {"c.raw", 1000, 500, true, LoadResult::Loaded, 1000, 1000},
        {"d.raw", 10, 10, true, LoadResult::Loaded, 256, 256},
        {"c.raw", 1000, 500, false, LoadResult::SizeMismatch, 1000, 500},
        {"d.raw", 10, 10, false, LoadResult::SizeMismatch, 10, 10},
        {"e.raw", 4, 4, true, LoadResult::SizeMismatch, 4, 4},
        {"e.raw", 4, 4, false, LoadResult::SizeMismatch, 4, 4},
        {"f.raw", 256, 256, true, LoadResult::SizeMismatch, 256, 256},
        {"f.raw", 10, 10, true, LoadResult::SizeMismatch, 10, 10},
        {"missing.raw", 4, 4, true, LoadResult::CannotOpen, 4, 4},
    };
    for (const Case& c : cases) {
        int w = c.w, h = c.h;
        EXPECT_EQ(LoadFrame(dir.File(c.name), c.autocomplete, &w, &h, &image, &err), c.result) << c.name;
        EXPECT_EQ(w, c.ew) << c.name;
        EXPECT_EQ(h, c.eh) << c.name;
        EXPECT_EQ(image.Empty(), c.result != LoadResult::Loaded) << c.name;
    }
    int w = 4, h = 4;
    LoadFrame(dir.File("missing.raw"), true, &w, &h, &image, &err);
    EXPECT_EQ(err, ENOENT);
    // 1000 x 700 pixels: neither side divides, not a square.
    w = 300;
    h = 300;
    EXPECT_FALSE(AutocompleteDimensions(1000 * 7, &w, &h));
}

TEST(ViewerSettingsFile, PathBesideTheHostProgram)
{
    EXPECT_EQ(SettingsPathFor("/opt/Kx/bin/Tessari", "/opt/Kx/lib/libgrayscope.so"), "/opt/Kx/bin/tessari.ini");
    EXPECT_EQ(SettingsPathFor("/opt/Kx/bin/Viewer.Run", "/l/libgrayscope.so"), "/opt/Kx/bin/viewer.ini");
    EXPECT_EQ(SettingsPathFor("/usr/bin/rundll32", "/l/libgrayscope.so"), "/l/libgrayscope.ini");
}

TEST(ViewerSettingsFile, DefaultsRoundTripAndInvalidHistory)
{
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string ini = dir.File("host.ini");
    ViewSettings s = ReadViewSettings(ini);
    EXPECT_EQ(s.history, std::vector<std::string>{"512x512 / *.raw"});
    EXPECT_EQ(s.pixelWhite, 4095);
    EXPECT_EQ(s.histScale, 500);
    EXPECT_EQ(s.wndLeft, -1);
    EXPECT_TRUE(ReadLibraryFlags(ini).autocomplete);
    s.history = {"10x20 / /a/*.raw", "30x40 / *.raw"};
    s.zoom = 7;
    s.markerMode = " 10x10";
    s.truncOn = true;
    WriteViewSettings(ini, s);
    WriteLibraryFlags(ini, LibraryFlags{false, true});
    test_support::WriteText(ini, test_support::ReadText(ini) + "\n");
    const ViewSettings back = ReadViewSettings(ini);
    EXPECT_EQ(back.history, s.history);
    EXPECT_EQ(back.zoom, 7);
    EXPECT_EQ(back.markerMode, " 10x10");
    EXPECT_TRUE(back.truncOn);
    EXPECT_FALSE(ReadLibraryFlags(ini).autocomplete);
    test_support::WriteText(dir.File("b.ini"), "[GSC_Mask_History]\nN=3\n0=junk\n1=0x5 / *.raw\n2=8x9 / *.raw\n");
    EXPECT_EQ(ReadViewSettings(dir.File("b.ini")).history, std::vector<std::string>{"8x9 / *.raw"});
}

TEST(ViewerSettingsFile, StartRules)
{
    ViewSettings s;
    s.lastWidth = 640;
    s.lastHeight = 480;
    s.history = {"100x200 / /h/*.raw", "1x1 / *.raw"};
    struct Case {
        int w, h;
        const char* mask;
        int ew, eh;
        const char* emask;
    };
    const Case cases[] = {
        {0, 0, "", 100, 200, "/h/*.raw"},       {0, 0, "/m/*.raw", 640, 480, "/m/*.raw"},
        {30, 40, "/m/*.raw", 30, 40, "/m/*.raw"}, {30, 0, "/m/*.raw", 100, 200, "/h/*.raw"},
        {30, 40, "", 100, 200, "/h/*.raw"},
    };
    for (const Case& c : cases) {
        const StartView v = ResolveStart(c.w, c.h, c.mask, s);
        EXPECT_EQ(v.width, c.ew);
        EXPECT_EQ(v.height, c.eh);
        EXPECT_EQ(v.mask, c.emask);
    }
    s.history = {"512x512 / *.raw"};
    const StartView empty = ResolveStart(0, 0, "", s);
    EXPECT_EQ(empty.width, 512);
    EXPECT_EQ(empty.mask, "*.raw");
    EXPECT_TRUE(PlausibleWindowRect(0, 0, 600, 600, 1920, 1080));
    EXPECT_FALSE(PlausibleWindowRect(-1, 0, 600, 600, 1920, 1080));
    EXPECT_FALSE(PlausibleWindowRect(0, 0, 100, 600, 1920, 1080));
    EXPECT_FALSE(PlausibleWindowRect(0, 0, 2100, 600, 1920, 1080));
}
