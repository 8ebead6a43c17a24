// Raw frame files: headerless 16-bit little-endian samples, row by row.
//
// Opening follows the sharing rules of the original platform with advisory
// flock locks: a writer holds an exclusive lock, a reader a shared one. A lock
// held elsewhere is a sharing violation; the open is then tried again after
// 200 ms, three attempts in all.
//
// A write never leaves a half-written file under its final name: the bytes go
// to a hidden temporary file beside it (".<name>.XXXXXX"), which is flushed to
// the disk and then renamed over the final name. A failed write removes the
// temporary file and leaves the old file, if any, as it was. A final name that
// is a link writes its target; one that is no regular file (a device, a pipe)
// is written in place.
//
// Failures are returned, not reported: the caller owns the report (the
// detector library logs it with its error form and may show a box). The texts
// are the system's own:
//   "can't create %s"  (write; errno)       "can't open %s"  (read; errno)
//   "size of %s (%d instead %d)"  (read; no code)
//   "IO file %s"  (short read or write; errno, or 0 at end of file)
// where %s is the whole path as given, so the user finds the file.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

struct FileError {
    std::string text;  // the report text (without any "ERR: " prefix)
    int code = 0;      // errno, or 0 when the failure has no system code
};

// Waiting between sharing-violation attempts, and how many attempts in all.
inline constexpr std::chrono::milliseconds kSharingRetryDelay{200};
inline constexpr int kSharingAttempts = 3;

// Creates or truncates path and writes bytes from data. False on failure, with
// *error filled when error is not null.
bool WriteRawFile(const std::string& path, const void* data, std::size_t bytes, FileError* error);

// A file made under a temporary name beside its final one and renamed over it
// once complete (see above), for writers that produce a file their own way
// (write to Descriptor(), or by TemporaryPath()). Not thread-safe.
class ReplacementFile {
public:
    // Creates the temporary file for path (a link's target). In place:
    // path exists and is no regular file; then TemporaryPath() is the final
    // path itself and Commit only closes.
    explicit ReplacementFile(const std::string& path);
    ~ReplacementFile();  // removes the temporary file unless committed
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // False when the temporary file could not be made (Code() says why).
    bool Ok() const { return fd_ >= 0; }
    int Code() const { return code_; }
    int Descriptor() const { return fd_; }
    const std::string& TemporaryPath() const { return temporary_; }
    const std::string& FinalPath() const { return final_; }
    // Writes all bytes to the descriptor; false with Code() on failure.
    bool Write(const void* data, std::size_t bytes);
    // Flushes to the disk, closes and renames over the final path; false
    // (with Code()) when any of it fails, and the temporary file is gone.
    bool Commit();

private:
    std::string final_;
    std::string temporary_;
    int fd_ = -1;
    int code_ = 0;
    bool inPlace_ = false;
};

// Reads an existing file into buffer. With expectedBytes > 0 the file must be
// exactly that long ("size of" otherwise). With expectedBytes <= 0 the whole
// file is read; a file longer than capacity is refused with the size message
// (capacity as the expected size) instead of overrunning the buffer.
// *bytesRead, when given, receives the number of bytes read.
bool ReadRawFile(const std::string& path, void* buffer, std::int64_t expectedBytes,
                 std::size_t capacity, FileError* error, std::size_t* bytesRead = nullptr);

}  // namespace platform
