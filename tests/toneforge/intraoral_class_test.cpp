// ImgProc_IntraOral through libtoneforge.so: parameter reading, the whole
// enhancement on a small synthetic radiograph, and the cut corners.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "toneforge.h"

namespace {

// A small synthetic radiograph: bright air at the top, a dark tooth-like
// ellipse, a bone-like gradient with texture below, some noise.
std::vector<unsigned short> Radiograph(int width, int height)
{
    std::vector<unsigned short> image(static_cast<std::size_t>(width) * height);
    std::uint32_t state = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            const double ex = (x - width / 2.0) / (width / 4.0);
            const double ey = (y - height / 2.0) / (height / 3.0);
            double a = y > height / 4 ? 0.4 + 0.6 * y / height + 0.1 * std::sin(x * 0.3) * std::sin(y * 0.2) : 0.0;
            if (ex * ex + ey * ey < 1.0)
                a += 1.2;
            const double v = 3600.0 * std::exp(-a) + 40.0 + static_cast<double>(state >> 26);
            image[static_cast<std::size_t>(y) * width + x] = static_cast<unsigned short>(v);
        }
    }
    return image;
}

const char* const kSampleSection =
    "[IP501]\n"
    "Caption=sample\n"
    "m_ABCGS_cH=6\nm_ABCGS_cL=6\nm_ALCH=0.01\nm_ALCL=0.01\nm_ALS1=0.06\n"
    "m_AUMKS=5\nm_AUMTH=0.3\nm_AUMWH=2\nm_AUMWL=1\nm_CLCX=3\nm_CLSL=1.3\nm_CLCY=3\n"
    "m_CSDSW=0\nm_ERCH=0.005\nm_ERCL=0.002\nm_ERGA=0.4\nm_FFSF_Msize=5\n"
    "m_FFSF_sigma=0.02\nm_FFSF_skip=1\nm_FGB_sig=3\nm_M_expoHi=2\nm_M_expoLo=2\n"
    "m_m_split=0.5\nm_MFGBsig=21\nm_Test_S1=0.1\nm_FinalGamma=0\nm_DummyY=40\n";

class IntraOralTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.Ok());
        ini_ = dir_.File("kordex.ini");
        test_support::WriteText(ini_, kSampleSection);
    }

    // Runs the sample mode on a width x height radiograph.
    std::vector<unsigned short> Run(int width, int height, int cutCorners, const char* section = "IP501")
    {
        ImgProc_IntraOral enhancer;
        enhancer.SetSize(width, height);
        enhancer.Set_ParamTitle(ini_.c_str(), section);
        const std::vector<unsigned short> input = Radiograph(width, height);
        std::vector<unsigned short> output(input.size(), 0xBEEF);
        enhancer.OnPostProcess(input.data(), output.data(), cutCorners);
        EXPECT_EQ(input, Radiograph(width, height)) << "the input is read only";
        return output;
    }

    test_support::TempDir dir_;
    std::string ini_;
};

const double* Values(const _tagIMG_PARAM_IntraOral& p)
{
    return reinterpret_cast<const double*>(&p);
}

TEST_F(IntraOralTest, ReadsTheTwentySevenKeysInRecordOrder)
{
    ImgProc_IntraOral enhancer;
    enhancer.Set_ParamTitle(ini_.c_str(), "ip501");
    const _tagIMG_PARAM_IntraOral& p = enhancer.Param();
    EXPECT_EQ(p.m_ABCGS_cH, 6.0);
    EXPECT_EQ(p.m_ALS1, 0.06);
    EXPECT_EQ(p.m_CLSL, 1.3);
    EXPECT_EQ(p.m_CLCY, 3.0);
    EXPECT_EQ(p.m_ERGA, 0.4);
    EXPECT_EQ(p.m_MFGBsig, 21.0);
    EXPECT_EQ(p.m_Test_S1, 0.1);
    EXPECT_EQ(p.m_DummyY, 40.0);
}

TEST_F(IntraOralTest, MissingKeysReadAsMinusThousandAndTextAsZero)
{
    test_support::WriteText(ini_, "[IP502]\nCaption=partial\nm_ALCH=abc\nm_DummyY=12.5\n");
    ImgProc_IntraOral enhancer;
    enhancer.Set_ParamTitle(ini_.c_str(), "IP502");
    const double* v = Values(enhancer.Param());
    for (int i = 0; i < 27; ++i) {
        if (i == 2)
            EXPECT_EQ(v[i], 0.0) << "m_ALCH holds no number";
        else if (i == 26)
            EXPECT_EQ(v[i], 12.5);
        else
            EXPECT_EQ(v[i], -1000.0) << "parameter " << i;
    }

    // A later call starts again from scratch: nothing of the first section stays.
    enhancer.Set_ParamTitle(ini_.c_str(), "no such section");
    for (int i = 0; i < 27; ++i)
        EXPECT_EQ(Values(enhancer.Param())[i], -1000.0);
    enhancer.Set_ParamTitle(nullptr, nullptr);
    for (int i = 0; i < 27; ++i)
        EXPECT_EQ(Values(enhancer.Param())[i], -1000.0);
}

