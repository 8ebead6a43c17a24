// What the calibration-set tools (recording, gain-point generation, the
// automatic bad-pixel map, the gain chart) work on: the frame size and inner
// region, the settings, the calibration directory and the log. Taken from the
// library by FromLibrary(); tests fill one of their own.
//
// The tools open the log "for the duration" of their work with a tag of
// their own. A log the caller already opened is used as it is and left open:
// a nested open would only write an error line, and closing at the end would
// cut the caller's own log short.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frame/log.h"
#include "frame/message_table.h"
#include "frame/settings.h"

namespace kordex {

struct CalibrationSetContext {
    int width = 0, height = 0;                     // the sensor frame
    int left = 0, top = 0, right = 0, bottom = 0;  // raw margins: the inner region
    const LibrarySettings* settings = nullptr;     // never null
    std::string homePath;                          // ends in "/"; where the log opens
    std::string calibrationDir;                    // ends in "/"
    Log* log = nullptr;                            // never null
    MessageTable* messages = nullptr;              // null = built-in texts

    std::size_t Pixels() const { return static_cast<std::size_t>(width) * static_cast<std::size_t>(height); }
};

// The library's current frame geometry, settings, directories and log. The
// settings pointer refers to the library's own record.
CalibrationSetContext CalibrationSetFromLibrary();

// The outline mask of the context's sensor (1 on outline pixels), or an
// empty vector when the sensor has no cut corners (Descramble other than 3).
std::vector<std::int16_t> OutlineMaskOf(const CalibrationSetContext& ctx);

// Opens the log "<home>Log/<tag>00.log" (10 generations) unless one is open,
// and closes it at the end of the scope only when it opened it.
class ScopedLog {
public:
    ScopedLog(Log& log, const std::string& homePath, const char* tag);
    ~ScopedLog();
    ScopedLog(const ScopedLog&) = delete;
    ScopedLog& operator=(const ScopedLog&) = delete;

private:
    Log& log_;
    bool opened_ = false;
};

}  // namespace kordex
