// Path helpers: wildcard masks and listings without regard to case, removal by
// mask, case-insensitive resolution, and the typed names of the file dialogs.
#include "platform/paths.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using test_support::TempDir;
using test_support::WriteText;

TEST(WildcardMatch, MasksMatchWithoutRegardToCase)
{
    const struct {
        const char* mask;
        const char* name;
        bool matches;
    } cases[] = {
        {"$c*.raw", "$C1_OFFSET.RAW", true},
        {"$c*.raw", "$c.raw", true},
        {"$c*.raw", "c1.raw", false},
        {"$c*.raw", "$c1.raw.bak", false},
        {"A??_?????", "A01_01234", true},
        {"A??_?????", "a01_0123x", true},
        {"A??_?????", "A1_01234", false},
        {"A??_?????", "A01_012345", false},
        {"A??_?????", "A01_01234.raw", false},
        {"A??_?????*", "A01_01234.raw", true},
        {"dark", "DARK", true},
        {"dark", "dark.raw", false},
        {"*", "", true},
        {"*", "anything.at.all", true},
        {"", "", true},
        {"", "x", false},
        {"?", "", false},
        {"*a*b", "xxaxxbxxb", true},
        {"*a*b", "xxaxxbxxc", false},
        {"**.raw", ".raw", true},
        {"$i*.raw", "$I03_UNSHARP.Raw", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::WildcardMatch(c.mask, c.name), c.matches) << c.mask << " vs " << c.name;
    }
}

TEST(PathText, ComponentsAndSeparators)
{
    const struct {
        const char* path;
        const char* directory;
        const char* fileName;
    } cases[] = {
        {"/home/u/Opticor/CAL/dark.raw", "/home/u/Opticor/CAL", "dark.raw"},
        {"CAL/dark.raw", "CAL", "dark.raw"},
        {"dark.raw", "", "dark.raw"},
        {"/dark.raw", "/", "dark.raw"},
        {"~/Opticor/Log/", "~/Opticor/Log", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(platform::DirectoryOf(c.path), c.directory);
        EXPECT_EQ(platform::FileNameOf(c.path), c.fileName);
    }
    EXPECT_EQ(platform::WithTrailingSlash(""), "");
    EXPECT_EQ(platform::WithTrailingSlash("/a"), "/a/");
    EXPECT_EQ(platform::WithTrailingSlash("/a/"), "/a/");
}

TEST(PathText, HomeIsExpandedOnlyAtTheStart)
{
    const char* home = std::getenv("HOME");
    ASSERT_NE(home, nullptr);
    const std::string h = home;
    EXPECT_EQ(platform::ExpandHome("~"), h);
    EXPECT_EQ(platform::ExpandHome("~/Opticor/"), h + "/Opticor/");
    EXPECT_EQ(platform::ExpandHome("a/~/b"), "a/~/b");
    EXPECT_EQ(platform::ExpandHome("~user/x"), "~user/x");
    EXPECT_EQ(platform::ExpandHome("/abs"), "/abs");
}

TEST(PathText, TypedRawFileNames)
{
    const std::string relative40(36, 'n');                 // 40 characters with ".raw"
    const std::string typed41 = std::string(37, 'n') + ".bin";  // 41 characters
    const struct {
        std::string typed;
        std::string expected;
    } cases[] = {
        {"dark", "/base/CAL/dark.raw"},
        {"dark.RAW", "/base/CAL/dark.RAW"},
        {"my.dir/dark", "/base/CAL/my.dir/dark.raw"},
        {"sub/frame.bin", "/base/CAL/sub/frame.bin"},
        {"/abs/dark", "/abs/dark.raw"},
        {"~/x/dark", "~/x/dark.raw"},
        {relative40, relative40 + ".raw"},
        {std::string(35, 'n'), std::string("/base/CAL/") + std::string(35, 'n') + ".raw"},
        {typed41, typed41},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(platform::TypedRawFileName(c.typed, "/base/CAL", false), c.expected);
        EXPECT_EQ(platform::TypedRawFileName(c.typed, "/base/CAL/", false), c.expected);
    }
}

TEST(PathText, TypedNameThatExistsAsTypedIsKeptWhenItMustExist)
{
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    char previous[PATH_MAX];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    WriteText("typed.raw", "xx");

    EXPECT_EQ(platform::TypedRawFileName("typed", "/base", true), "typed.raw");
    EXPECT_EQ(platform::TypedRawFileName("typed", "/base", false), "/base/typed.raw");
    EXPECT_EQ(platform::TypedRawFileName("other", "/base", true), "/base/other.raw");

    ASSERT_EQ(chdir(previous), 0);
}

TEST(PathText, DisplayRelative)
{
    const struct {
        const char* path;
        const char* base;
        const char* shown;
    } cases[] = {
        {"/home/u/Opticor/CAL/dark.raw", "/home/u/Opticor/CAL", "dark"},
        {"/home/u/Opticor/CAL/dark.RAW", "/home/u/Opticor/CAL/", "dark"},
        {"/home/u/Opticor/CAL/sub/A01.raw", "/home/u/Opticor/CAL", "sub/A01"},
        {"/elsewhere/dark.raw", "/home/u/Opticor/CAL", "/elsewhere/dark"},
        {"/home/u/Opticor/CALX/dark.raw", "/home/u/Opticor/CAL", "/home/u/Opticor/CALX/dark"},
        {"/home/u/frame.bin", "", "/home/u/frame.bin"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::DisplayRelative(c.path, c.base), c.shown) << c.path << " in " << c.base;
    }
}

class PathFilesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.Ok()); }
    void Touch(const std::string& name) { WriteText(dir_.File(name), "x"); }

    TempDir dir_;
};

