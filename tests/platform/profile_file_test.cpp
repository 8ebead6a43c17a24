// ProfileFile against files written byte for byte by the tests: lookups that
// ignore case and blanks, writes that change one line and keep all others,
// the value encoding, and whole-section text.
#include "platform/profile_file.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using platform::ProfileFile;
using test_support::ReadText;
using test_support::TempDir;
using test_support::WriteText;

class ProfileFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.Ok());
        path_ = dir_.File("kordex.ini");
        profile_.SetPath(path_);
        profile_.SetSection("Settings");
    }

    TempDir dir_;
    std::string path_;
    ProfileFile profile_;
};

TEST_F(ProfileFileTest, MissingFileYieldsDefaultsAndIsNotCreatedByReads)
{
    EXPECT_EQ(profile_.ReadString("HomeDir", "~/Opticor/"), "~/Opticor/");
    EXPECT_FALSE(profile_.Found());
    EXPECT_EQ(profile_.ReadInt("FrameWidth", 910), 910);
    EXPECT_FALSE(profile_.Found());
    EXPECT_DOUBLE_EQ(profile_.ReadReal("IPProtContSmooth", 2.0), 2.0);
    EXPECT_FALSE(profile_.Found());
    EXPECT_FALSE(profile_.ReadSectionText("Settings").has_value());
    EXPECT_TRUE(profile_.SectionNames().empty());
    struct stat info {};
    EXPECT_NE(stat(path_.c_str(), &info), 0);
}

TEST_F(ProfileFileTest, NamesIgnoreCaseAndSurroundingBlanks)
{
    WriteText(path_, "; settings\n"
                     "  [ SETTINGS ]  \n"
                     "  frameWIDTH =  1024  \n"
                     "PID=2001\n");
    const struct {
        const char* section;
        const char* key;
    } spellings[] = {{"Settings", "FrameWidth"}, {"settings", "FRAMEWIDTH"}, {" SETTINGS ", " framewidth "}};
    for (const auto& spelling : spellings) {
        SCOPED_TRACE(std::string(spelling.section) + "/" + spelling.key);
        profile_.SetSection(spelling.section);
        EXPECT_EQ(profile_.ReadInt(spelling.key, 0), 1024);
        EXPECT_TRUE(profile_.Found());
        EXPECT_EQ(profile_.ReadString(spelling.key, ""), "1024");
    }
}

TEST_F(ProfileFileTest, FirstMatchingSectionAndKeyWinForReadsAndWrites)
{
    WriteText(path_, "[A]\nk=1\nK=2\n[a]\nk=3\n");
    profile_.SetSection("a");
    EXPECT_EQ(profile_.ReadInt("k", 0), 1);
    ASSERT_TRUE(profile_.WriteInt("k", 9));
    EXPECT_EQ(ReadText(path_), "[A]\nk=9\nK=2\n[a]\nk=3\n");
}

TEST_F(ProfileFileTest, ReplacementChangesOnlyTheValueOfItsLine)
{
    // Comments, blank lines, lines without '=', other sections and the line
    // ends must survive byte for byte, with either line end.
    for (const std::string end : {"\n", "\r\n"}) {
        SCOPED_TRACE(end == "\n" ? "LF" : "CRLF");
        const auto file = [&end](const std::string& vreset) {
            return "; written by hand" + end + "# second comment" + end + end + "[Settings]" + end +
                   "FrameWidth = 910" + end + "no equals sign here" + end + "VReset = " + vreset + end +
                   "  ; VReset is in 0.01 V" + end + end + "[DeSpeckle]" + end + "VReset=1" + end;
        };
        WriteText(path_, file("330"));
        ASSERT_TRUE(profile_.WriteInt("vreset", 250));
        EXPECT_EQ(ReadText(path_), file("250"));
        EXPECT_EQ(profile_.ReadInt("VReset", 0), 250);
    }
}

