#include "frame/worker_thread.h"

#include <chrono>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kordex {
namespace {

// Workers that have not ended, and the wait for none.
struct RunningWorkers {
    std::mutex mutex;
    std::condition_variable none;
    int count = 0;
};

RunningWorkers& Running()
{
    static RunningWorkers running;
    return running;
}

void WorkerEnded()
{
    RunningWorkers& r = Running();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (--r.count == 0) r.none.notify_all();
}

}  // namespace

WorkerThread::WorkerThread(std::function<int()> body) : shared_(std::make_shared<Shared>())
{
    {
        std::lock_guard<std::mutex> lock(Running().mutex);
        ++Running().count;
    }
    try {
        thread_ = std::thread([shared = shared_, body = std::move(body)]() {
            const int code = body();
            {
                std::lock_guard<std::mutex> lock(shared->mutex);
                shared->exitCode = code;
                shared->done = true;
                shared->ended.notify_all();
            }
            WorkerEnded();
        });
    } catch (...) {
        WorkerEnded();
        throw;
    }
    id_ = thread_.get_id();
}

bool WorkerThread::WaitForAll(int timeoutMs)
{
    RunningWorkers& r = Running();
    std::unique_lock<std::mutex> lock(r.mutex);
    return r.none.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&r] { return r.count == 0; });
}

WorkerThread::~WorkerThread()
{
    if (thread_.joinable()) thread_.join();
}

int WorkerThread::Wait(int timeoutMs)
{
    if (waited_) return result_;
    waited_ = true;
    {
        std::unique_lock<std::mutex> lock(shared_->mutex);
        const bool done = shared_->ended.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                                  [this] { return shared_->done; });
        if (!done) {
            lock.unlock();
            thread_.detach();
            result_ = kWorkerTimedOut;
            return result_;
        }
        result_ = shared_->exitCode;
    }
    thread_.join();
    return result_;
}

bool WorkerThread::Finished() const
{
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->done;
}

void RequestThreadPriority(int delta)
{
    const pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (errno != 0) return;
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), current + delta);
}

}  // namespace kordex