TEST_F(PathFilesTest, FindFilesListsMatchingRegularFilesSortedWithoutRegardToCase)
{
    for (const char* name : {"b.raw", "A.raw", "a2.RAW", "C.raw", "aB.raw", "Ab.raw", "notes.txt"})
        Touch(name);
    ASSERT_EQ(mkdir(dir_.File("d.raw").c_str(), 0755), 0);
    ASSERT_EQ(symlink("b.raw", dir_.File("link.raw").c_str()), 0);
    ASSERT_EQ(symlink("d.raw", dir_.File("dirlink.raw").c_str()), 0);

    const std::vector<std::string> expected{"A.raw", "a2.RAW", "Ab.raw", "aB.raw", "b.raw", "C.raw", "link.raw"};
    EXPECT_EQ(platform::FindFiles(dir_.Path(), "*.raw"), expected);
    EXPECT_EQ(platform::FindFiles(dir_.Path() + "/", "*.RAW"), expected);
    EXPECT_EQ(platform::FindFiles(dir_.Path(), "*.txt"), std::vector<std::string>{"notes.txt"});
    EXPECT_TRUE(platform::FindFiles(dir_.File("missing"), "*").empty());
}

TEST_F(PathFilesTest, DeleteByMaskRemovesOnlyMatchingFiles)
{
    for (const char* name : {"$c1_offset.raw", "$C2_GAIN.RAW", "c3.raw", "$c4.bin", "dark.raw"})
        Touch(name);
    ASSERT_EQ(mkdir(dir_.File("$c5.raw").c_str(), 0755), 0);

    EXPECT_EQ(platform::DeleteByMask(dir_.Path(), "$c*.raw"), 2);
    EXPECT_EQ(platform::FindFiles(dir_.Path(), "*"), (std::vector<std::string>{"$c4.bin", "c3.raw", "dark.raw"}));
    EXPECT_TRUE(platform::DirectoryExists(dir_.File("$c5.raw")));
    EXPECT_EQ(platform::DeleteByMask(dir_.Path(), "$c*.raw"), 0);
}

TEST_F(PathFilesTest, ResolveNoCaseFindsAnotherSpelling)
{
    Touch("BPM.RAW");
    Touch("dark.raw");
    EXPECT_EQ(platform::ResolveNoCase(dir_.File("BPM.raw")), dir_.File("BPM.RAW"));
    EXPECT_EQ(platform::ResolveNoCase(dir_.File("bpm.raw")), dir_.File("BPM.RAW"));
    EXPECT_EQ(platform::ResolveNoCase(dir_.File("dark.raw")), dir_.File("dark.raw"));
    EXPECT_EQ(platform::ResolveNoCase(dir_.File("BPMM.raw")), dir_.File("BPMM.raw"));
    EXPECT_EQ(platform::ResolveNoCase(dir_.File("nodir/BPM.raw")), dir_.File("nodir/BPM.raw"));

    // With the exact name present as well, the exact name wins.
    Touch("BPM.raw");
    EXPECT_EQ(platform::ResolveNoCase(dir_.File("BPM.raw")), dir_.File("BPM.raw"));
}

TEST_F(PathFilesTest, DirectoriesFilesAndMoves)
{
    int code = -1;
    EXPECT_TRUE(platform::MakeDirectory(dir_.File("Log"), &code));
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(platform::MakeDirectory(dir_.File("Log"), &code)) << "an existing directory is fine";
    EXPECT_TRUE(platform::DirectoryExists(dir_.File("Log")));
    EXPECT_FALSE(platform::FileExists(dir_.File("Log")));
    EXPECT_FALSE(platform::MakeDirectory(dir_.File("no/Log"), &code));
    EXPECT_EQ(code, ENOENT);

    Touch("$D00.raw");
    Touch("$D01.raw");
    EXPECT_TRUE(platform::FileExists(dir_.File("$D00.raw")));
    EXPECT_FALSE(platform::MakeDirectory(dir_.File("$D00.raw"), &code));
    EXPECT_EQ(code, EEXIST);
    EXPECT_FALSE(platform::MoveFile(dir_.File("$D00.raw"), dir_.File("$D01.raw"))) << "the target exists";
    EXPECT_TRUE(platform::FileExists(dir_.File("$D00.raw")));
    EXPECT_TRUE(platform::RemoveFile(dir_.File("$D01.raw")));
    EXPECT_FALSE(platform::RemoveFile(dir_.File("$D01.raw")));
    EXPECT_TRUE(platform::MoveFile(dir_.File("$D00.raw"), dir_.File("$D01.raw")));
    EXPECT_FALSE(platform::FileExists(dir_.File("$D00.raw")));
    EXPECT_TRUE(platform::FileExists(dir_.File("$D01.raw")));
}

TEST(ModulePath, NamesTheProgramForOneOfItsFunctions)
{
    char expected[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", expected, sizeof expected - 1);
    ASSERT_GT(length, 0);
    expected[length] = '\0';
    const std::string path = platform::ModulePath(reinterpret_cast<const void*>(&platform::ModulePath));
    EXPECT_EQ(path, expected);
}

}  // namespace
