// "image.dcm" validates with dciodvfy (dicom3tools) without errors, reads
// back with dcmdump, and carries exactly the processed image.
#include <gtest/gtest.h>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dctk.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "output/dicom_image.h"
#include "support/temp_dir.h"

namespace tessari {
namespace {

struct ToolRun {
    int exitCode = -1;
    std::string output;
};

ToolRun RunTool(const std::string& command)
{
    ToolRun run;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::vector<std::int16_t> TestImage(int width, int height, int top)
{
    std::vector<std::int16_t> image(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image[y * width + x] = static_cast<std::int16_t>((x * 301 + y * 211) % (top + 1));
    return image;
}

std::string Element(DcmDataset& ds, const DcmTagKey& tag)
{
    OFString value;
    ds.findAndGetOFStringArray(tag, value);
    return value.c_str();
}

class DicomImageTest : public ::testing::Test {
protected:
    test_support::TempDir dir;
};

TEST_F(DicomImageTest, ValidatesAndReadsBackWithTheSamePixels)
{
    struct Case {
        int tooth;
        bool simulated;
        int top;
        const char* laterality;
        std::vector<std::string> notes;
        const char* comments;
    };
    const Case cases[] = {
        {16, true, 4095, "R", {}, "SIMULATED: virtual sensor, not a patient image"},
        {73, false, 20000, "L", {"not offset-corrected: dark.raw missing"}, "not offset-corrected: dark.raw missing"},
        {-1, true, 4095, "B", {"not gain-corrected: no gain points", "no bad-pixel correction: BPM.raw and BPMM.raw missing"},
         "SIMULATED: virtual sensor, not a patient image; not gain-corrected: no gain points; no bad-pixel correction: "
         "BPM.raw and BPMM.raw missing"},
        {21, false, 4095, "L", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tooth);
        const int width = 68, height = 91;
        const std::vector<std::int16_t> image = TestImage(width, height, c.top);
        const std::string path = dir.File("image" + std::to_string(c.tooth) + ".dcm");
        DicomImageInfo info;
        info.toothIndex = c.tooth;
        info.simulated = c.simulated;
        info.notes = c.notes;
        info.softwareVersion = "Tessari 1.0.0.0";
        std::string error;
        ASSERT_TRUE(WriteDicomImage(path, image.data(), width, height, info, &error)) << error;

        const ToolRun verify = RunTool("dciodvfy '" + path + "'");
        if (c.tooth > 0) {
            EXPECT_EQ(verify.exitCode, 0) << verify.output;
            EXPECT_EQ(verify.output.find("Error"), std::string::npos) << verify.output;
        } else {
            // Without a tooth the intra-oral anatomy is incomplete, and only that.
            std::size_t errors = 0;
            for (std::size_t at = verify.output.find("Error"); at != std::string::npos;
                 at = verify.output.find("Error", at + 1)) {
                const std::string line = verify.output.substr(at, verify.output.find('\n', at) - at);
                EXPECT_TRUE(line.find("PrimaryAnatomicStructureSequence") != std::string::npos ||
                            line.find("AnatomicRegionModifierSequence") != std::string::npos)
                    << line;
                ++errors;
            }
            EXPECT_EQ(errors, 2u) << verify.output;
        }
        const ToolRun dump = RunTool("dcmdump '" + path + "'");
        EXPECT_EQ(dump.exitCode, 0) << dump.output;
        EXPECT_NE(dump.output.find("=DigitalIntraOralXRayImageStorageForPresentation"), std::string::npos) << dump.output;

        DcmFileFormat file;
        ASSERT_TRUE(file.loadFile(path.c_str()).good());
        DcmDataset& ds = *file.getDataset();
        EXPECT_EQ(Element(ds, DCM_SOPClassUID), kIntraOralForPresentationClass);
        EXPECT_EQ(Element(ds, DCM_Modality), "IO");
        EXPECT_EQ(Element(ds, DCM_PresentationIntentType), "FOR PRESENTATION");
        EXPECT_EQ(Element(ds, DCM_ImagerPixelSpacing), "0.0333333\\0.0333333");
        EXPECT_EQ(Element(ds, DCM_ImageLaterality), c.laterality);
        EXPECT_EQ(Element(ds, DCM_PatientName), "");
        EXPECT_EQ(Element(ds, DCM_Manufacturer), "Kordex");
        EXPECT_EQ(Element(ds, DCM_SoftwareVersions), "Tessari 1.0.0.0");
        EXPECT_EQ(Element(ds, DCM_ImageComments), c.comments);
        Sint16 sign = 0;
        ds.findAndGetSint16(DCM_PixelIntensityRelationshipSign, sign);
        EXPECT_EQ(sign, -1) << "bone is white: higher values, less X-ray intensity";
        EXPECT_EQ(Element(ds, DCM_SeriesDescription).find("SIMULATED") != std::string::npos, c.simulated);
        Uint16 bitsStored = 0;
        ds.findAndGetUint16(DCM_BitsStored, bitsStored);
        EXPECT_EQ(bitsStored, c.top <= 4095 ? 12 : 16);

        DcmItem* tooth = nullptr;
        const bool hasTooth = ds.findAndGetSequenceItem(DCM_PrimaryAnatomicStructureSequence, tooth, 0).good();
        EXPECT_EQ(hasTooth, c.tooth > 0);
        if (hasTooth) {
            OFString scheme;
            tooth->findAndGetOFString(DCM_CodingSchemeDesignator, scheme);
            EXPECT_EQ(scheme, "SCT");
        }

        const Uint16* pixels = nullptr;
        unsigned long count = 0;
        ASSERT_TRUE(ds.findAndGetUint16Array(DCM_PixelData, pixels, &count).good());
        ASSERT_EQ(count, image.size());
        for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(pixels[i], static_cast<Uint16>(image[i])) << i;
    }
}

TEST_F(DicomImageTest, EveryFileGetsNewUids)
{
    const std::vector<std::int16_t> image = TestImage(8, 8, 100);
    DicomImageInfo info;
    ASSERT_TRUE(WriteDicomImage(dir.File("a.dcm"), image.data(), 8, 8, info, nullptr));
    ASSERT_TRUE(WriteDicomImage(dir.File("b.dcm"), image.data(), 8, 8, info, nullptr));
    DcmFileFormat a, b;
    ASSERT_TRUE(a.loadFile(dir.File("a.dcm").c_str()).good());
    ASSERT_TRUE(b.loadFile(dir.File("b.dcm").c_str()).good());
    for (const DcmTagKey& tag : {DCM_SOPInstanceUID, DCM_SeriesInstanceUID, DCM_StudyInstanceUID})
        EXPECT_NE(Element(*a.getDataset(), tag), Element(*b.getDataset(), tag));
}

TEST_F(DicomImageTest, RefusesWhatItCannotWrite)
{
    const std::vector<std::int16_t> image = TestImage(8, 8, 100);
    std::string error;
    EXPECT_FALSE(WriteDicomImage(dir.File("no/such/dir/x.dcm"), image.data(), 8, 8, {}, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(WriteDicomImage(dir.File("y.dcm"), nullptr, 8, 8, {}, &error));
    EXPECT_TRUE(IsValidPixelSpacing("0.02\\0.02"));
    for (const char* bad : {"", "0.02", "a\\b", "0.02\\0.02\\1", "-1\\1", "0\\1"}) EXPECT_FALSE(IsValidPixelSpacing(bad)) << bad;
}

}  // namespace
}  // namespace tessari
