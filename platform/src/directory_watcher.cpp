// Directory watcher on inotify, with an eventfd to wake it for Stop.
#include "platform/directory_watcher.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr std::uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                     IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_ONLYDIR;

// Reads and discards pending events; true when there were any.
bool Drain(int fd)
{
    alignas(inotify_event) char buffer[4096];
    bool any = false;
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return any;
        any = true;
    }
}

}  // namespace

DirectoryWatcher::~DirectoryWatcher()
{
    Stop();
}

bool DirectoryWatcher::Start(const std::string& dir, std::function<void()> onChange,
                             std::function<void()> onThreadStart)
{
    Stop();
    inotifyFd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotifyFd_ < 0) return false;
    if (inotify_add_watch(inotifyFd_, dir.c_str(), kWatchMask) < 0) {
        close(inotifyFd_);
        inotifyFd_ = -1;
        return false;
    }
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) {
        close(inotifyFd_);
        inotifyFd_ = -1;
        return false;
    }
    onChange_ = std::move(onChange);
    onThreadStart_ = std::move(onThreadStart);
    thread_ = std::thread([this] { Run(); });
    return true;
}

void DirectoryWatcher::Stop()
{
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        (void)!write(wakeFd_, &one, sizeof one);
        thread_.join();
    }
    if (inotifyFd_ >= 0) close(inotifyFd_);
    if (wakeFd_ >= 0) close(wakeFd_);
    inotifyFd_ = wakeFd_ = -1;
}

void DirectoryWatcher::Run()
{
    if (onThreadStart_) onThreadStart_();
    bool pending = false;
    for (;;) {
        pollfd fds[2] = {{inotifyFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        const int ready = poll(fds, 2, kQuietMs);
        if (ready < 0) {
            // Interrupted: wait again. Any other failure would repeat at once
            // for ever, so the watch ends instead of spinning.
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        if (ready > 0 && (fds[0].revents & POLLIN)) {
            if (Drain(inotifyFd_)) pending = true;
            continue;
        }
        // A quiet slice: report the burst that came before it.
        if (pending) {
            pending = false;
            if (onChange_) onChange_();
        }
    }
}

}  // namespace platform
