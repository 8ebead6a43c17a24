// Row bands, report slots, bounded worker waits and the directory watcher.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "frame/directory_watcher.h"
#include "frame/lock_slots.h"
#include "frame/parallel_rows.h"
#include "frame/worker_thread.h"
#include "support/temp_dir.h"

namespace kordex {
namespace {

using namespace std::chrono_literals;

std::vector<RowBand> Bands(int threads, int from, int to)
{
    std::vector<RowBand> bands;
    SplitRows(threads, from, to, [&](const RowBand& b) { bands.push_back(b); });
    return bands;
}

TEST(ParallelRowsTest, BandSplitGivesTheRestToTheLastBand)
{
    const std::vector<RowBand> three = Bands(2, 0, 2);
    ASSERT_EQ(three.size(), 2u);
    EXPECT_EQ(three[0].firstRow, 0);
    EXPECT_EQ(three[0].lastRow, 0);
    EXPECT_EQ(three[1].firstRow, 1);
    EXPECT_EQ(three[1].lastRow, 2);

    const std::vector<RowBand> offset = Bands(3, 10, 20);  // 11 rows, 3 each
    ASSERT_EQ(offset.size(), 3u);
    EXPECT_EQ(offset[1].firstRow, 13);
    EXPECT_EQ(offset[1].lastRow, 15);
    EXPECT_EQ(offset[2].firstRow, 16);
    EXPECT_EQ(offset[2].lastRow, 20);
}

TEST(ParallelRowsTest, ThreadCountIsClamped)
{
    EXPECT_EQ(ParallelThreadCount(0), 1);
    EXPECT_EQ(ParallelThreadCount(-5), 1);
    EXPECT_EQ(ParallelThreadCount(64), 31);
    EXPECT_EQ(Bands(64, 0, 99).size(), 31u);
    EXPECT_EQ(Bands(0, 0, 99).size(), 1u);
}

TEST(ParallelRowsTest, EveryRowIsVisitedOnceWhateverTheThreadCount)
{
    for (int threads : {1, 2, 3, 7, 31, 40}) {
        std::vector<std::atomic<int>> visits(5);
        ParallelRows(threads, 0, 4, [&](const RowBand& b) {
            for (int r = b.firstRow; r <= b.lastRow; ++r) visits[r]++;
        });
        for (int r = 0; r < 5; ++r) EXPECT_EQ(visits[r].load(), 1) << threads << " threads, row " << r;
    }
}

TEST(LockSlotsTest, ReportsAreDroppedWhileClosingAndSerialisedOtherwise)
{
    LockSlots slots;
    EXPECT_EQ(slots.Enter(1), LockSlots::Entry::Taken);
    EXPECT_EQ(slots.State(1), LockSlots::kHeld);
    // A second report waits a little, then goes on without the slot.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(slots.Enter(1), LockSlots::Entry::Proceed);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 10ms);
    slots.Leave(1);
    EXPECT_EQ(slots.State(1), LockSlots::kFree);

    slots.SetClosing(2);
    EXPECT_EQ(slots.Enter(2), LockSlots::Entry::Dropped);
    slots.SetFree(2);
    {
        SlotReport report(slots, 2);
        EXPECT_FALSE(report.Dropped());
        EXPECT_EQ(slots.State(2), LockSlots::kHeld);
    }
    EXPECT_EQ(slots.State(2), LockSlots::kFree);
}

TEST(LockSlotsTest, ReportWaitingWhenCloseBeginsWaitsForTheClose)
{
    LockSlots slots(1'000'000);  // the report never gives up on its own here
    ASSERT_EQ(slots.Enter(0), LockSlots::Entry::Taken);
    std::atomic<bool> entered{false};
    std::thread reporter([&] {
        const LockSlots::Entry e = slots.Enter(0);
        entered = true;
        EXPECT_EQ(e, LockSlots::Entry::Taken);
        slots.Leave(0);
    });
    std::this_thread::sleep_for(100ms);  // the report is waiting by now
    slots.SetClosing(0);  // the close begins while the report waits
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(entered.load()) << "a report never slips into a closing slot";
    slots.SetFree(0);  // the close ends
    reporter.join();
    EXPECT_TRUE(entered.load());
}

TEST(LockSlotsDeathTest, WrongSlotEndsTheProcess)
{
    LockSlots slots;
    EXPECT_EXIT(slots.Enter(4), testing::ExitedWithCode(EXIT_FAILURE), "Wrong Mutex ID");
}

TEST(WorkerThreadTest, WaitReturnsTheExitCode)
{
    WorkerThread worker([] { return 3; });
    EXPECT_EQ(worker.Wait(2000), 3);
    EXPECT_EQ(worker.Wait(0), 3);
    EXPECT_TRUE(worker.Finished());
}

TEST(WorkerThreadTest, TimedOutWorkerIsDetachedAndKeepsItsStateAlive)
{
    auto stop = std::make_shared<std::atomic<bool>>(false);
    auto ended = std::make_shared<std::atomic<bool>>(false);
    {
        WorkerThread worker([stop, ended] {
            while (!stop->load()) std::this_thread::sleep_for(1ms);
            ended->store(true);
            return 0;
        });
        EXPECT_EQ(worker.Wait(20), kWorkerTimedOut);
    }  // the owner is gone; the worker still runs on shared state
    stop->store(true);
    for (int i = 0; i < 2000 && !ended->load(); ++i) std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(ended->load());
}

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

TEST(DirectoryWatcherTest, MissingDirectoryIsNotWatched)
{
    DirectoryWatcher watcher;
    EXPECT_FALSE(watcher.Start("/nonexistent/kordex-test", [] {}));
    EXPECT_FALSE(watcher.Watching());
}

}  // namespace
}  // namespace kordex