TEST_F(IntraOralTest, SectionWithoutKeysGivesADefinedImage)
{
    const std::vector<unsigned short> first = Run(97, 61, 0, "empty");
    const std::vector<unsigned short> again = Run(97, 61, 0, "empty");
    EXPECT_EQ(first, again);
    for (unsigned short v : first)
        ASSERT_LE(v, 4095);
    const std::vector<unsigned short> cut = Run(97, 61, 1, "empty");
    for (unsigned short v : cut)
        ASSERT_LE(v, 4095);
}

TEST_F(IntraOralTest, SampleModeGivesAFullTwelveBitPicture)
{
    const std::vector<unsigned short> out = Run(160, 200, 0);
    const auto [lo, hi] = std::minmax_element(out.begin(), out.end());
    EXPECT_EQ(*lo, 409) << "m_Test_S1 0.1 sets the darkest level";
    EXPECT_GT(*hi, 3500);
    EXPECT_LE(*hi, 3685);
    // Dense tissue is bright: the tooth's centre against the air at the top.
    EXPECT_GT(out[100 * 160 + 80], out[5 * 160 + 80] + 1000);
}

TEST_F(IntraOralTest, WithoutCutCornersNoPixelIsForcedToZero)
{
    const std::vector<unsigned short> out = Run(600, 800, 0);
    EXPECT_EQ(*std::min_element(out.begin(), out.end()), 409);
}

TEST_F(IntraOralTest, CutCornersAreZeroInTheOutput)
{
    const int width = 600;
    const std::vector<unsigned short> out = Run(width, 800, 1);
    EXPECT_EQ(out[799 * width + 0], 0);
    EXPECT_NE(out[39 * width + 0], 0);
    EXPECT_EQ(out[40 * width + 0], 0);
    EXPECT_EQ(out[40 * width + width - 1], 0);
    EXPECT_NE(out[39 * width + width - 1], 0);
    EXPECT_NE(out[89 * width + 50], 0) << "column 50 is cut from row 90 on";
    EXPECT_EQ(out[90 * width + 50], 0);
}

TEST_F(IntraOralTest, RowBandsGiveTheSingleThreadedResultBitForBit)
{
    const int width = 203, height = 157;
    const std::vector<unsigned short> input = Radiograph(width, height);
    std::vector<unsigned short> reference(input.size());
    ImgProc_IntraOral enhancer;
    enhancer.SetSize(width, height);
    enhancer.Set_ParamTitle(ini_.c_str(), "IP501");
    enhancer.OnPostProcess(input.data(), reference.data(), 1);
    for (int threads : {2, 3, 8, 31, 1000}) {
        enhancer.SetThreadCount(threads);
        std::vector<unsigned short> output(input.size());
        enhancer.OnPostProcess(input.data(), output.data(), 1);
        EXPECT_EQ(output, reference) << threads << " threads";
    }
    EXPECT_EQ(enhancer.ThreadCount(), 31);
}

TEST_F(IntraOralTest, NullBuffersAndNoSizeChangeNothing)
{
    ImgProc_IntraOral enhancer;
    enhancer.Set_ParamTitle(ini_.c_str(), "IP501");
    std::vector<unsigned short> input(16, 100);
    std::vector<unsigned short> output(16, 7);
    enhancer.OnPostProcess(input.data(), output.data(), 0);  // size 0 x 0
    EXPECT_EQ(output, std::vector<unsigned short>(16, 7));
    enhancer.SetSize(4, 4);
    enhancer.OnPostProcess(nullptr, output.data(), 0);
    enhancer.OnPostProcess(input.data(), nullptr, 0);
    EXPECT_EQ(output, std::vector<unsigned short>(16, 7));
}

TEST_F(IntraOralTest, CopiesCarryParametersAndSize)
{
    ImgProc_IntraOral enhancer;
    enhancer.SetSize(160, 200);
    enhancer.Set_ParamTitle(ini_.c_str(), "IP501");
    const ImgProc_IntraOral copy(enhancer);
    EXPECT_EQ(copy.Width(), 160);
    EXPECT_EQ(copy.Height(), 200);
    EXPECT_EQ(copy.Param().m_CLSL, 1.3);
    ImgProc_IntraOral assigned;
    assigned = copy;
    const std::vector<unsigned short> input = Radiograph(160, 200);
    std::vector<unsigned short> a(input.size()), b(input.size());
    enhancer.OnPostProcess(input.data(), a.data(), 0);
    assigned.OnPostProcess(input.data(), b.data(), 0);
    EXPECT_EQ(a, b);
}

}  // namespace
