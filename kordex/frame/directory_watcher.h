// DirectoryWatcher: tells its owner when the files of one directory change.
//
// Watches file names, directory names and last writes of the directory (not
// its subdirectories). Changes come in bursts: after a change the watcher
// waits until 500 ms pass without a further change, then calls onChange once
// (the owner window posts itself message 0x327D from there). onChange runs on
// the watcher's own thread, which runs at idle priority.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace kordex {

inline constexpr int kDirectoryChangedMessage = 0x327D;
inline constexpr int kDirectoryQuietMs = 500;

class DirectoryWatcher {
public:
    DirectoryWatcher() = default;
    ~DirectoryWatcher();
    DirectoryWatcher(const DirectoryWatcher&) = delete;
    DirectoryWatcher& operator=(const DirectoryWatcher&) = delete;

    // Stops any previous watch and watches dir. False (and no watch) when the
    // directory cannot be watched.
    bool Start(const std::string& dir, std::function<void()> onChange);
    // Ends the watch; the thread is woken and joined.
    void Stop();
    bool Watching() const { return thread_.joinable(); }

private:
    void Run();

    int inotifyFd_ = -1;
    int wakeFd_ = -1;
    std::function<void()> onChange_;
    std::thread thread_;
};

}  // namespace kordex
