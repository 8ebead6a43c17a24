// The calibration driver: one job turns a raw sensor frame into a calibrated
// frame in place on a worker thread of its own, running the steps selected
// by its flags in a fixed order -- offset, gain, bad pixels, standalone
// despeckle -- then the saturation replacement (when Cal_RepValue differs
// from Cal_SatValue) and the outline fill.
//
// Flags: bit 0 offset ("1_offset"), 1 gain ("2_gain"), 2 bad pixels
// ("3_bpm"), 3 despeckle ("4_des"); bit 30 allows the hardware-dark offset in
// offset mode 2; bit 31 sends the step dumps, cut and rotated, to the image
// folder and adds the dump "0_src". Progress after the d-th of the counted
// steps (bits 0..3) is trunc(d / steps * 100 + 0.49999); 255 on success.
//
// Ownership: the library owns the run record; the caller sees its first
// member, the public CalibrationJob, from KXC_Process to KXC_Close. The worker
// holds the record jointly, so a worker left running after the close time-out
// never writes freed memory; the close then sets the abort word so it stops at
// its next row, and its later reports are dropped. The worker calibrates a
// copy of the caller's frame taken in KXC_Process and hands the result over
// through the record's CallerBuffer when it ends (before "Calibration done");
// the close shuts that gate, so the caller's frame is never touched after
// KXC_Close has returned.
#pragma once

#include <cstdint>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "frame/caller_buffer.h"
#include "frame/settings.h"
#include "frame/worker_thread.h"
#include "kordex.h"

namespace kordex {

inline constexpr std::uint32_t kCalOffset = 1u << 0;
inline constexpr std::uint32_t kCalGain = 1u << 1;
inline constexpr std::uint32_t kCalBadPixels = 1u << 2;
inline constexpr std::uint32_t kCalDespeckle = 1u << 3;
inline constexpr std::uint32_t kCalAllowHardwareDark = 1u << 30;
inline constexpr std::uint32_t kCalDumpToImageFolder = 1u << 31;
inline constexpr int kCalibrationCloseTimeoutMs = 2000;
inline constexpr int kCalibrationSlot = 1;

struct CalibrationRun {
    CalibrationJob job{};          // first member: the record the caller sees
    LibrarySettings settings;      // taken when the job starts
    std::string homePath;          // ends in "/"
    std::string calibrationDir;    // ends in "/"
    std::string dumpDir;           // chosen by the worker
    int offsetMode = 0;            // 0 dark.raw, 1 hardware-dark, 2 hardware-dark with bit 30
    std::vector<std::int16_t> frame;  // the worker's copy of the caller's frame
    // The OutlineMask of the run (frame-sized, 1 on outline pixels; empty =
    // none held): built by the first step that needs it, freed at the end.
    // One per run, so a worker left running after a close never shares it
    // with the next job.
    std::vector<std::int16_t> outlineMask;
    std::unique_ptr<CallerBuffer> caller;  // the caller's frame, behind the close's gate
    std::recursive_mutex reportMutex;  // one report at a time; a callback may abort (re-enter)
    std::atomic<bool> closed{false};         // nothing reaches the caller after the close
    std::unique_ptr<WorkerThread> worker;
};

// Prepares a job (behind KXC_Process): the record is filled from the
// library's current settings; nothing runs yet.
std::shared_ptr<CalibrationRun> PrepareCalibration(std::uint32_t flags, KX_Callback callback, void* context,
                                                   std::int16_t* frame);

// Sets the report hook, releases the report lock and starts the worker. The
// caller makes the job known (for KXC_Abort from a callback) before this.
// Throws std::system_error when no thread can be started.
void LaunchCalibration(const std::shared_ptr<CalibrationRun>& run);

// KXC_Abort: abort word 1; while the worker runs, running word -1 and the
// error report "Abort calibration" (code 1).
void AbortCalibration(CalibrationRun& run);

// KXC_Close: waits 2000 ms for the worker, shuts the caller's frame off from
// it, reports "Calibration closed" or
// "WRN: Calibration closed by time-out" (code 2) and closes the record to
// further reports. The caller then drops its reference. After a time-out the
// worker is told to stop (abort and running words); when its callback is
// still busy after a further 500 ms, the closing report goes to the log only,
// so the caller's callback is never entered twice at once and a blocked
// callback cannot hold the close.
void CloseCalibration(CalibrationRun& run);

// The job's one report path, from the worker, band threads and the caller's
// thread: takes the report lock (slot 1), stores the text, writes the log
// line (kind 0 plain, 1 timed, 2 error and a flush; empty texts none) and
// calls the report hook with kind and code stored in the record.
// progress, when 0 or more, is stored into the record with the report (under
// the report lock, so a close's report never meets a half-made record).
void ReportCalibration(CalibrationRun& run, int kind, int code, const std::string& text, int progress = -1);

// The worker: runs the chain; returns 0 success, -1 stopped before a step,
// 2 offset failed, 3 gain failed, 1 bad pixels, despeckle or replacement failed.
int RunCalibration(CalibrationRun& run);

// Saves a step dump "$c<name>.raw" when SaveTempCalFrames is on: the frame-
// sized buffer as it is, or with flag bit 31 cut and rotated to the image.
void DumpCalibrationStep(const CalibrationRun& run, const std::string& name, const std::int16_t* buffer);

// The dispatcher behind the report hook: the get-image window's hook first
// (Library::calibrationWindowHook, when set), then the caller's callback.
void DispatchCalibrationReport(CalibrationJob* job);

}  // namespace kordex
