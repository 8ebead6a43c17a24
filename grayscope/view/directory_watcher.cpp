#include "grayscope/view/directory_watcher.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>

namespace grayscope {

DirectoryWatcher::~DirectoryWatcher()
{
    Stop();
}

bool DirectoryWatcher::Start(const std::string& directory, std::function<void()> changed)
{
    Stop();
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0)
        return false;
    const std::string dir = directory.empty() ? std::string(".") : directory;
    if (::inotify_add_watch(fd, dir.c_str(),
                            IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE | IN_MODIFY |
                                IN_ATTRIB | IN_ONLYDIR) < 0 ||
        ::pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    inotifyFd_ = fd;
    changed_ = std::move(changed);
    thread_ = std::thread([this, fd, wake = wakePipe_[0]] { Run(fd, wake); });
    return true;
}

void DirectoryWatcher::Stop()
{
    if (thread_.joinable()) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(wakePipe_[1], &byte, 1);
        thread_.join();
    }
    for (int& fd : wakePipe_) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    if (inotifyFd_ >= 0)
        ::close(inotifyFd_);
    inotifyFd_ = -1;
}

void DirectoryWatcher::Run(int inotifyFd, int wakeFd)
{
    bool pending = false;
    char buffer[4096];
    for (;;) {
        pollfd fds[2] = {{inotifyFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int r = ::poll(fds, 2, kBurstMs);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        if (r == 0) {
            if (pending && changed_)
                changed_();
            pending = false;
            continue;
        }
        while (::read(inotifyFd, buffer, sizeof buffer) > 0)
            pending = true;
    }
}

}  // namespace grayscope
