// Directory watcher: one report per burst of changes, after a quiet slice.
#include "platform/directory_watcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

TEST(DirectoryWatcherTest, ABurstOfChangesIsReportedOnceAfterAQuietSlice)
{
    test_support::TempDir dir;
    std::mutex mutex;
    std::vector<std::chrono::steady_clock::time_point> calls;
    DirectoryWatcher watcher;
    ASSERT_TRUE(watcher.Start(dir.Path(), [&] {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back(std::chrono::steady_clock::now());
    }));
    // The clock is read right after each write, so a sleep that overruns on a
    // loaded machine cannot make the quiet slice look shorter than it was.
    std::chrono::steady_clock::time_point lastChange;
    for (int i = 0; i < 4; ++i) {
        test_support::WriteText(dir.File("f" + std::to_string(i)), "x");
        lastChange = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(100ms);
    }
    for (int i = 0; i < 300; ++i) {
        std::this_thread::sleep_for(10ms);
        std::lock_guard<std::mutex> lock(mutex);
        if (!calls.empty()) break;
    }
    std::this_thread::sleep_for(700ms);  // no second report follows
    watcher.Stop();
    std::lock_guard<std::mutex> lock(mutex);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_GE(calls[0] - lastChange, 450ms);
}

TEST(DirectoryWatcherTest, OneNoticeAfterAQuickBurstAndStopEndsTheWatch)
{
    test_support::TempDir dir;
    ASSERT_TRUE(dir.Ok());
    std::atomic<int> notices{0};
    DirectoryWatcher watcher;
    ASSERT_TRUE(watcher.Start(dir.Path(), [&] { ++notices; }));
    for (int i = 0; i < 5; ++i)
        test_support::WriteText(dir.File("f" + std::to_string(i) + ".raw"), std::string(32, '\7'));
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (notices == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(notices.load(), 1);
    watcher.Stop();
    EXPECT_FALSE(watcher.Watching());
    EXPECT_FALSE(watcher.Start(dir.File("missing"), [] {}));
}

TEST(DirectoryWatcherTest, MissingDirectoryIsNotWatched)
{
    DirectoryWatcher watcher;
    EXPECT_FALSE(watcher.Start("/nonexistent/kordex-test", [] {}));
    EXPECT_FALSE(watcher.Watching());
}

TEST(DirectoryWatcherTest, ThreadStartHookRunsOnTheWatcherThread)
{
    test_support::TempDir dir;
    std::atomic<bool> ran{false};
    std::atomic<bool> otherThread{false};
    const std::thread::id caller = std::this_thread::get_id();
    DirectoryWatcher watcher;
    ASSERT_TRUE(watcher.Start(dir.Path(), [] {}, [&] {
        otherThread = std::this_thread::get_id() != caller;
        ran = true;
    }));
    for (int i = 0; i < 200 && !ran; ++i) std::this_thread::sleep_for(10ms);
    watcher.Stop();
    EXPECT_TRUE(ran.load());
    EXPECT_TRUE(otherThread.load());
}

}  // namespace
}  // namespace platform
