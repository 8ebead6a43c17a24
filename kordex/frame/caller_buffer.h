// CallerBuffer: a caller's frame or image buffer behind a gate that the
// activity's close shuts.
//
// A worker never computes in the caller's memory. It reads the caller's
// samples once, when the job starts in the caller's thread, computes in a
// buffer of its own and hands rows or the whole result over with Write.
// Shut() waits for a Write in progress and closes the gate: from its return
// on nothing of the library reads or writes the caller's buffer again, even
// a worker that goes on after its close timed out. The caller may free the
// buffer as soon as its close call has returned.
//
// Threads: Read in the caller's thread while it is inside the start call;
// Write from the worker; Shut from the closing thread. A null buffer makes
// every call do nothing (Write returns false).
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

namespace kordex {

class CallerBuffer {
public:
    CallerBuffer(std::int16_t* buffer, std::size_t samples) : buffer_(buffer), samples_(samples) {}
    CallerBuffer(const CallerBuffer&) = delete;
    CallerBuffer& operator=(const CallerBuffer&) = delete;

    // Copies the caller's samples into dst (samples() of them); false when
    // the gate is shut or there is no buffer.
    bool Read(std::int16_t* dst);
    // Copies count samples from src to the caller's buffer at sample first
    // (clipped to the buffer); false when the gate is shut or there is no
    // buffer.
    bool Write(std::size_t first, const std::int16_t* src, std::size_t count);
    // Closes the gate for good; returns once no Write is in progress.
    void Shut();

    bool Present() const { return buffer_ != nullptr; }
    std::size_t samples() const { return samples_; }

private:
    std::mutex mutex_;
    std::int16_t* buffer_;  // null once shut
    std::size_t samples_;
};

}  // namespace kordex
