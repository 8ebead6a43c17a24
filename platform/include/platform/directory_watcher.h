// DirectoryWatcher: tells its owner when the files of one directory change.
//
// One thread per watcher waits on inotify for names created, deleted or moved,
// written files and changed attributes in one directory (not its
// subdirectories). Changes come in bursts: once a burst has ended -- at the
// first 500 ms slice without a further change -- the watcher calls onChange
// once, on the watcher thread. The callback must only hand the news to its
// owner's thread (post a message or an event). Stop() wakes the thread through
// an eventfd and joins it, so no thread is ever killed.
#pragma once

#include <functional>
#include <string>
#include <thread>

namespace platform {

class DirectoryWatcher {
public:
    static constexpr int kQuietMs = 500;

    DirectoryWatcher() = default;
    ~DirectoryWatcher();
    DirectoryWatcher(const DirectoryWatcher&) = delete;
    DirectoryWatcher& operator=(const DirectoryWatcher&) = delete;

    // Stops any previous watch and watches dir. False (and no watch) when the
    // directory cannot be watched. onThreadStart, when given, runs first on
    // the new watcher thread (to set its priority, for instance).
    bool Start(const std::string& dir, std::function<void()> onChange, std::function<void()> onThreadStart = {});
    // Ends the watch; the thread is woken and joined.
    void Stop();
    bool Watching() const { return thread_.joinable(); }

private:
    void Run();

    int inotifyFd_ = -1;
    int wakeFd_ = -1;
    std::function<void()> onChange_;
    std::function<void()> onThreadStart_;
    std::thread thread_;
};

}  // namespace platform
