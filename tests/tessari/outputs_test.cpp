#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "output/bmp_image.h"
#include "output/dicom_info_file.h"
#include "output/output_names.h"
#include "output/tooth_codes.h"
#include "platform/profile_file.h"
#include "support/temp_dir.h"

namespace tessari {
namespace {

std::uint32_t Get32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

TEST(OutputNames, FolderAndSuffix)
{
    EXPECT_EQ(OutputFolder("/home/u/Opticor/"), "/home/u/Opticor/BACKUP/");
    EXPECT_EQ(OutputPath("/h/BACKUP/", "image.bmp"), "/h/BACKUP/image.bmp");
    EXPECT_EQ(OutputPath("/h/BACKUP/", "/x/a.raw"), "/x/a.raw");
    const std::pair<const char*, const char*> raws[] = {
        {"$raw", "$raw910x688.raw"},
        {"/x/a", "/x/a910x688.raw"},
        {"/x.d/a", "/x.d/a910x688.raw"},
        {"/x/a.bin", "/x/a.bin"},
        {"frame.raw", "frame.raw"},
    };
    for (const auto& [name, expected] : raws) EXPECT_EQ(RawFileName(name, 910, 688), expected) << name;
    EXPECT_EQ(HomeFilePath("/h/", "DG_IF.ini"), "/h/DG_IF.ini");
    EXPECT_EQ(HomeFilePath("/h/", "/gw/DG_IF.ini"), "/gw/DG_IF.ini");
}

TEST(BmpImage, GreyMappingSpansTheGamut)
{
    const std::int16_t image[] = {-100, 0, 100, 300, 700};
    const Gamut g = FindGamut(image, 5, 1);
    EXPECT_EQ(g.lowest, -100);
    EXPECT_EQ(g.highest, 700);
    const GreyImage grey = MapToGrey(image, 5, 1, g);
    // 255 * (v + 100) / 800 + 0.49999, truncated.
    const std::vector<std::uint8_t> expected = {0, 32, 64, 127, 255};
    EXPECT_EQ(grey.pixels, expected);
    EXPECT_EQ(GamutLogLine(g), "(org gamut -100..700, BMP gamut -100..700");
}

TEST(BmpImage, ConstantImageIs128)
{
    const std::vector<std::int16_t> image(12, 512);
    const Gamut g = FindGamut(image.data(), 4, 3);
    EXPECT_EQ(g.lowest, g.highest);
    const GreyImage grey = MapToGrey(image.data(), 4, 3, g);
    for (std::uint8_t v : grey.pixels) EXPECT_EQ(v, 128);
}

GreyImage Ramp(int width, int height)
{
    GreyImage img{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) img.pixels.push_back(static_cast<std::uint8_t>((x + 3 * y) % 100));
    return img;
}

TEST(BmpImage, CropCutsAndWidens)
{
    const GreyImage img = Ramp(6, 5);
    bool skipped = true;
    const GreyImage cut = Crop(img, {1, 2, 2, 0}, &skipped);
    EXPECT_FALSE(skipped);
    ASSERT_EQ(cut.width, 3);
    ASSERT_EQ(cut.height, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(cut.pixels[y * 3 + x], img.pixels[(y + 2) * 6 + x + 1]);

    const GreyImage wide = Crop(img, {-2, -10, 0, 0}, &skipped);
    ASSERT_EQ(wide.width, 8);
    ASSERT_EQ(wide.height, 15);
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool strip = y < 10 || x < 2;
            EXPECT_EQ(wide.pixels[y * 8 + x], strip ? 127 : img.pixels[(y - 10) * 6 + x - 2]) << x << "," << y;
        }

    const GreyImage none = Crop(img, {3, 0, 3, 0}, &skipped);
    EXPECT_TRUE(skipped);
    EXPECT_EQ(none.width, 6);
    EXPECT_EQ(CropLogLine(6, 5, {8, 0, 0, 0}), "Crop 6x5 l:8,t:0,r:0,b:0");
}

TEST(BmpImage, FileLayout)
{
    // 688 x 910 cropped by 8 on the left: 680 wide, rows of exactly 680 bytes.
    GreyImage img{688, 910, std::vector<std::uint8_t>(688 * 910, 9)};
    img.pixels[0] = 200;  // top-left
    bool skipped = false;
    const GreyImage cropped = Crop(img, {8, 0, 0, 0}, &skipped);
    const std::vector<std::uint8_t> bmp = EncodeBmp(cropped);
    ASSERT_EQ(bmp.size(), 1078u + 680u * 910u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(Get32(bmp, 2), bmp.size());
    EXPECT_EQ(Get32(bmp, 10), 1078u);
    EXPECT_EQ(Get32(bmp, 14), 40u);
    EXPECT_EQ(Get32(bmp, 18), 680u);
    EXPECT_EQ(Get32(bmp, 22), 910u);
    EXPECT_EQ(bmp[26], 1);
    EXPECT_EQ(bmp[28], 8);
    EXPECT_EQ(Get32(bmp, 30), 0u);
    EXPECT_EQ(Get32(bmp, 34), 680u * 910u);
    EXPECT_EQ(Get32(bmp, 54 + 4 * 77), 0x004D4D4Du);

    // Odd widths pad each row to four bytes; rows are stored bottom-up.
    const GreyImage small{3, 2, {1, 2, 3, 4, 5, 6}};
    const std::vector<std::uint8_t> b = EncodeBmp(small);
    ASSERT_EQ(b.size(), 1078u + 8u);
    const std::vector<std::uint8_t> rows(b.begin() + 1078, b.end());
    EXPECT_EQ(rows, (std::vector<std::uint8_t>{4, 5, 6, 0, 1, 2, 3, 0}));
}

TEST(DicomInfoFile, FourteenKeysInTheGatewaySection)
{
    test_support::TempDir dir;
    const std::string path = dir.File("DG_IF.ini");
    test_support::WriteText(path, "[Other]\nKeep=1\n");
    ASSERT_TRUE(WriteDicomInfoFile(path, 688, 910, "0.0333333\\0.0333333", "Halvard.Co.LTD Radiography Imager"));
    platform::ProfileFile file(path);
    file.SetSection("DICOM_GATEWAY");
    const std::pair<const char*, const char*> expected[] = {
        {"0008_0060", "IO"},           {"0018_0015", "TOOTH"},
        {"0018_5101", "AP"},           {"0028_0010", "910"},
        {"0028_0011", "688"},          {"0028_0030", "0.0333333\\0.0333333"},
        {"0028_0100", "8"},            {"0028_0101", "8"},
        {"0028_1050", "127"},          {"0028_1051", "256"},
        {"0002_0013", "Halvard.Co.LTD Radiography Imager"},
        {"0008_1030", "Intra-oral X-Ray Image"},
        {"0018_1164", "0.0333333\\0.0333333"},
        {"0020_0013", "1"},
    };
    for (const auto& [key, value] : expected) EXPECT_EQ(file.ReadString(key, "?"), value) << key;
    EXPECT_EQ(DicomInfoEntries(1, 1, "", "").size(), 14u);
    file.SetSection("Other");
    EXPECT_EQ(file.ReadString("Keep", ""), "1");
}

TEST(ToothCodes, AllFiftyTwoTeethOnce)
{
    const auto teeth = ToothCodes();
    ASSERT_EQ(teeth.size(), 52u);
    std::set<int> numbers;
    std::set<std::string> codes;
    for (const ToothCode& t : teeth) {
        numbers.insert(t.fdi);
        codes.insert(t.sctCode);
        EXPECT_LE(std::strlen(t.meaning), 64u) << t.fdi;
        const int q = t.fdi / 10, n = t.fdi % 10;
        EXPECT_TRUE((q >= 1 && q <= 4 && n >= 1 && n <= 8) || (q >= 5 && q <= 8 && n >= 1 && n <= 5)) << t.fdi;
        EXPECT_EQ(std::string(t.meaning).rfind(q <= 4 ? "Permanent" : "Deciduous", 0), 0u) << t.fdi;
    }
    EXPECT_EQ(numbers.size(), 52u);
    EXPECT_EQ(codes.size(), 52u);
    EXPECT_STREQ(FindToothCode(11)->sctCode, "422653006");
    EXPECT_STREQ(FindToothCode(18)->sctCode, "68085002");
    EXPECT_STREQ(FindToothCode(41)->sctCode, "424575004");
    EXPECT_EQ(FindToothCode(19), nullptr);
    EXPECT_EQ(FindToothCode(0), nullptr);
    EXPECT_STREQ(ToothLaterality(16), "R");
    EXPECT_STREQ(ToothLaterality(36), "L");
    EXPECT_STREQ(ToothLaterality(85), "R");
    EXPECT_STREQ(ToothLaterality(0), "B");
}

}  // namespace
}  // namespace tessari
