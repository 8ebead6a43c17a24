// Recording a frame of the calibration set: the dark frame "dark.raw", a
// bright frame "x%5.5d%c.raw" named by its level, or a custom frame.
//
// A recording takes s + a frames one after the other -- with a sequence
// s = FramesIgnore skipped frames and a = max(FramesAverage, 1) averaged
// ones, otherwise one frame -- and stores the rounded mean of the last a
// (frame_average.h). Every frame is acquired and then calibrated with:
// - "Calibration" bright frames: offset (bit 0) and bit 30, so the stored
//   frame is offset-corrected; "Calibration" dark frames: no step (the dark
//   frame is stored raw);
// - custom frames: bit 0 and bit 30 with "Offset Calibration", else none.
// (The chain still runs the saturation replacement and the outline fill,
// as it does for every frame.) While recording, the cut margins, rotation and
// flip are 0, so the frame is calibrated as the whole unrotated frame; the
// geometry is restored afterwards, also after a failure.
//
// Log (opened as "D" or "B" for the recording unless a log is open): "--
// Calibration (skip:%d ave:%d)" or "-- Custom \"%s\" (skip:%d ave:%d)" for a
// sequence, else "Calibration frame" or "Custom frame \"%s\""; before frame
// i "skipped frame #%d" (i < s) or "averaged frame #%d" (i - s, when a >= 2);
// "Saved %s" with the file name after the write.
//
// Threads: the recording runs on the calling thread and waits for each frame;
// see ExportFrameSource for the threads of its progress calls.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "calibration/calibration_set_context.h"

namespace kordex {

inline constexpr std::uint32_t kRecordingOffsetFlags = (1u << 0) | (1u << 30);

struct RecordingOptions {
    bool bright = false;
    bool custom = false;            // option "Custom " instead of "Calibration"
    std::string customName = "frame";  // at most 39 characters are used; ".raw" added without "."
    bool customOffsetCal = false;   // "Offset Calibration" of a custom frame
    bool sequence = false;          // skip and average
    int framesIgnore = 0;           // s
    int framesAverage = 2;          // a (at least 1 is used)
};

// One frame to acquire and calibrate.
struct FrameRequest {
    bool bright = false;
    std::uint32_t calibrationFlags = 0;  // KXC_Process flags
    int index = 0;                       // 0 .. count - 1
    int count = 1;                       // s + a
    bool skipped = false;                // index < s
};

// Fills frame (FrameWidth x FrameHeight, owned by the recording) with one
// acquired and calibrated frame. Returns false with *error set to the
// failure's text.
using FrameSource = std::function<bool(const FrameRequest& request, std::int16_t* frame, std::string* error)>;

// What ExportFrameSource reports while it works.
struct RecordingProgress {
    FrameRequest request;
    const char* phase = "";  // "acquiring", "calibrating", "done"
    int percent = 0;         // read-out progress 0..100 while acquiring
};
using RecordingObserver = std::function<void(const RecordingProgress& progress)>;

// The frame source of the library: KXACQ_Connect (dark or bright),
// KXACQ_StartFrame, wait for the complete frame, KXACQ_Close; then
// KXC_Process with the request's flags, wait for its end, KXC_Close. An
// error report of either ends the frame with its text (the first one), or
// "Acquisition fault" / "Calibration fault" when none came. When *cancel
// (may be null) becomes true the running stage is aborted. observer (may be
// empty) is called on the caller's thread and, during the read-out, on the
// read-out thread (one call at a time).
FrameSource ExportFrameSource(const std::atomic<bool>* cancel, RecordingObserver observer);

// Calibrates frame in place through KXC_Process with flags and waits for the
// job's end; false with the first error report's text (or "Calibration
// fault"). *cancel (may be null) aborts the job when it becomes true.
bool CalibrateThroughExports(std::uint32_t flags, std::int16_t* frame, const std::atomic<bool>* cancel,
                             std::string* error);

struct RecordingResult {
    bool ok = false;
    std::string fileName;  // the name written (no directory)
    std::string path;
    int level = 0;         // TrimmedMode of the stored frame
    std::string error;     // the failure's text when !ok
};

// Creates the calibration directory (and missing levels above it) and then
// subDir inside it when given; each creation logs "Create sub-dir %s" with
// the directory. A failure logs the same text as an error line with the
// system's text, shows it in an error box and returns false (*error gets
// the line).
bool EnsureCalibrationDirectories(const CalibrationSetContext& ctx, const char* subDir, std::string* error);

// Records one frame of the set with the library's geometry, settings and
// calibration directory (the library's current state), taking the frames
// from source. A failed frame, a failed write or no free name fails the
// recording; no file is then written.
RecordingResult RecordCalibrationFrame(const RecordingOptions& options, const FrameSource& source);

}  // namespace kordex
