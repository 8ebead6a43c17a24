// The read-out thread of one frame: queues every page read at once, parses
// the pages in order as they complete, reports progress after each page and
// ends with the completion, time-out or parse-error report, then sends the
// two closing 0xB0 requests.
//
// Waiting for a page: before the first data the thread waits without limit
// (the user has not pressed the X-ray button yet); from the first data the
// frame must end within 15 s. An abort or an error report (state not 0)
// ends the wait at once when no page has arrived yet, else 350 ms after the
// last page. A close that gave up waiting sets `stop`, which the thread
// treats like an abort.
//
// A dark frame does not wait for the X-ray button: its first page must come
// within the read time-out too.
//
// A page read that fails (the device was unplugged) is reported as a
// warning and ends the read-out like pages that ran out without an end
// marker (message 107 with -1).
//
// The thread parses into a frame of its own and copies the rows each page
// wrote into the caller's frame through the connection's gate (rows as they
// arrive, for the preview), so a close that shut the gate is never followed
// by a write into the caller's memory. A delivered frame that still holds
// undelivered pixels (0x8000), or a stream whose lines run past the frame
// height, is reported with a "WRN: " line before the completion.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace kordex {

class AcquisitionSession;
struct AcquisitionConnection;
class SensorLink;

struct ReadoutJob {
    AcquisitionSession* session = nullptr;
    std::shared_ptr<AcquisitionConnection> connection;  // its reports and the caller's frame
    std::shared_ptr<SensorLink> link;
    std::shared_ptr<std::atomic<bool>> stop;
    std::int32_t flags = 0;
    int width = 0;
    int height = 0;
    int descramble = 0;
    bool invert = false;
    bool debugDump = false;
    std::string homePath;  // ends in "/"
};

// Runs the read-out; returns the final status (-1 for a refused second
// read-out).
int RunReadout(const ReadoutJob& job);

}  // namespace kordex
