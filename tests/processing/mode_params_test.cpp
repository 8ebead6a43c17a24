// Processing modes in the settings file: reading and writing IpParams, the
// caption and its view kind, and the mode-list operations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/profile_file.h"
#include "processing/ip_params.h"
#include "processing/mode_list.h"
#include "support/temp_dir.h"

namespace {

using kordex::IpParams;
using test_support::ReadText;
using test_support::TempDir;
using test_support::WriteText;

class ModeFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.Ok());
        path_ = dir_.File("kordex.ini");
        profile_.SetPath(path_);
    }
    void Write(const std::string& text) { WriteText(path_, text); }
    IpParams Read(int mode)
    {
        IpParams p;
        kordex::ReadModeParams(profile_, mode, p);
        return p;
    }

    TempDir dir_;
    std::string path_;
    platform::ProfileFile profile_;
};

TEST_F(ModeFileTest, MissingStepLineKeepsItsDefault)
{
    Write("[IP1]\nUSM_NumSteps=5\nUSM0=1 2 3 4 5 0.5 0.6 0.7 0.8\n");
    const IpParams p = Read(1);
    EXPECT_EQ(p.numSteps, 5);
    const kordex::UsmStep& s0 = p.steps[0];
    EXPECT_EQ(s0.r1, 1);
    EXPECT_EQ(s0.w, 5);
    // Floats are listed f8 f9 f6 f7.
    EXPECT_FLOAT_EQ(s0.f8, 0.5f);
    EXPECT_FLOAT_EQ(s0.f9, 0.6f);
    EXPECT_FLOAT_EQ(s0.f6, 0.7f);
    EXPECT_FLOAT_EQ(s0.f7, 0.8f);
    const kordex::UsmStep& s3 = p.steps[3];
    EXPECT_EQ(s3.r1, 10);
    EXPECT_EQ(s3.r2, 60);
    EXPECT_EQ(s3.cr1, 20);
    EXPECT_EQ(s3.cr2, 60);
    EXPECT_EQ(s3.w, 50);
    EXPECT_FLOAT_EQ(s3.f6, 0.1f);
    EXPECT_FLOAT_EQ(s3.f8, 0.2f);
}

TEST_F(ModeFileTest, ShortStepLineKeepsTheFieldsItDoesNotSupply)
{
    Write("[IP2]\nUSM2=7 8 x 9\n");
    const IpParams p = Read(2);
    EXPECT_EQ(p.steps[2].r1, 7);
    EXPECT_EQ(p.steps[2].r2, 8);
    EXPECT_EQ(p.steps[2].cr1, 0);   // default, parsing stopped at "x"
    EXPECT_EQ(p.steps[2].w, 30);
    EXPECT_FLOAT_EQ(p.steps[2].f6, 0.5f);
}

