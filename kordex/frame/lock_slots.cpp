#include "frame/lock_slots.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/message_box.h"

namespace kordex {
namespace {

[[noreturn]] void WrongSlot()
{
    platform::ShowErrorBox("IntraOral Detector", "Internal error: Wrong Mutex ID");
    std::exit(EXIT_FAILURE);
}

}  // namespace

LockSlots::LockSlots(int triesBeforeGoingOn) : triesBeforeGoingOn_(triesBeforeGoingOn)
{
    for (auto& s : slots_) s.store(kFree);
}

std::atomic<std::uint8_t>& LockSlots::At(int slot)
{
    if (slot < 0 || slot >= kCount) WrongSlot();
    return slots_[static_cast<std::size_t>(slot)];
}

const std::atomic<std::uint8_t>& LockSlots::At(int slot) const
{
    if (slot < 0 || slot >= kCount) WrongSlot();
    return slots_[static_cast<std::size_t>(slot)];
}

void LockSlots::SetFree(int slot)
{
    At(slot).store(kFree);
}

void LockSlots::SetClosing(int slot)
{
    At(slot).store(kClosing);
}

std::uint8_t LockSlots::State(int slot) const
{
    return At(slot).load();
}

LockSlots::Entry LockSlots::Enter(int slot)
{
    std::atomic<std::uint8_t>& s = At(slot);
    if (s.load() == kClosing) return Entry::Dropped;
    for (int tries = 0;;) {
        std::uint8_t expected = kFree;
        if (s.compare_exchange_strong(expected, kHeld)) return Entry::Taken;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ++tries;
        if (tries > triesBeforeGoingOn_ && s.load() != kClosing) return Entry::Proceed;
    }
}

void LockSlots::Leave(int slot)
{
    std::atomic<std::uint8_t>& s = At(slot);
    std::uint8_t expected = kHeld;
    // A close that began meanwhile keeps its closing mark.
    s.compare_exchange_strong(expected, kFree);
}

}  // namespace kordex
