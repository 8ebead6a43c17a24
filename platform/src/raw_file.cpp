// Raw frame files: whole-file reads and writes under advisory flock locks.
//
// The original platform refused to open a file that another handle held with
// incompatible sharing; here a writer takes an exclusive flock and a reader a
// shared one, without blocking. A lock held elsewhere counts as that sharing
// violation: the file is closed, and opened again after kSharingRetryDelay,
// kSharingAttempts attempts in all. The writer opens without O_TRUNC and
// truncates only once it holds its lock, so it never cuts a file that a
// reader is reading.
#include "platform/raw_file.h"

#include "platform/paths.h"
#include "platform/text.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace platform {

namespace {

void Fail(FileError* error, const char* format, const std::string& path, int code)
{
    if (error != nullptr) {
        error->text = Format(format, LastTwoComponents(path).c_str());
        error->code = code;
    }
}

void FailSize(FileError* error, const std::string& path, long long actual, long long expected)
{
    if (error != nullptr) {
        error->text = Format("size of %s (%lld instead %lld)", LastTwoComponents(path).c_str(), actual, expected);
        error->code = 0;
    }
}

// Opens path with flags and takes the lock; retries a lock held elsewhere.
// Returns the descriptor, or -1 with *code set to the last errno.
int OpenLocked(const std::string& path, int flags, int lockMode, int* code)
{
    const std::string target = ExpandHome(path);
    for (int attempt = 1;; ++attempt) {
        const int fd = open(target.c_str(), flags | O_CLOEXEC, 0666);
        if (fd < 0) {
            *code = errno;
            return -1;
        }
        int result;
        do {
            result = flock(fd, lockMode | LOCK_NB);
        } while (result != 0 && errno == EINTR);
        if (result == 0)
            return fd;
        *code = errno;
        close(fd);
        if (*code != EWOULDBLOCK || attempt >= kSharingAttempts)
            return -1;
        std::this_thread::sleep_for(kSharingRetryDelay);
    }
}

}  // namespace

bool WriteRawFile(const std::string& path, const void* data, std::size_t bytes, FileError* error)
{
    static constexpr char kCantCreate[] = "can't create %s";
    static constexpr char kIoFile[] = "IO file %s";
    if (data == nullptr && bytes > 0) {
        Fail(error, kIoFile, path, EFAULT);
        return false;
    }
    int code = 0;
    const int fd = OpenLocked(path, O_WRONLY | O_CREAT, LOCK_EX, &code);
    if (fd < 0) {
        Fail(error, kCantCreate, path, code);
        return false;
    }
    if (ftruncate(fd, 0) != 0) {
        Fail(error, kCantCreate, path, errno);
        close(fd);
        return false;
    }
    const auto* next = static_cast<const unsigned char*>(data);
    std::size_t left = bytes;
    while (left > 0) {
        const ssize_t written = write(fd, next, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            Fail(error, kIoFile, path, written < 0 ? errno : 0);
            close(fd);
            return false;
        }
        next += written;
        left -= static_cast<std::size_t>(written);
    }
    // A delayed write error (a full disk, a network file system) shows here.
    if (close(fd) != 0 && errno != EINTR) {
        Fail(error, kIoFile, path, errno);
        return false;
    }
    return true;
}

bool ReadRawFile(const std::string& path, void* buffer, std::int64_t expectedBytes, std::size_t capacity,
                 FileError* error, std::size_t* bytesRead)
{
    static constexpr char kCantOpen[] = "can't open %s";
    static constexpr char kIoFile[] = "IO file %s";
    if (bytesRead != nullptr)
        *bytesRead = 0;
    int code = 0;
    const int fd = OpenLocked(path, O_RDONLY, LOCK_SH, &code);
    if (fd < 0) {
        Fail(error, kCantOpen, path, code);
        return false;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        Fail(error, kCantOpen, path, errno);
        close(fd);
        return false;
    }
    const long long size = static_cast<long long>(info.st_size);
    const long long room = capacity > static_cast<std::size_t>(INT64_MAX) ? INT64_MAX : static_cast<long long>(capacity);
    if (expectedBytes > 0 && size != expectedBytes) {
        FailSize(error, path, size, expectedBytes);
        close(fd);
        return false;
    }
    // The caller's buffer bounds every read, whatever size was asked for.
    if (size > room || (buffer == nullptr && size > 0)) {
        FailSize(error, path, size, buffer == nullptr ? 0 : room);
        close(fd);
        return false;
    }
    auto* next = static_cast<unsigned char*>(buffer);
    std::size_t left = static_cast<std::size_t>(size);
    std::size_t done = 0;
    while (left > 0) {
        const ssize_t got = read(fd, next, left);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            // 0: the file ended before its size said (it shrank meanwhile).
            Fail(error, kIoFile, path, got < 0 ? errno : 0);
            close(fd);
            if (bytesRead != nullptr)
                *bytesRead = done;
            return false;
        }
        next += got;
        done += static_cast<std::size_t>(got);
        left -= static_cast<std::size_t>(got);
    }
    close(fd);
    if (bytesRead != nullptr)
        *bytesRead = done;
    return true;
}

}  // namespace platform