TEST_F(ModeFileTest, StepCountDroppedFromSevenToFiveBlanksTheSurplusLines)
{
    IpParams p;
    p.numSteps = 7;
    p.steps[5].r1 = 3;
    p.steps[6].r1 = 4;
    kordex::WriteModeParams(profile_, 3, p);
    p.numSteps = 5;
    kordex::WriteModeParams(profile_, 3, p);
    const std::string text = ReadText(path_);
    EXPECT_NE(text.find("USM5=\\\n"), std::string::npos) << text;
    EXPECT_NE(text.find("USM6=\\\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("USM7="), std::string::npos) << text;
    const IpParams back = Read(3);
    EXPECT_EQ(back.numSteps, 5);
    profile_.SetSection("IP3");
    EXPECT_EQ(profile_.ReadString("USM5", "absent"), "");
}

TEST_F(ModeFileTest, WriteThenReadGivesTheSameRecordAndKeyOrder)
{
    IpParams p;
    p.c3iAir = 9000;
    p.c3iWatPerc = 42.5f;
    p.finCMin = -5;
    p.finCMax = 4095;
    p.steps[1] = {-6, -40, 0, 0, 70, 1.0f, 1.0f, 0.75f, 1.25f};
    kordex::WriteModeParams(profile_, 4, p);
    const IpParams back = Read(4);
    EXPECT_EQ(back.c3iAir, 9000);
    EXPECT_FLOAT_EQ(back.c3iWatPerc, 42.5f);
    EXPECT_EQ(back.finCMax, 4095);
    EXPECT_EQ(back.steps[1].r2, -40);
    EXPECT_FLOAT_EQ(back.steps[1].f8, 0.75f);
    EXPECT_FLOAT_EQ(back.steps[1].f9, 1.25f);
    const std::string text = ReadText(path_);
    const std::vector<std::string> order = {"DespeckleThreshold=", "Despeckle5x5Threshold=", "C3oMin=", "C3oMax0=",
                                            "C3iAir=", "C3iPerc=", "IInv_Enable=", "IInv_AniSmoooth=", "FinC_Min=",
                                            "SegmentCoeff=", "USM_NumSteps=", "USM0=", "USM4="};
    std::size_t at = 0;
    for (const std::string& key : order) {
        const std::size_t found = text.find(key, at);
        ASSERT_NE(found, std::string::npos) << key;
        at = found;
    }
    EXPECT_NE(text.find("USM1=-6 -40 0 0 70 0.75 1.25 1 1"), std::string::npos) << text;
}

TEST_F(ModeFileTest, BadValuesGiveDefinedRecords)
{
    Write("[IP5]\nUSM_NumSteps=25\nC3iAirPerc=nan\nC3iAir=garbage\nUSM0=1 2 3 4 99999999999 inf 0.5\n"
          "[IP6]\nUSM_NumSteps=-3\n");
    const IpParams p = Read(5);
    EXPECT_EQ(p.numSteps, 20);
    EXPECT_FLOAT_EQ(p.c3iAirPerc, 100.0f);  // not finite: the default stays
    EXPECT_EQ(p.c3iAir, 0);                 // unparsable integers read as 0
    EXPECT_EQ(p.steps[0].w, 2147483647);
    EXPECT_FLOAT_EQ(p.steps[0].f8, 1.0f);
    EXPECT_FLOAT_EQ(p.steps[0].f9, 0.5f);
    EXPECT_EQ(Read(6).numSteps, 0);
}

TEST_F(ModeFileTest, CaptionOrUnnamed)
{
    Write("[IP1]\nCaption=Frontal incisors\n[IP2]\nCaption=\n");
    EXPECT_EQ(kordex::ModeCaption(profile_, 1), "Frontal incisors");
    EXPECT_EQ(kordex::ModeCaption(profile_, 2), "Unnamed IP mode");
    EXPECT_EQ(kordex::ModeCaption(profile_, 9), "Unnamed IP mode");
}

TEST(ViewKind, FromCaptionInTheOrderFrontalMolarFrontMol)
{
    const struct {
        const char* caption;
        int kind;
    } cases[] = {
        {"Frontal incisors", kordex::kViewFrontal}, {"Molars left", kordex::kViewMolar},
        {"Front", kordex::kViewFrontal},            {"Mol", kordex::kViewMolar},
        {"MOLAR FRONT", kordex::kViewMolar},        {"front molar", kordex::kViewMolar},
        {"Premolar frontal", kordex::kViewFrontal}, {"Standard", kordex::kViewUnspecified},
        {"", kordex::kViewUnspecified},
    };
    for (const auto& c : cases) EXPECT_EQ(kordex::ViewKindFromCaption(c.caption), c.kind) << c.caption;
}

class ModeListTest : public ModeFileTest {
protected:
    kordex::ModeList list_;
    std::vector<std::string> questions_;
    std::vector<std::string> errors_;
    bool answer_ = true;
    kordex::ModeQuestion Ask()
    {
        return [this](const std::string& q) {
            questions_.push_back(q);
            return answer_;
        };
    }
    kordex::ModeError Error()
    {
        return [this](const std::string& e) { errors_.push_back(e); };
    }
};

TEST_F(ModeListTest, EmptyFileGetsTheDefaultMode)
{
    Write("");
    kordex::FillModeList(profile_, list_, 1);
    ASSERT_EQ(list_.items.size(), 1u);
    EXPECT_EQ(list_.items[0].caption, "Default standatd mode");
    EXPECT_EQ(list_.items[0].mode, 1);
    EXPECT_EQ(list_.selection, 0);
    EXPECT_EQ(kordex::ModeCaption(profile_, 1), "Default standatd mode");
}

TEST_F(ModeListTest, FillSelectsThePreferredMode)
{
    Write("[IP1]\nCaption=A\n[IP2]\nCaption=B\n[IP3]\nCaption=C\n");
    kordex::FillModeList(profile_, list_, 2);
    ASSERT_EQ(list_.items.size(), 3u);
    EXPECT_EQ(list_.selection, 1);
}

TEST_F(ModeListTest, DeletingModeTwoOfFourMovesTheSectionsDown)
{
    Write("[IP1]\nCaption=A\n[IP2]\nCaption=B\nC3iAir=2\n[IP3]\nCaption=C\nC3iAir=3\n[IP4]\nCaption=D\nC3iAir=4\n");
    kordex::FillModeList(profile_, list_, 1);
    list_.selection = 1;
    ASSERT_TRUE(kordex::DeleteMode(profile_, list_, 1, Ask(), Error()));
    ASSERT_EQ(questions_.size(), 1u);
    EXPECT_EQ(questions_[0], "Do you want to delete IP#2\n'B'?");
    EXPECT_EQ(kordex::ModeCaption(profile_, 2), "C");
    EXPECT_EQ(Read(2).c3iAir, 3);
    EXPECT_EQ(kordex::ModeCaption(profile_, 3), "D");
    EXPECT_EQ(Read(3).c3iAir, 4);
    EXPECT_FALSE(profile_.ReadSectionText("IP4").has_value());
    ASSERT_EQ(list_.items.size(), 3u);
    EXPECT_EQ(list_.items[1].caption, "C");
    EXPECT_EQ(list_.items[2].mode, 3);
    EXPECT_EQ(list_.selection, 1);
}

TEST_F(ModeListTest, CancelAndLastModeLeaveTheFileAlone)
{
    Write("[IP1]\nCaption=A\n[IP2]\nCaption=B\n");
    kordex::FillModeList(profile_, list_, 1);
    answer_ = false;
    EXPECT_FALSE(kordex::DeleteMode(profile_, list_, 0, Ask(), Error()));
    EXPECT_EQ(list_.items.size(), 2u);
    Write("[IP1]\nCaption=A\n");
    kordex::FillModeList(profile_, list_, 1);
    EXPECT_FALSE(kordex::DeleteMode(profile_, list_, 0, Ask(), Error()));
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_EQ(errors_[0], "Can't delete the last IP mode.");
}

TEST_F(ModeListTest, DefineAndRename)
{
    Write("[IP1]\nCaption=A\n");
    kordex::FillModeList(profile_, list_, 1);
    EXPECT_FALSE(kordex::DefineMode(profile_, list_, "   ", Ask()));
    EXPECT_TRUE(questions_.empty());
    ASSERT_TRUE(kordex::DefineMode(profile_, list_, "  Molars  ", Ask()));
    EXPECT_EQ(questions_.back(), "Do you want to define new IP mode\n'Molars' ?");
    EXPECT_EQ(kordex::ModeCaption(profile_, 2), "Molars");
    EXPECT_EQ(list_.selection, 1);
    ASSERT_TRUE(kordex::RenameMode(profile_, list_, 1, "Molar left", Ask()));
    EXPECT_EQ(questions_.back(), "Do you want to rename IP2\n'Molars' to\n'Molar left' ?");
    EXPECT_EQ(kordex::ModeCaption(profile_, 2), "Molar left");
    EXPECT_FALSE(kordex::RenameMode(profile_, list_, 5, "x", Ask()));
}

}  // namespace
