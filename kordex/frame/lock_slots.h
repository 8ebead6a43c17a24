// LockSlots: one report slot per activity (0 acquisition, 1 calibration,
// 2 processing, 3 auxiliary processing) that serialises the activity's
// reports -- log line and callbacks -- without ever blocking a worker for
// long.
//
// A report enters its slot: when the slot is closing the report is dropped;
// otherwise it waits while the slot is held, 1 ms per try, and after more than
// 10 tries goes on without the slot -- unless the slot has meanwhile become
// closing, in which case it waits until the close frees it. The closing
// report itself never touches the slot.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace kordex {

enum class Slot : int { Acquisition = 0, Calibration = 1, Processing = 2, AuxProcessing = 3 };

class LockSlots {
public:
    static constexpr int kCount = 4;
    enum : std::uint8_t { kFree = 0, kHeld = 1, kClosing = 2 };

    enum class Entry { Dropped, Taken, Proceed };

    // triesBeforeGoingOn: how many 1 ms waits a report makes before it goes
    // on without the slot (10; tests raise it to make waits deterministic).
    explicit LockSlots(int triesBeforeGoingOn = 10);

    // Slot numbers outside 0..3 are a programming error: an error box
    // "Internal error: Wrong Mutex ID" and the process ends.
    void SetFree(int slot);
    void SetClosing(int slot);
    std::uint8_t State(int slot) const;

    // Enters the slot for one report (see above). Leave must follow Taken.
    Entry Enter(int slot);
    void Leave(int slot);

private:
    std::atomic<std::uint8_t>& At(int slot);
    const std::atomic<std::uint8_t>& At(int slot) const;

    std::array<std::atomic<std::uint8_t>, kCount> slots_;
    int triesBeforeGoingOn_;
};

// Enters a slot for the scope of one report.
class SlotReport {
public:
    SlotReport(LockSlots& slots, int slot) : slots_(slots), slot_(slot), entry_(slots.Enter(slot)) {}
    ~SlotReport()
    {
        if (entry_ == LockSlots::Entry::Taken) slots_.Leave(slot_);
    }
    SlotReport(const SlotReport&) = delete;
    SlotReport& operator=(const SlotReport&) = delete;
    bool Dropped() const { return entry_ == LockSlots::Entry::Dropped; }
    LockSlots::Entry entry() const { return entry_; }

private:
    LockSlots& slots_;
    int slot_;
    LockSlots::Entry entry_;
};

}  // namespace kordex
