// The calibration driver: one job turns a raw sensor frame into a calibrated
// frame on a worker thread of its own, running the steps selected
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
// The run is a WorkerJob (frame/worker_job.h: ownership, reports, abort and
// close). The worker calibrates a copy of the caller's frame taken in
// KXC_Process and hands the result over through the job's CallerBuffer when
// it ends (before "Calibration done"); the close shuts that gate, so the
// caller's frame is never touched after KXC_Close has returned.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "frame/settings.h"
#include "frame/worker_job.h"
#include "kordex.h"

namespace kordex {

inline constexpr std::uint32_t kCalOffset = 1u << 0;
inline constexpr std::uint32_t kCalGain = 1u << 1;
inline constexpr std::uint32_t kCalBadPixels = 1u << 2;
inline constexpr std::uint32_t kCalDespeckle = 1u << 3;
inline constexpr std::uint32_t kCalAllowHardwareDark = 1u << 30;
inline constexpr std::uint32_t kCalDumpToImageFolder = 1u << 31;
inline constexpr int kCalibrationCloseTimeoutMs = 2000;

// Slot 1, 2000 ms, "Calibration closed" / "WRN: Calibration closed by
// time-out", abort message 250 ("Abort calibration").
extern const JobKind kCalibrationJob;

struct CalibrationRun : WorkerJob<CalibrationJob> {
    CalibrationRun();

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
};

// Prepares a job (behind KXC_Process): the record is filled from the
// library's current settings; nothing runs yet.
std::shared_ptr<CalibrationRun> PrepareCalibration(std::uint32_t flags, KX_Callback callback, void* context,
                                                   std::int16_t* frame);

// Starts the worker. The caller makes the job known (for KXC_Abort from a
// callback) before this. Throws std::system_error when no thread can be
// started.
void LaunchCalibration(const std::shared_ptr<CalibrationRun>& run);

// The worker: runs the chain; returns 0 success, -1 stopped before a step,
// 2 offset failed, 3 gain failed, 1 bad pixels, despeckle or replacement failed.
int RunCalibration(CalibrationRun& run);

// Saves a step dump "$c<name>.raw" when SaveTempCalFrames is on: the frame-
// sized buffer as it is, or with flag bit 31 cut and rotated to the image.
void DumpCalibrationStep(const CalibrationRun& run, const std::string& name, const std::int16_t* buffer);

}  // namespace kordex
