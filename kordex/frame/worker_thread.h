// WorkerThread: an activity's thread with a bounded wait.
//
// Threads are never killed. When a wait times out the thread is detached and
// goes on until its next abort check; everything it uses must therefore be
// owned jointly (std::shared_ptr) by the worker and its starter.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace kordex {

// Exit code reported for a worker whose wait timed out.
inline constexpr int kWorkerTimedOut = 255;

class WorkerThread {
public:
    // Starts body on a new thread; its result becomes the exit code.
    explicit WorkerThread(std::function<int()> body);
    ~WorkerThread();  // waits without limit when nobody waited before
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Waits up to timeoutMs. Returns the body's exit code, or kWorkerTimedOut
    // after detaching a thread that did not end in time. Further calls return
    // the same result.
    int Wait(int timeoutMs);
    bool Finished() const;
    std::thread::id Id() const { return id_; }

    // Waits up to timeoutMs until no worker of the library runs any more,
    // waited for or detached. The library's unload calls it: a worker left
    // running after a close time-out must not outlive the code it runs.
    // True when none runs.
    static bool WaitForAll(int timeoutMs);

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        int exitCode = 0;
    };
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
    std::thread::id id_;
    bool waited_ = false;
    int result_ = 0;
};

// Lowers or raises the calling thread's priority where permitted; failures
// are ignored. delta follows nice(2): negative is higher priority.
void RequestThreadPriority(int delta);

}  // namespace kordex
