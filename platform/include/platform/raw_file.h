// Raw frame files: headerless 16-bit little-endian samples, row by row.
//
// Opening follows the sharing rules of the original platform with advisory
// flock locks: a writer holds an exclusive lock, a reader a shared one. A lock
// held elsewhere is a sharing violation; the open is then tried again after
// 200 ms, three attempts in all. A writer truncates the file only once it
// holds the lock, so it never cuts a file under a reader.
//
// Failures are returned, not reported: the caller owns the report (the
// detector library logs it with its error form and may show a box). The texts
// are the system's own:
//   "can't create %s"  (write; errno)       "can't open %s"  (read; errno)
//   "size of %s (%d instead %d)"  (read; no code)
//   "IO file %s"  (short read or write; errno, or 0 at end of file)
// where %s is the last two components of the path (directory and file name).
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

// Reads an existing file into buffer. With expectedBytes > 0 the file must be
// exactly that long ("size of" otherwise). With expectedBytes <= 0 the whole
// file is read; a file longer than capacity is refused with the size message
// (capacity as the expected size) instead of overrunning the buffer.
// *bytesRead, when given, receives the number of bytes read.
bool ReadRawFile(const std::string& path, void* buffer, std::int64_t expectedBytes,
                 std::size_t capacity, FileError* error, std::size_t* bytesRead = nullptr);

}  // namespace platform
