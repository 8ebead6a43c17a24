// The log list of the service sheet: every log line also goes to a bounded
// queue that the sheet's list control drains in its own thread.
//
// While no list is attached, lines collect in a backlog (at most 128, the
// oldest dropped) that fills the list when one is attached. While a list is
// attached, lines are queued (same bound) and the owner is notified (the
// window posts itself message 0x327C); the owner then calls Drain from its own
// thread. A drained line that begins with a carriage return replaces the
// list's last item; a list never holds more than 129 items.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

namespace kordex {

// The list control a UI attaches; called only from the thread that calls
// Attach, Detach and Drain.
class LogListView {
public:
    virtual ~LogListView() = default;
    virtual void Clear() = 0;
    virtual void Append(const std::string& item) = 0;
    virtual void ReplaceLast(const std::string& item) = 0;
    virtual void RemoveFirst() = 0;
    virtual std::size_t Count() const = 0;
    virtual std::string Item(std::size_t index) const = 0;
    virtual void MakeLastVisible() = 0;
};

// The private message the list's window posts itself when lines are queued.
inline constexpr int kLogListMessage = 0x327C;

class UiLogList {
public:
    static constexpr std::size_t kMaxLines = 128;

    // Any thread: queues the line (and notifies) or keeps it in the backlog.
    void Add(const std::string& line);

    // UI thread: attaches view, which is cleared and filled from the backlog;
    // notify is called (from any thread) whenever lines are queued.
    void Attach(LogListView* view, std::function<void()> notify);
    // UI thread: the view's items go back to the backlog and the view is
    // cleared.
    void Detach();
    // UI thread: applies the queued lines to the attached view.
    void Drain();

    // A copy of the backlog (for tests and for a sheet that reopens).
    std::deque<std::string> Backlog() const;

private:
    static void PushBounded(std::deque<std::string>& lines, const std::string& line);

    mutable std::mutex mutex_;
    std::deque<std::string> pending_;
    std::deque<std::string> backlog_;
    LogListView* view_ = nullptr;
    std::function<void()> notify_;
};

}  // namespace kordex
