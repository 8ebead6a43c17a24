// What every step of the calibration chain works on: the sensor frame with its
// inner region, the settings snapshot of the job, the band-thread count, the
// job's abort word and the job's report path.
//
// Steps take this record instead of reading the library, so tests and
// benchmarks call them directly on frames of their own. The abort word is the
// job's plain 32-bit field; it is read and written through LoadWord and
// StoreWord (frame/job_word.h), so the caller's thread, the worker and the
// band threads may touch it at once.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "frame/job_word.h"
#include "frame/log.h"
#include "frame/message_table.h"
#include "frame/settings.h"
#include "kordex.h"

namespace kordex {

// kind: KX_REPORT_*; code: KX_EVENT_*. Called from the worker and from band
// threads; the callee serialises.
using CalibrationReport = std::function<void(int kind, int code, const std::string& text)>;

struct StepContext {
    std::int16_t* frame = nullptr;  // width x height, the job's copy, changed in place
    int width = 0;
    int height = 0;
    // The raw margins: the inner region is rows top..height-bottom-1 and
    // columns left..width-right-1.
    int left = 0, top = 0, right = 0, bottom = 0;
    const LibrarySettings* settings = nullptr;  // never null while a step runs
    int threads = 1;                            // NumParallelThreads (clamped by ParallelRows)
    std::int32_t* abortWord = nullptr;          // the job's abort word; never null
    std::string calibrationDir;                 // ends in "/"
    const std::int16_t* outlineMask = nullptr;  // width x height, 1 on outline pixels; may be null
    Log* log = nullptr;                         // file failures; may be null
    MessageTable* messages = nullptr;           // numbered texts; null = built-in texts
    CalibrationReport report;                   // may be empty (reports are then dropped)
    // Dumps a frame-sized buffer under a step name; may be empty.
    std::function<void(const std::string& name, const std::int16_t* buffer)> dump;

    int FirstInnerRow() const { return top; }
    int LastInnerRow() const { return height - bottom - 1; }
    int FirstInnerColumn() const { return left; }
    int LastInnerColumn() const { return width - right - 1; }
};

inline bool Aborted(const StepContext& ctx)
{
    return LoadWord(ctx.abortWord) != 0;
}

inline void Report(const StepContext& ctx, int kind, const std::string& text)
{
    if (ctx.report) ctx.report(kind, KX_EVENT_MESSAGE, text);
}

// Reads a frame-sized raw file into buffer (width x height pixels); failures
// are logged in the file's own words when a log is given.
bool ReadFrameFile(const StepContext& ctx, const std::string& path, std::int16_t* buffer);

// The path of a fixed calibration file in the calibration directory, found
// without regard to case, and whether it exists.
std::string CalibrationFile(const StepContext& ctx, const char* name);

}  // namespace kordex
