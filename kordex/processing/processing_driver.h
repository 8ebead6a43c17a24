// The processing driver: one job turns a calibrated, cut image into the
// finished radiograph in place, on a worker thread of its own, under a
// standard processing mode (1..299): despeckle (flag 1), outline fill, grey-
// scale remap (flag 2), unsharp mask (flag 4), then the final stage, which
// always runs, and the outline set to 0. Auxiliary jobs (modes 300 and
// above, processing/auxiliary/) share the record, the reports, the abort and
// the close; their kind gives the report slot, the close time-out and texts
// and the worker.
//
// The run is a WorkerJob (frame/worker_job.h: ownership, reports, abort and
// close). The worker processes a copy of the caller's image taken in
// KXIP_Process and hands the result over through the job's CallerBuffer
// when it ends (before "IP done" or "Aux IP done"); the close shuts that
// gate, so the caller's image is never touched after KXIP_Close has
// returned.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "frame/settings.h"
#include "frame/worker_job.h"
#include "kordex.h"
#include "platform/profile_file.h"
#include "processing/ip_params.h"

namespace kordex {

inline constexpr std::int32_t kIpDespeckle = 1;
inline constexpr std::int32_t kIpRemap = 2;
inline constexpr std::int32_t kIpUnsharpMask = 4;
inline constexpr int kProcessingCloseTimeoutMs = 4000;
inline constexpr int kFirstAuxiliaryMode = 300;

// Slot 2, 4000 ms, "IP closed" / "WRN: IP closed by timeout", abort message
// 350 ("Abort IP"); a report without text keeps the record's text.
extern const JobKind kStandardJob;

struct ProcessingRun : WorkerJob<ProcessingJob> {
    ProcessingRun();

    int (*worker)(ProcessingRun& run);  // RunProcessing, or the auxiliary worker
    LibrarySettings settings;      // taken when the job starts
    platform::ProfileFile profile; // the worker's own accessor of the settings file
    IpParams params;               // the mode's parameters, read at the start
    std::string caption;           // the mode's caption
    std::string homePath;          // ends in "/"
    std::string dumpDir;           // the image folder, ends in "/"
    std::vector<std::int16_t> imageMask;  // the outline cut to the image; empty = none
    std::vector<std::int16_t> image;      // the worker's copy of the caller's image
};

// Prepares a standard job (behind KXIP_Process): mode 0 has already been
// replaced by IPDefaultModeNumber; reads the mode's parameters. Nothing runs.
// With readParams false (auxiliary jobs) the record gets the settings, the
// paths and the outline but no IpParams.
std::shared_ptr<ProcessingRun> PrepareProcessing(std::int32_t flags, KX_Callback callback, void* window,
                                                 std::int16_t* image, int mode, bool readParams = true);

// Starts the run's worker. Throws std::system_error when no thread can be
// started.
void LaunchProcessing(const std::shared_ptr<ProcessingRun>& run);

// The worker. Returns 0 done, -1 aborted between stages, 2 a stage failed.
int RunProcessing(ProcessingRun& run);

// Hands the worker's image as it stands to the caller (nothing once the
// close has shut the gate). Every worker calls it when it ends: before its
// final report on success, else before it returns.
void HandOverImage(ProcessingRun& run);

// The stage context of the run: its image, settings, parameters, abort
// state, messages, reports and "$i" dumps.
struct StageContext;
StageContext MakeContext(ProcessingRun& run);

// The "$i<name>.raw" dump of a width x height buffer, when dumps are on.
void Dump(const ProcessingRun& run, const std::string& name, const std::int16_t* buffer);

// FillOutline (image form) of the run's image with value; nothing without
// an outline.
void FillImageOutline(ProcessingRun& run, int value);

}  // namespace kordex