TEST_F(ProfileFileTest, MissingKeyGoesAfterTheLastLineOfItsSection)
{
    const struct {
        const char* name;
        const char* before;
        const char* after;
    } cases[] = {
        {"section followed by another", "[Settings]\na=1\n; note\n\n\n[Other]\nb=2\n",
         "[Settings]\na=1\n; note\nNew=x\n\n\n[Other]\nb=2\n"},
        {"empty section", "[Settings]\n[Other]\nb=2\n", "[Settings]\nNew=x\n[Other]\nb=2\n"},
        {"last section without final line end", "[Other]\nb=2\n\n[Settings]\na=1",
         "[Other]\nb=2\n\n[Settings]\na=1\nNew=x\n"},
        {"crlf file", "[Settings]\r\na=1\r\n\r\n[Other]\r\n", "[Settings]\r\na=1\r\nNew=x\r\n\r\n[Other]\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteText(path_, c.before);
        ASSERT_TRUE(profile_.WriteString("New", "x"));
        EXPECT_EQ(ReadText(path_), c.after);
    }
}

TEST_F(ProfileFileTest, MissingSectionIsAppendedAndMissingFileCreated)
{
    const struct {
        const char* name;
        const char* before;  // nullptr: no file
        const char* after;
    } cases[] = {
        {"no file", nullptr, "[Settings]\nPID=2001\n"},
        {"empty file", "", "[Settings]\nPID=2001\n"},
        {"other section", "[Other]\nb=2\n", "[Other]\nb=2\n\n[Settings]\nPID=2001\n"},
        {"ends without line end", "[Other]\nb=2", "[Other]\nb=2\n\n[Settings]\nPID=2001\n"},
        {"ends in a blank line", "[Other]\nb=2\n\n", "[Other]\nb=2\n\n[Settings]\nPID=2001\n"},
        {"crlf file", "[Other]\r\nb=2\r\n", "[Other]\r\nb=2\r\n\r\n[Settings]\r\nPID=2001\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        unlink(path_.c_str());
        if (c.before != nullptr)
            WriteText(path_, c.before);
        ASSERT_TRUE(profile_.WriteString("PID", "2001"));
        EXPECT_EQ(ReadText(path_), c.after);
    }
}

TEST_F(ProfileFileTest, WriteBackOfAnEmptyDefaultStoresALoneBackslash)
{
    EXPECT_EQ(profile_.ReadStringWriteBack("CaptureDir", ""), "");
    EXPECT_FALSE(profile_.Found());
    EXPECT_EQ(ReadText(path_), "[Settings]\nCaptureDir=\\\n");

    EXPECT_EQ(profile_.ReadStringWriteBack("CaptureDir", "ignored"), "");
    EXPECT_TRUE(profile_.Found());
    EXPECT_EQ(ReadText(path_), "[Settings]\nCaptureDir=\\\n");
}

TEST_F(ProfileFileTest, NullDefaultMeansTheKeyName)
{
    EXPECT_EQ(profile_.ReadString("Viewer", nullptr), "Viewer");
    EXPECT_FALSE(profile_.Found());
    struct stat info {};
    EXPECT_NE(stat(path_.c_str(), &info), 0) << "a plain read must not write";

    EXPECT_EQ(profile_.ReadStringWriteBack("Viewer", nullptr), "Viewer");
    EXPECT_FALSE(profile_.Found());
    EXPECT_EQ(ReadText(path_), "[Settings]\nViewer=Viewer\n");
    EXPECT_EQ(profile_.ReadString("Viewer", "other"), "Viewer");
    EXPECT_TRUE(profile_.Found());
}

TEST_F(ProfileFileTest, OneLeadingBackslashIsRemovedOnRead)
{
    const struct {
        const char* stored;
        const char* read;
    } cases[] = {
        {"\\", ""},
        {"\\  x", "  x"},
        {"\\\\share", "\\share"},
        {"a\\b\\", "a\\b\\"},
        {"   padded   ", "padded"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        WriteText(path_, std::string("[Settings]\nValue=") + c.stored + "\n");
        EXPECT_EQ(profile_.ReadString("Value", "default"), c.read);
        EXPECT_TRUE(profile_.Found());
    }
}

TEST_F(ProfileFileTest, WrittenStringsReadBackUnchanged)
{
    const char* values[] = {"", "  two leading blanks", "\tleading tab", "\\leading backslash", "\\",
                            "C:\\Opticor\\", "~/Opticor/", "a=b;c#d", "[not a section]"};
    for (const char* value : values) {
        SCOPED_TRACE(value);
        ASSERT_TRUE(profile_.WriteString("Value", value));
        EXPECT_EQ(profile_.ReadString("Value", "default"), value);
        EXPECT_TRUE(profile_.Found());
        EXPECT_EQ(profile_.SectionNames(), std::vector<std::string>{"Settings"});
    }
}

TEST_F(ProfileFileTest, ReadStringsAreCutToTheValueCapacity)
{
    const std::string longValue(700, 'v');
    ASSERT_TRUE(profile_.WriteString("Long", longValue));
    EXPECT_EQ(profile_.ReadString("Long", ""), std::string(ProfileFile::kValueCapacity - 1, 'v'));
    EXPECT_EQ(profile_.ReadString("Missing", longValue.c_str()).size(), ProfileFile::kValueCapacity - 1);
}

TEST_F(ProfileFileTest, IntegersConvertLikeStrtolAndClampToInt)
{
    const struct {
        const char* stored;  // nullptr: key missing
        int expected;
    } cases[] = {
        {"12abc", 12},          {"  -7  ", -7},         {"+5", 5},
        {"abc", 0},             {"0x10", 0},            {"99999999999999", INT_MAX},
        {"-99999999999999", INT_MIN}, {"", 42},         {nullptr, 42},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored != nullptr ? c.stored : "(missing)");
        WriteText(path_, c.stored != nullptr ? std::string("[Settings]\nN=") + c.stored + "\n" : "[Settings]\n");
        EXPECT_EQ(profile_.ReadInt("N", 42), c.expected);
        EXPECT_EQ(profile_.Found(), c.stored != nullptr);
    }
    ASSERT_TRUE(profile_.WriteInt("N", -2147483647 - 1));
    EXPECT_EQ(ReadText(path_), "[Settings]\nN=-2147483648\n");
}

TEST_F(ProfileFileTest, RealsAreWrittenWithSixDecimals)
{
    ASSERT_TRUE(profile_.WriteReal("BrightRDevLo", 0.15));
    ASSERT_TRUE(profile_.WriteReal("IPProtContSmooth", -2.5));
    EXPECT_EQ(ReadText(path_), "[Settings]\nBrightRDevLo=0.150000\nIPProtContSmooth=-2.500000\n");
    EXPECT_DOUBLE_EQ(profile_.ReadReal("BrightRDevLo", 9.0), 0.15);
    EXPECT_DOUBLE_EQ(profile_.ReadReal("IPProtContSmooth", 9.0), -2.5);
    EXPECT_DOUBLE_EQ(profile_.ReadReal("Missing", 1.25), 1.25);
    EXPECT_FALSE(profile_.Found());
}

TEST_F(ProfileFileTest, SectionTextReadWriteAndDelete)
{
    WriteText(path_, "; modes\n[IP1]\nName=Endo\n; sharpen\nGain = 3\n\n[IP2]\nName=Perio\n\n[Settings]\nPID=2001");
    EXPECT_EQ(profile_.SectionNames(), (std::vector<std::string>{"IP1", "IP2", "Settings"}));

    const std::optional<std::string> ip1 = profile_.ReadSectionText("ip1");
    ASSERT_TRUE(ip1.has_value());
    EXPECT_EQ(*ip1, "Name=Endo\n; sharpen\nGain = 3\n\n");
    EXPECT_EQ(profile_.ReadSectionText("Settings"), std::optional<std::string>("PID=2001\n"));
    EXPECT_FALSE(profile_.ReadSectionText("IP9").has_value());

    // Copy a mode into a new section, replace another's body.
    ASSERT_TRUE(profile_.WriteSectionText("IP3", *ip1));
    ASSERT_TRUE(profile_.WriteSectionText("ip2", "Name=Implant"));
    EXPECT_EQ(ReadText(path_), "; modes\n[IP1]\nName=Endo\n; sharpen\nGain = 3\n\n[IP2]\nName=Implant\n"
                               "[Settings]\nPID=2001\n\n[IP3]\nName=Endo\n; sharpen\nGain = 3\n\n");
    EXPECT_EQ(profile_.ReadSectionText("IP3"), ip1);

    EXPECT_TRUE(profile_.DeleteSection("ip2"));
    EXPECT_FALSE(profile_.DeleteSection("IP2"));
    EXPECT_EQ(ReadText(path_), "; modes\n[IP1]\nName=Endo\n; sharpen\nGain = 3\n\n"
                               "[Settings]\nPID=2001\n\n[IP3]\nName=Endo\n; sharpen\nGain = 3\n\n");
    EXPECT_EQ(profile_.SectionNames(), (std::vector<std::string>{"IP1", "Settings", "IP3"}));
}

TEST_F(ProfileFileTest, SectionTextKeepsTheFileLineEnds)
{
    WriteText(path_, "[IP1]\r\nName=Endo\r\n");
    ASSERT_TRUE(profile_.WriteSectionText("IP1", "Name=Perio\nGain=2\n"));
    EXPECT_EQ(ReadText(path_), "[IP1]\r\nName=Perio\r\nGain=2\r\n");
    ASSERT_TRUE(profile_.WriteSectionText("IP2", ""));
    EXPECT_EQ(ReadText(path_), "[IP1]\r\nName=Perio\r\nGain=2\r\n\r\n[IP2]\r\n");
    EXPECT_EQ(profile_.ReadSectionText("IP2"), std::optional<std::string>(""));
}

TEST_F(ProfileFileTest, WritesKeepTheFileModeAndItsLink)
{
    WriteText(dir_.File("real.ini"), "[Settings]\nPID=2001\n");
    ASSERT_EQ(chmod(dir_.File("real.ini").c_str(), 0640), 0);
    ASSERT_EQ(symlink("real.ini", path_.c_str()), 0);

    ASSERT_TRUE(profile_.WriteString("PID", "2002"));

    struct stat info {};
    ASSERT_EQ(lstat(path_.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(stat(dir_.File("real.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadText(dir_.File("real.ini")), "[Settings]\nPID=2002\n");
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), std::filesystem::directory_iterator()), 2);
}

TEST_F(ProfileFileTest, WriteIntoAMissingDirectoryFails)
{
    profile_.SetPath(dir_.File("no/such/dir/kordex.ini"));
    EXPECT_FALSE(profile_.WriteString("PID", "2001"));
    EXPECT_EQ(profile_.ReadString("PID", "d"), "d");
}

TEST_F(ProfileFileTest, WritableFileInAReadOnlyDirectoryIsWrittenInPlace)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "the superuser writes into read-only directories";
    WriteText(path_, "; keep\n[Settings]\nPID=2001\n");
    ASSERT_EQ(chmod(dir_.Path().c_str(), 0555), 0);
    EXPECT_TRUE(profile_.WriteString("PID", "2002"));
    EXPECT_TRUE(profile_.WriteString("VReset", "330"));
    EXPECT_EQ(ReadText(path_), "; keep\n[Settings]\nPID=2002\nVReset=330\n");
}

TEST_F(ProfileFileTest, ConcurrentWritersLoseNoKey)
{
    constexpr int kThreads = 4;
    constexpr int kKeys = 25;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([this, t] {
            ProfileFile own(path_);
            own.SetSection(t % 2 == 0 ? "Even" : "Odd");
            for (int k = 0; k < kKeys; ++k)
                own.WriteInt("T" + std::to_string(t) + "K" + std::to_string(k), t * 100 + k);
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    for (int t = 0; t < kThreads; ++t) {
        profile_.SetSection(t % 2 == 0 ? "even" : "odd");
        for (int k = 0; k < kKeys; ++k)
            EXPECT_EQ(profile_.ReadInt("T" + std::to_string(t) + "K" + std::to_string(k), -1), t * 100 + k);
    }
    EXPECT_EQ(profile_.SectionNames().size(), 2u);
}

TEST_F(ProfileFileTest, WritersInTwoProcessesLoseNoKey)
{
    // Two programs sharing the settings file (a capture program and the
    // service window, say): each read-modify-write holds the file's lock.
    constexpr int kKeys = 200;
    WriteText(path_, "[Settings]\nKept=1\n");
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            ProfileFile own(path_);
            own.SetSection(c == 0 ? "First" : "Second");
            bool ok = true;
            for (int k = 0; k < kKeys; ++k) ok = own.WriteInt("K" + std::to_string(k), c * 1000 + k) && ok;
            _exit(ok ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    int lost = 0;
    for (int c = 0; c < 2; ++c) {
        profile_.SetSection(c == 0 ? "First" : "Second");
        for (int k = 0; k < kKeys; ++k) lost += profile_.ReadInt("K" + std::to_string(k), -1) != c * 1000 + k;
    }
    EXPECT_EQ(lost, 0);
    profile_.SetSection("Settings");
    EXPECT_EQ(profile_.ReadInt("Kept", 0), 1);
}

TEST_F(ProfileFileTest, AWriteWithNothingToChangeCreatesNoFile)
{
    EXPECT_FALSE(profile_.DeleteSection("Settings"));
    EXPECT_FALSE(std::ifstream(path_).good()) << "the lock's file is removed again";
}

TEST(ProfileFileNames, SectionIsCutToItsCapacityButThePathIsKept)
{
    ProfileFile profile(std::string(400, 'p'));
    EXPECT_EQ(profile.Path().size(), 400u);
    profile.SetSection(std::string(300, 's'));
    EXPECT_EQ(profile.Section().size(), ProfileFile::kSectionCapacity);
}

}  // namespace
