// The run's file writer: the bitmap of a constant image, the crop log line,
// the raw file names and the failure boxes.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "app/run_outputs.h"
#include "support/temp_dir.h"

namespace tessari {
namespace {

class RunOutputsTest : public ::testing::Test {
protected:
    RunOutputs Make(const CaptureSettings& settings, const std::string& folder)
    {
        RunContext context;
        context.log = [this](const std::string& line) { log.push_back(line); };
        context.errorBox = [this](const std::string& text) { boxes.push_back(text); };
        return RunOutputs(folder, settings, 16, true, "Tessari test", context);
    }
    test_support::TempDir dir;
    std::vector<std::string> log;
    std::vector<std::string> boxes;
};

TEST_F(RunOutputsTest, ConstantImageIsGrey128AndLogsEqualBounds)
{
    CaptureSettings settings;
    settings.dicomFile = "";
    RunOutputs outputs = Make(settings, dir.Path() + "/");
    const std::vector<std::int16_t> image(688 * 910, 777);
    outputs.WriteImage(image.data(), 688, 910, {});
    ASSERT_TRUE(outputs.BitmapWritten());
    const std::string bmp = test_support::ReadText(dir.File("image.bmp"));
    ASSERT_EQ(bmp.size(), 1078u + 688u * 910u);
    for (std::size_t i = 1078; i < bmp.size(); ++i) ASSERT_EQ(static_cast<unsigned char>(bmp[i]), 128) << i;
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "(org gamut 777..777, BMP gamut 777..777");
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.File("image.dcm")));
}

TEST_F(RunOutputsTest, CropIsLoggedAndRawNamesAreSuffixed)
{
    CaptureSettings settings;
    settings.crop.left = 8;
    RunOutputs outputs = Make(settings, dir.Path() + "/");
    const std::vector<std::int16_t> image(688 * 910, 5);
    outputs.WriteRaw("$raw", image.data(), 688, 910);
    EXPECT_EQ(std::filesystem::file_size(dir.File("$raw688x910.raw")), 2u * 688 * 910);
    outputs.WriteImage(image.data(), 688, 910, {});
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[1], "Crop 688x910 l:8,t:0,r:0,b:0");
    EXPECT_TRUE(std::filesystem::exists(dir.File("image.dcm")));
}

TEST_F(RunOutputsTest, AResultFileThatCannotBeWrittenFailsTheRunADiagnosticOneShowsABox)
{
    CaptureSettings settings;
    const std::string folder = dir.Path() + "/missing/";
    RunOutputs outputs = Make(settings, folder);
    const std::vector<std::int16_t> image(16, 5);
    outputs.WriteRaw("$enh", image.data(), 4, 4);
    EXPECT_TRUE(outputs.Failure().empty()) << "a DumpTemps file is a diagnostic";
    outputs.WriteImage(image.data(), 4, 4, {});
    EXPECT_FALSE(outputs.BitmapWritten());
    EXPECT_EQ(boxes, std::vector<std::string>{"can't create " + folder + "$enh4x4.raw"});
    EXPECT_EQ(outputs.Failure(), "can't create " + folder + "image.bmp") << "the first failed result file";

    RunOutputs rawOnly = Make(settings, folder);
    rawOnly.WriteRaw("scan.raw", image.data(), 4, 4);
    EXPECT_EQ(rawOnly.Failure(), "can't create " + folder + "scan.raw");
}

}  // namespace
}  // namespace tessari
