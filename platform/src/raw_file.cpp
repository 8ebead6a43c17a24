// Raw frame files: whole-file reads and writes under advisory flock locks.
//
// The original platform refused to open a file that another handle held with
// incompatible sharing; here a writer takes an exclusive flock and a reader a
// shared one, without blocking. A lock held elsewhere counts as that sharing
// violation: the file is closed, and opened again after kSharingRetryDelay,
// kSharingAttempts attempts in all. The writer locks the existing file for
// its whole write, and replaces it by rename, so a reader always sees the old
// file or the new one whole.
#include "platform/raw_file.h"

#include "platform/paths.h"
#include "platform/text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
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
        error->text = Format(format, path.c_str());
        error->code = code;
    }
}

void FailSize(FileError* error, const std::string& path, long long actual, long long expected)
{
    if (error != nullptr) {
        error->text = Format("size of %s (%lld instead %lld)", path.c_str(), actual, expected);
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

namespace {

// The process's file-creation mask, read without changing it.
mode_t CreationMask()
{
    mode_t mask = 022;
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, status) != nullptr) {
            unsigned value = 0;
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = static_cast<mode_t>(value);
                break;
            }
        }
        std::fclose(status);
    }
    return mask;
}

bool WriteAllBytes(int fd, const void* data, std::size_t bytes, int* code)
{
    const auto* next = static_cast<const unsigned char*>(data);
    std::size_t left = bytes;
    while (left > 0) {
        const ssize_t written = write(fd, next, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            *code = written < 0 ? errno : ENOSPC;
            return false;
        }
        next += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

ReplacementFile::ReplacementFile(const std::string& path) : final_(WriteTargetOf(path))
{
    struct stat info {};
    const bool exists = stat(final_.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
        inPlace_ = true;
        temporary_ = final_;
        fd_ = open(final_.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd_ < 0) code_ = errno;
        return;
    }
    const std::string dir = DirectoryOf(final_);
    temporary_ = (dir.empty() ? std::string() : dir + "/") + "." + FileNameOf(final_) + ".XXXXXX";
    fd_ = mkostemp(temporary_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        code_ = errno;
        if (exists && (code_ == EACCES || code_ == EROFS || code_ == EPERM)) {
            // A writable file in a folder that takes no new file: written in
            // place, as the only way there is.
            inPlace_ = true;
            temporary_ = final_;
            fd_ = open(final_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
            code_ = fd_ < 0 ? errno : 0;
        }
        return;
    }
    fchmod(fd_, exists ? (info.st_mode & 07777) : (0666 & ~CreationMask()));
    if (exists && (info.st_uid != geteuid() || info.st_gid != getegid())) {
        const int ignored = fchown(fd_, info.st_uid, info.st_gid);  // keeps the owner where allowed (root)
        (void)ignored;
    }
}

ReplacementFile::~ReplacementFile()
{
    if (fd_ >= 0) close(fd_);
    if (!inPlace_ && !temporary_.empty()) unlink(temporary_.c_str());
}

bool ReplacementFile::Write(const void* data, std::size_t bytes)
{
    if (fd_ < 0) return false;
    return WriteAllBytes(fd_, data, bytes, &code_);
}

bool ReplacementFile::Commit()
{
    if (fd_ < 0) return false;
    // A delayed write error (a full disk, a network file system) shows in
    // fsync or close.
    const bool synced = inPlace_ || fsync(fd_) == 0;
    if (!synced) code_ = errno;
    const bool closed = close(fd_) == 0;
    if (!closed && synced) code_ = errno;
    fd_ = -1;
    if (!synced || !closed) return false;
    if (inPlace_) return true;
    if (std::rename(temporary_.c_str(), final_.c_str()) != 0) {
        code_ = errno;
        return false;
    }
    temporary_.clear();
    return true;
}

bool WriteRawFile(const std::string& path, const void* data, std::size_t bytes, FileError* error)
{
    static constexpr char kCantCreate[] = "can't create %s";
    static constexpr char kIoFile[] = "IO file %s";
    if (data == nullptr && bytes > 0) {
        Fail(error, kIoFile, path, EFAULT);
        return false;
    }
    // An existing file is locked for the whole write (readers and writers
    // elsewhere are a sharing violation), and replaced whole.
    const std::string target = WriteTargetOf(path);
    int code = 0;
    int lockFd = -1;
    struct stat info {};
    if (stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        lockFd = OpenLocked(target, O_WRONLY, LOCK_EX, &code);
        if (lockFd < 0) {
            Fail(error, kCantCreate, path, code);
            return false;
        }
    }
    ReplacementFile file(target);
    bool ok = file.Ok();
    if (!ok) {
        Fail(error, kCantCreate, path, file.Code());
    } else if (!file.Write(data, bytes) || !file.Commit()) {
        Fail(error, kIoFile, path, file.Code());
        ok = false;
    }
    if (lockFd >= 0) close(lockFd);
    return ok;
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
