// Row band count, report slots, bounded worker waits and the directory watcher.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
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

TEST(ParallelRowsTest, ThreadCountIsClamped)
{
    EXPECT_EQ(ParallelThreadCount(0), 1);
    EXPECT_EQ(ParallelThreadCount(-5), 1);
    EXPECT_EQ(ParallelThreadCount(64), 31);
    EXPECT_EQ(Bands(64, 0, 99).size(), 31u);
    EXPECT_EQ(Bands(0, 0, 99).size(), 1u);
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

// The split and the watch itself are tested with the platform pieces; here
// only what the detector library adds.
TEST(DirectoryWatcherTest, WatchesAnExistingDirectoryUntilStopped)
{
    test_support::TempDir dir;
    DirectoryWatcher watcher;
    ASSERT_TRUE(watcher.Start(dir.Path(), [] {}));
    EXPECT_TRUE(watcher.Watching());
    watcher.Stop();
    EXPECT_FALSE(watcher.Watching());
    EXPECT_FALSE(watcher.Start("/nonexistent/kordex-test", [] {}));
    EXPECT_FALSE(watcher.Watching());
}

}  // namespace
}  // namespace kordex
