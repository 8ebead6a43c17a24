// Message table: start-up listing, overrides, refusal of unsafe overrides.
#include <gtest/gtest.h>

#include <vector>

#include "frame/message_table.h"
#include "support/temp_dir.h"

namespace kordex {
namespace {

using test_support::ReadText;
using test_support::TempDir;
using test_support::WriteText;

TEST(MessageTableTest, StartListsEveryBuiltInTextInTheFile)
{
    TempDir dir;
    WriteText(dir.File("kordex.ini"), "[User Interface]\nmsg22=Bitte ausl\xC3\xB6sen\n");
    MessageTable table;
    table.Start(platform::ProfileFile(dir.File("kordex.ini")), nullptr);
    table.Join();
    const std::string text = ReadText(dir.File("kordex.ini"));
    EXPECT_NE(text.find("msg00=Acquiring dark frame\n"), std::string::npos);
    EXPECT_NE(text.find("msg350=Abort IP\n"), std::string::npos);
    EXPECT_NE(text.find("msg22=Bitte ausl\xC3\xB6sen\n"), std::string::npos) << "existing keys stay";
    EXPECT_EQ(text.find("Press the X-ray"), std::string::npos);
}

TEST(MessageTableTest, TextComesFromTheOverrideOrTheTable)
{
    TempDir dir;
    WriteText(dir.File("kordex.ini"),
              "[User Interface]\nmsg22=Bitte ausl\xC3\xB6sen\nmsg332=Kann %s nicht laden\n");
    MessageTable table;
    table.Start(platform::ProfileFile(dir.File("kordex.ini")), nullptr);
    EXPECT_EQ(table.Text(22), "Bitte ausl\xC3\xB6sen");
    EXPECT_EQ(table.Text(332), "Kann %s nicht laden");
    EXPECT_EQ(table.Text(150), "Abort acquisition");
    EXPECT_EQ(table.Text(26), "Internal Err code 26");
    EXPECT_EQ(table.Text(-1), "Internal Err code -1");
}

TEST(MessageTableTest, OverrideWithOtherPlaceholdersIsIgnoredWithAWarning)
{
    TempDir dir;
    WriteText(dir.File("kordex.ini"),
              "[User Interface]\n"
              "msg332=Kann %s %s nicht laden\n"  // one argument too many
              "msg107=Code %s\n"                 // wrong kind
              "msg150=Abbruch %n\n"              // a text without placeholders gains one
              "msg104=%999999999s\n"             // a gigabyte per report
              "msg102=PID%4x Schnittstelle #%d\n");
    std::vector<std::string> warnings;
    MessageTable table;
    table.Start(platform::ProfileFile(dir.File("kordex.ini")),
                [&](const std::string& w) { warnings.push_back(w); });
    EXPECT_EQ(table.Text(332), "Aux IP can't load %s");
    EXPECT_EQ(table.Text(107), "Transport stream parsing code #%d");
    EXPECT_EQ(table.Text(150), "Abort acquisition");
    EXPECT_EQ(table.Text(104), "Can't create file %s (device is used)");
    EXPECT_EQ(table.Text(102), "PID%4x Schnittstelle #%d") << "same arguments: accepted";
    ASSERT_EQ(warnings.size(), 4u);
    for (const std::string& w : warnings) EXPECT_EQ(w.rfind("WRN: ", 0), 0u) << w;
    EXPECT_NE(warnings[0].find("msg332"), std::string::npos);
}

TEST(MessageTableTest, BuiltInTableKnowsItsCodes)
{
    EXPECT_STREQ(BuiltInMessage(0), "Acquiring dark frame");
    EXPECT_STREQ(BuiltInMessage(25), "Do you want to cancel?");
    EXPECT_STREQ(BuiltInMessage(333), "Aux IP can't find procedure %s in the DLL");
    EXPECT_EQ(BuiltInMessage(4), nullptr);
}

}  // namespace
}  // namespace kordex
