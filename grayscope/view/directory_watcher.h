// DirectoryWatcher: tells a view that the files of its directory changed.
//
// One thread per watcher waits on inotify for names created, deleted or
// moved and for written files in one directory (not its subdirectories), with
// a 500 ms time-out. Once a burst of changes has ended -- at the first
// time-out after one or more changes -- it calls `changed` once, on the
// watcher thread. The callback must only hand the news to its owner's thread
// (the view posts an event to itself). Stop() wakes the thread through a pipe
// and joins it, so no thread is ever killed.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace grayscope {

class DirectoryWatcher {
public:
    static constexpr int kBurstMs = 500;

    DirectoryWatcher() = default;
    ~DirectoryWatcher();
    DirectoryWatcher(const DirectoryWatcher&) = delete;
    DirectoryWatcher& operator=(const DirectoryWatcher&) = delete;

    // Stops any earlier watch and watches directory ("" = the current
    // directory). False when the directory cannot be watched.
    bool Start(const std::string& directory, std::function<void()> changed);
    void Stop();
    bool Running() const { return thread_.joinable(); }

private:
    void Run(int inotifyFd, int wakeFd);

    std::thread thread_;
    int inotifyFd_ = -1;
    int wakePipe_[2] = {-1, -1};
    std::function<void()> changed_;
};

}  // namespace grayscope
