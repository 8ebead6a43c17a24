// The processing driver: one job turns a calibrated, cut image into the
// finished radiograph in place, on a worker thread of its own, under a
// standard processing mode (1..299): despeckle (flag 1), outline fill, grey-
// scale remap (flag 2), unsharp mask (flag 4), then the final stage, which
// always runs, and the outline set to 0. Auxiliary jobs (modes 300 and
// above, processing/auxiliary/) share the record, the reports, the abort and
// the close; their kind gives the report slot, the close time-out and texts
// and the worker.
//
// Ownership: the library owns the run record; the caller sees its first
// member, the public ProcessingJob, from KXIP_Process to KXIP_Close. The
// worker holds the record jointly, so a worker left running after the close
// time-out never writes freed memory; the close sets the abort state so it
// stops at its next row, and its later reports are dropped. The worker
// processes a copy of the caller's image taken in KXIP_Process and hands the
// result over through the record's CallerBuffer when it ends (before "IP
// done" or "Aux IP done"); the close shuts that gate, so the caller's image
// is never touched after KXIP_Close has returned.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "frame/caller_buffer.h"
#include "frame/settings.h"
#include "frame/worker_thread.h"
#include "kordex.h"
#include "platform/profile_file.h"
#include "processing/ip_params.h"

namespace kordex {

inline constexpr std::int32_t kIpDespeckle = 1;
inline constexpr std::int32_t kIpRemap = 2;
inline constexpr std::int32_t kIpUnsharpMask = 4;
inline constexpr int kProcessingCloseTimeoutMs = 4000;
inline constexpr int kProcessingSlot = 2;
inline constexpr int kFirstAuxiliaryMode = 300;

struct ProcessingRun;

// What differs between a standard and an auxiliary job.
struct ProcessingJobKind {
    int slot;                         // report slot of LockSlots
    int closeTimeoutMs;               // KXIP_Close's wait for the worker
    const char* closedText;           // the close report when the worker ended
    const char* closedByTimeoutText;  // ... and when the wait timed out
    int (*worker)(ProcessingRun& run);
};

// Slot 2, 4000 ms, "IP closed", RunProcessing.
extern const ProcessingJobKind kStandardJob;

struct ProcessingRun {
    ProcessingJob job{};           // first member: the record the caller sees
    const ProcessingJobKind* kind = &kStandardJob;
    LibrarySettings settings;      // taken when the job starts
    platform::ProfileFile profile; // the worker's own accessor of the settings file
    IpParams params;               // the mode's parameters, read at the start
    std::string caption;           // the mode's caption
    std::string homePath;          // ends in "/"
    std::string dumpDir;           // the image folder, ends in "/"
    std::vector<std::int16_t> imageMask;  // the outline cut to the image; empty = none
    std::vector<std::int16_t> image;      // the worker's copy of the caller's image
    std::unique_ptr<CallerBuffer> caller; // the caller's image, behind the close's gate
    std::recursive_mutex reportMutex;
    std::atomic<bool> closed{false};
    std::unique_ptr<WorkerThread> worker;
};

// Prepares a standard job (behind KXIP_Process): mode 0 has already been
// replaced by IPDefaultModeNumber; reads the mode's parameters. Nothing runs.
// With readParams false (auxiliary jobs) the record gets the settings, the
// paths and the outline but no IpParams.
std::shared_ptr<ProcessingRun> PrepareProcessing(std::int32_t flags, KX_Callback callback, void* window,
                                                 std::int16_t* image, int mode, bool readParams = true);

// Installs the report hook, frees the kind's report slot and starts the
// kind's worker.
// Throws std::system_error when no thread can be started.
void LaunchProcessing(const std::shared_ptr<ProcessingRun>& run);

// KXIP_Abort: abort state 1; while the worker runs, running state -1 and the
// error report of message 350 "Abort IP" (code 1).
void AbortProcessing(ProcessingRun& run);

// KXIP_Close: waits for the worker (4000 ms for a standard job), shuts the
// caller's image off from it, reports
// "IP closed" or "WRN: IP closed by timeout" (code 2; the auxiliary kind's
// texts for an auxiliary job) and closes the record to further reports.
void CloseProcessing(ProcessingRun& run);

// IpReport: kind 0 plain log line, 1 timed line, 2 error line and a log
// flush; an empty text only refreshes (no log line). Stores kind and code
// and calls the report hook. From the worker or the caller's thread; takes
// the job kind's report slot (2 standard, 3 auxiliary).
// progress, when 0 or more, is stored into the record with the report, under
// the report lock.
void IpReport(ProcessingRun& run, int kind, int code, const std::string& text, int progress = -1);

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

// The dispatcher behind the report hook: the get-image window's hook first,
// then the caller's callback.
void DispatchProcessingReport(ProcessingJob* job);

}  // namespace kordex
