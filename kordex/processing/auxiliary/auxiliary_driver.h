// The auxiliary processing driver: a processing job whose mode is 300 or
// above runs one of three auxiliary processors on its worker thread instead
// of the standard chain -- the internal auxiliary chain (300..399),
// Calpost's PostPrc (400..499, libcalpost.so loaded for the job) or
// Toneforge's ImgProc_IntraOral (500 and above, linked).
//
// The job shares the standard job's record, exports, abort and close; its
// reports take slot 3, KXIP_Close waits 5000 ms and reports "Aux IP closed"
// or "WRN: Aux IP closed by timeout". Reports of a job, in order:
//   (1, 21) "Aux IP [IP<n>] started", (0, 20) "Mode name: <caption>", then
//   (1, 21) "Aux IP done" with progress 255 -- or one error (2, -20):
//   message 330 when the mode's section has no caption, else the
//   processor's text (332, 333) or message 331. An aborted job (abort state
//   1) ends without further reports. The worker's exit code is always 0.
//
// Dumps (SaveTempImgProcess on) go to the job's image folder as
// "$io<name>" ("$io1normal.raw", ...); the internal chain's statistics line
// goes to "$io$prcsstd.txt" there.
#pragma once

#include <cstdint>
#include <memory>

#include "kordex.h"
#include "processing/processing_driver.h"

namespace kordex::auxiliary {

inline constexpr int kAuxiliaryCloseTimeoutMs = 5000;
inline constexpr int kFirstCalpostMode = 400;
inline constexpr int kFirstToneforgeMode = 500;
inline constexpr const char* kStatisticsFile = "$prcsstd.txt";

// Slot 3, 5000 ms, "Aux IP closed" / "WRN: Aux IP closed by timeout", abort
// message 350 ("Abort IP").
extern const JobKind kAuxiliaryJob;

// Prepares an auxiliary job (behind KXIP_Process with a mode of 300 or
// above): the record with the settings, the paths and the outline. Nothing
// is read from the mode's section yet and nothing runs.
std::shared_ptr<ProcessingRun> PrepareAuxiliary(std::int32_t flags, KX_Callback callback, void* window,
                                                std::int16_t* image, int mode);

// The worker (see above). Returns 0.
int RunAuxiliary(ProcessingRun& run);

}  // namespace kordex::auxiliary
