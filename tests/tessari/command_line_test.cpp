#include <gtest/gtest.h>

#include "command/command_line.h"
#include "command/tooth_mode.h"

namespace tessari {
namespace {

TEST(CommandLine, SwitchesAreFoundAnywhereWithoutRegardToCase)
{
    struct Case {
        const char* line;
        bool dark;
        const char* raw;
        int vreset, mode, tooth;
    };
    const Case cases[] = {
        {"", false, "", 0, 0, -1},
        {"-t 16 -p 2", false, "", 0, 2, 16},
        {"-t16 -p2", false, "", 0, 2, 16},
        {"-D -V250", true, "", 250, 0, -1},
        {"x-dy -P-1", false, "", 0, -1, -1},  // a switch starts an argument
        {"-F/data/patient-doe.raw", false, "/data/patient-doe.raw", 0, 0, -1},
        {"-F/data/scan-t7.raw -P2", false, "/data/scan-t7.raw", 0, 2, -1},
        {"-p1 -t14 -F/x/-d-v9-p5", false, "/x/-d-v9-p5", 0, 1, 14},
        {"\t-d", true, "", 0, 0, -1},
        {"-F/tmp/Out/Frame -P3", false, "/tmp/Out/Frame", 0, 3, -1},
        {"-f/data/a.raw", false, "/data/a.raw", 0, 0, -1},
        {"-T0 -P+4", false, "", 0, 4, 0},
        {"-Pabc", false, "", 0, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const CommandLine cl = ParseCommandLine(c.line);
        EXPECT_EQ(cl.darkFrame, c.dark);
        EXPECT_EQ(cl.rawFileName, c.raw);
        EXPECT_EQ(cl.vResetOverride, c.vreset);
        EXPECT_EQ(cl.processingMode, c.mode);
        EXPECT_EQ(cl.toothIndex, c.tooth);
    }
}

TEST(CommandLine, ASwitchWithoutItsValueIsRefused)
{
    const struct {
        const char* line;
        const char* error;
    } cases[] = {
        {"-F", kRawNameMissing},
        {"-F -T11", kRawNameMissing},
        {"-T", kToothMissing},
        {"-Tx -P2", kToothMissing},
        {"-T -P2", kToothMissing},
        {"-T 16", ""},  // the number may follow a blank
        {"-F/x/a -T11", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseCommandLine(c.line).error, c.error) << c.line;
}

TEST(CommandLine, JoinAndUpperCase)
{
    char a0[] = "tessari", a1[] = "-f/x/a", a2[] = "-t11";
    char* argv[] = {a0, a1, a2};
    EXPECT_EQ(JoinArguments(3, argv), "-f/x/a -t11");
    EXPECT_EQ(UpperCased("-f/x/a -t11"), "-F/X/A -T11");
}

TEST(ToothMode, GroupsByToothIndex)
{
    const std::pair<int, const char*> cases[] = {
        {11, "IPFrontUp"},  {13, "IPFrontUp"},  {21, "IPFrontUp"},   {23, "IPFrontUp"},   {31, "IPFrontLow"},
        {43, "IPFrontLow"}, {14, "IPMolarUp"},  {18, "IPMolarUp"},   {28, "IPMolarUp"},   {34, "IPMolarLow"},
        {48, "IPMolarLow"}, {0, "IPReIndex"},   {19, ""},            {10, ""},            {51, ""},
        {9, ""},            {-1, ""},           {110, ""},
    };
    for (const auto& [tooth, key] : cases) EXPECT_EQ(ToothGroupKey(tooth), key) << tooth;
}

TEST(ToothMode, EntryOfTheList)
{
    EXPECT_EQ(ListEntry("11 12 13", 2), "12");
    EXPECT_EQ(ListEntry("  11\t12   13 ", 3), "13");
    EXPECT_EQ(ListEntry("11 12 13", 0), "11");
    EXPECT_EQ(ListEntry("11 12 13", 4), "");
    EXPECT_EQ(ListEntry("", 1), "");
}

TEST(ToothMode, ChoiceAndItsTexts)
{
    const ModeChoice molar = ChooseMode(16, 2, "11 12 13");
    ASSERT_TRUE(molar.ok);
    EXPECT_EQ(molar.mode, 12);
    EXPECT_EQ(molar.message, "use [IP12] (entry 2 in IPMolarUp=11 12 13, tooth_index 16)");

    const ModeChoice wrong = ChooseMode(19, 1, "1");
    EXPECT_FALSE(wrong.ok);
    EXPECT_EQ(wrong.message, "Wrong tooth index 19");

    const ModeChoice missing = ChooseMode(11, 3, "5 6");
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.message, "Can't find entry#3 in IPFrontUp=5 6");

    const ModeChoice negative = ChooseMode(0, 1, "-4 7");
    EXPECT_FALSE(negative.ok);
    EXPECT_EQ(negative.message, "Can't find entry#1 in IPReIndex=-4 7");

    const ModeChoice firstByDefault = ChooseMode(0, -3, "7 8");
    ASSERT_TRUE(firstByDefault.ok);
    EXPECT_EQ(firstByDefault.mode, 7);
}

}  // namespace
}  // namespace tessari
