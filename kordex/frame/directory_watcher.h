// DirectoryWatcher: tells its owner when the files of one directory change.
//
// platform::DirectoryWatcher with the detector library's policy: the watcher
// thread runs at idle priority. After a burst of changes and 500 ms without a
// further one it calls onChange once, on the watcher thread (the owner window
// posts itself message 0x327D from there).
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "frame/worker_thread.h"
#include "platform/directory_watcher.h"

namespace kordex {

inline constexpr int kDirectoryChangedMessage = 0x327D;
inline constexpr int kDirectoryQuietMs = platform::DirectoryWatcher::kQuietMs;

class DirectoryWatcher {
public:
    // Stops any previous watch and watches dir. False (and no watch) when the
    // directory cannot be watched.
    bool Start(const std::string& dir, std::function<void()> onChange)
    {
        return watcher_.Start(dir, std::move(onChange), [] { RequestThreadPriority(19); });
    }
    // Ends the watch; the thread is woken and joined.
    void Stop() { watcher_.Stop(); }
    bool Watching() const { return watcher_.Watching(); }

private:
    platform::DirectoryWatcher watcher_;
};

}  // namespace kordex
