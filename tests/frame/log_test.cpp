// Log file: generations, first line, repeat suppression, timed prefix and
// the error form; the service sheet's log list.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <regex>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "frame/log.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "support/temp_dir.h"

namespace kordex {
namespace {

using test_support::ReadText;
using test_support::TempDir;
using test_support::WriteText;

// The log file's lines after the first (date and version) line.
std::vector<std::string> BodyLines(const std::string& path)
{
    const std::string text = ReadText(path);
    std::vector<std::string> lines;
    std::size_t start = text.find('\n');
    if (start == std::string::npos) return lines;
    ++start;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

TEST(LogTest, OpeningMovesGenerationsUpWithinTheCount)
{
    TempDir dir;
    ASSERT_TRUE(platform::MakeDirectory(dir.File("Log")));
    for (int k = 0; k <= 5; ++k) WriteText(dir.File("Log/run0" + std::to_string(k) + ".log"), "old " + std::to_string(k));

    Log log;
    log.Open(dir.Path() + "/", 3, "run");
    log.Close();
    EXPECT_EQ(ReadText(dir.File("Log/run01.log")), "old 0");
    EXPECT_EQ(ReadText(dir.File("Log/run02.log")), "old 1");
    EXPECT_EQ(ReadText(dir.File("Log/run03.log")), "old 2");
    EXPECT_EQ(ReadText(dir.File("Log/run04.log")), "old 4") << "beyond the count: untouched";
    EXPECT_EQ(ReadText(dir.File("Log/run05.log")), "old 5");
    EXPECT_NE(ReadText(dir.File("Log/run00.log")).find('\n'), std::string::npos);
}

TEST(LogTest, FirstLineHoldsDateFileNameAndVersion)
{
    TempDir dir;
    Log log;
    log.SetVersion(LogVersion{"libkordex.so", 1, 2, 3, 4});
    log.Open(dir.Path(), 0, "");
    log.Close();
    const std::string text = ReadText(dir.File("Log/00.log"));
    EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d libkordex\.so ver 1\.2\.3\.4\n)")))
        << text;
}

TEST(LogTest, RepeatedLinesAreCountedOnce)
{
    TempDir dir;
    Log log;
    log.Open(dir.Path() + "/", 1, "r");
    for (int i = 0; i < 5; ++i) log.Plain("same line");
    log.Plain("other line");
    // Lines that differ only after their first 40 bytes count as repeats.
    log.File(std::string(40, 'a') + "1");
    log.File(std::string(40, 'a') + "2");
    log.Close();
    const std::vector<std::string> expected = {"same line", "  <rep 4>", "other line",
                                               std::string(40, 'a') + "1", "  <rep 1>"};
    EXPECT_EQ(BodyLines(dir.File("Log/r00.log")), expected);
}

TEST(LogTest, NestedOpenIsReportedInTheOpenLog)
{
    TempDir dir;
    Log log;
    log.Open(dir.Path() + "/", 1, "a");
    log.Open(dir.Path() + "/", 1, "b");
    log.Close();
    EXPECT_EQ(BodyLines(dir.File("Log/a00.log")),
              std::vector<std::string>{"ERR: Nested call to LogOpen(b) ignored"});
    EXPECT_FALSE(platform::FileExists(dir.File("Log/b00.log")));
}

TEST(LogTest, TimedLinesUseClockThenElapsedSeconds)
{
    TempDir dir;
    Log log;
    std::uint64_t now = 10'000;
    log.SetTickSource([&] { return now; });
    log.Timed("before open", false);
    log.Open(dir.Path() + "/", 1, "t");
    log.Timed("first");
    now += 1'250;
    log.Timed("second");
    now += 300;
    log.Timed("third");
    log.Close();
    const std::vector<std::string> lines = BodyLines(dir.File("Log/t00.log"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\d\d:\d\d:\d\d first)"))) << lines[0];
    EXPECT_EQ(lines[1], "(1.2/1.2s) second");
    EXPECT_EQ(lines[2], "(1.6/0.3s) third");
}

struct ErrorCase {
    int code;
    const char* line;
};

TEST(LogTest, ErrorFormDependsOnTheCode)
{
    const ErrorCase cases[] = {
        {0, "ERR: failed"},
        {5, "ERR: failed (code 5)"},
        {15, "ERR: failed (code 15)"},
        {16, "ERR: failed (code 16:10h)"},
        {1223, "ERR: failed (code 1223:4C7h)"},
    };
    for (const ErrorCase& c : cases) EXPECT_EQ(Log::ErrorLine("failed", c.code), c.line);
}

TEST(LogTest, ErrorWritesSystemTextOnItsOwnLineAndReturnsBoth)
{
    TempDir dir;
    Log log;
    log.Open(dir.Path() + "/", 1, "e");
    const std::string out = log.Error("can't open x/y", ENOENT);
    const std::string plain = log.Error("no code", 0);
    log.Close();
    EXPECT_EQ(out, "ERR: can't open x/y (code 2)\r\nNo such file or directory");
    EXPECT_EQ(plain, "ERR: no code");
    const std::vector<std::string> expected = {"ERR: can't open x/y (code 2)",
                                               "No such file or directory", "ERR: no code"};
    EXPECT_EQ(BodyLines(dir.File("Log/e00.log")), expected);
}

TEST(LogTest, AnErrorWithABoxIsLoggedOnceWhenTheBoxIsAnsweredHeadless)
{
    TempDir dir;
    Log log;
    log.Open(dir.Path() + "/", 1, "b");
    platform::SetMessageBoxHandler(nullptr);
    platform::SetMessageBoxLogSink([&log](const std::string& line) { log.Plain(line); });
    ::setenv("KORDEX_HEADLESS", "1", 1);
    log.Error("shown in a box", 0, true);
    platform::SetMessageBoxLogSink(nullptr);
    log.Close();
    const std::vector<std::string> expected = {"ERR: shown in a box"};
    EXPECT_EQ(BodyLines(dir.File("Log/b00.log")), expected);
}

TEST(LogTest, TextWithPercentSignsIsWrittenAsItIs)
{
    TempDir dir;
    Log log;
    log.Open(dir.Path() + "/", 1, "p");
    log.Plain("100%s %n %d");
    log.Error("%s%s%s", 0);
    log.Close();
    const std::vector<std::string> expected = {"100%s %n %d", "ERR: %s%s%s"};
    EXPECT_EQ(BodyLines(dir.File("Log/p00.log")), expected);
}

TEST(LogTest, LinesWithoutAnOpenLogReachOnlyTheList)
{
    UiLogList ui;
    Log log(&ui);
    log.Plain("to the list");
    log.File("file only");
    const auto backlog = ui.Backlog();
    ASSERT_EQ(backlog.size(), 1u);
    EXPECT_EQ(backlog[0], "to the list");
}

TEST(LogTest, EveryLineIsInTheFileWhenItIsWritten)
{
    // A process that dies without closing its log loses no line.
    TempDir dir;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Log log;
        log.Open(dir.Path() + "/", 1, "died");
        log.Plain("first");
        log.Timed("second");
        log.Error("third", 0);
        log.File("fourth");
        kill(getpid(), SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::vector<std::string> lines = BodyLines(dir.File("Log/died00.log"));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "first");
    EXPECT_EQ(lines[2], "ERR: third");
    EXPECT_EQ(lines[3], "fourth");
}

TEST(LogTest, TheLogFolderIsMadeWithItsParents)
{
    TempDir dir;
    Log log;
    log.Open(dir.Path() + "/new/home/", 1, "first");
    log.Plain("logged");
    log.Close();
    EXPECT_EQ(BodyLines(dir.File("new/home/Log/first00.log")), std::vector<std::string>{"logged"});
}

TEST(LogTest, EarlyLinesOpenTheFirstLogOnly)
{
    TempDir dir;
    UiLogList ui;
    Log log(&ui);
    testing::internal::CaptureStderr();
    log.Early("WRN: settings geometry refused, defaults kept: why");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "WRN: settings geometry refused, defaults kept: why\n");
    log.Open(dir.Path() + "/", 3, "run");
    log.Plain("later");
    log.Close();
    EXPECT_EQ(BodyLines(dir.File("Log/run00.log")),
              (std::vector<std::string>{"WRN: settings geometry refused, defaults kept: why", "later"}));
    log.Open(dir.Path() + "/", 3, "run");
    log.Close();
    EXPECT_TRUE(BodyLines(dir.File("Log/run00.log")).empty()) << "once, in the first log";
    EXPECT_EQ(ui.Backlog().front(), "WRN: settings geometry refused, defaults kept: why");
}

TEST(LogTest, GenerationsAboveNinetyNineAreNinetyNine)
{
    TempDir dir;
    ASSERT_TRUE(platform::MakeDirectory(dir.File("Log")));
    WriteText(dir.File("Log/run98.log"), "old 98");
    WriteText(dir.File("Log/run99.log"), "old 99");
    Log log;
    log.Open(dir.Path() + "/", 2147483647, "run");
    log.Close();
    EXPECT_EQ(ReadText(dir.File("Log/run99.log")), "old 98") << "the oldest kept is 99";
    EXPECT_FALSE(platform::FileExists(dir.File("Log/run100.log")));
    EXPECT_EQ(BodyLines(dir.File("Log/run00.log")),
              std::vector<std::string>{"WRN: 2147483647 log generations asked, 99 kept"});
}

// A list control that keeps its items in a vector.
class VectorList : public LogListView {
public:
    void Clear() override { items.clear(); }
    void Append(const std::string& item) override { items.push_back(item); }
    void ReplaceLast(const std::string& item) override
    {
        if (items.empty()) items.push_back(item);
        else items.back() = item;
    }
    void RemoveFirst() override { items.erase(items.begin()); }
    std::size_t Count() const override { return items.size(); }
    std::string Item(std::size_t i) const override { return items[i]; }
    void MakeLastVisible() override { ++scrolls; }
    std::vector<std::string> items;
    int scrolls = 0;
};

TEST(UiLogListTest, BacklogIsBoundedAndFillsTheListOnAttach)
{
    UiLogList ui;
    for (int i = 0; i < 130; ++i) ui.Add("line " + std::to_string(i));
    VectorList list;
    list.items = {"stale"};
    ui.Attach(&list, nullptr);
    ASSERT_EQ(list.items.size(), UiLogList::kMaxLines);
    EXPECT_EQ(list.items.front(), "line 2");
    EXPECT_EQ(list.items.back(), "line 129");
    EXPECT_TRUE(ui.Backlog().empty());
}

TEST(UiLogListTest, DrainAppendsReplacesAndBoundsTheList)
{
    UiLogList ui;
    VectorList list;
    int notified = 0;
    ui.Attach(&list, [&] { ++notified; });
    ui.Add("counting 1");
    ui.Add("\rcounting 2");
    ui.Add("done");
    EXPECT_EQ(notified, 3);
    EXPECT_TRUE(list.items.empty()) << "nothing reaches the list before the window drains";
    ui.Drain();
    EXPECT_EQ(list.items, (std::vector<std::string>{"counting 2", "done"}));

    for (int i = 0; i < 200; ++i) {
        ui.Add("x" + std::to_string(i));
        ui.Drain();
    }
    EXPECT_EQ(list.items.size(), UiLogList::kMaxLines + 1);
    EXPECT_EQ(list.items.back(), "x199");

    ui.Detach();
    EXPECT_TRUE(list.items.empty());
    EXPECT_EQ(ui.Backlog().size(), UiLogList::kMaxLines);
    EXPECT_EQ(ui.Backlog().back(), "x199");
}

}  // namespace
}  // namespace kordex
