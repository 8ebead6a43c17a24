// The processing exports KXIP_Process, KXIP_Abort and KXIP_Close: doors into
// the library's table of processing jobs. Modes of 300 and above start an
// auxiliary job; a negative mode is refused with an error line. No
// exception leaves them.
#include "frame/export_guard.h"
#include "frame/job_table.h"
#include "frame/library.h"
#include "kordex.h"
#include "platform/text.h"
#include "processing/auxiliary/auxiliary_driver.h"
#include "processing/processing_driver.h"

namespace {

kordex::JobTable<kordex::ProcessingRun>& Jobs()
{
    static kordex::JobTable<kordex::ProcessingRun> table;
    return table;
}

}  // namespace

extern "C" {

KX_API ProcessingJob* KXIP_Process(int32_t flags, KX_Callback callback, void* window, int16_t* image, int32_t mode)
{
    return kordex::Guarded(__func__, static_cast<ProcessingJob*>(nullptr), [&]() -> ProcessingJob* {
        kordex::Library& lib = kordex::Lib();
        if (!image) {
            lib.log.Error("Image processing needs an image buffer", 0, false);
            return nullptr;
        }
        if (mode == 0) mode = lib.settings.ipDefaultModeNumber;
        if (mode < 0) {
            lib.log.Error(platform::Format("Processing mode %d is not available in this library", mode), 0, false);
            lib.log.Flush();
            return nullptr;
        }
        return Jobs().Start(
            "image processing",
            [&] {
                return mode >= kordex::kFirstAuxiliaryMode
                           ? kordex::auxiliary::PrepareAuxiliary(flags, callback, window, image, mode)
                           : kordex::PrepareProcessing(flags, callback, window, image, mode);
            },
            [](const std::shared_ptr<kordex::ProcessingRun>& run) { kordex::LaunchProcessing(run); });
    });
}

KX_API int32_t KXIP_Abort(ProcessingJob* job)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(0), [&] { return Jobs().Abort(job); });
}

KX_API void KXIP_Close(ProcessingJob* job)
{
    kordex::GuardedVoid(__func__, [&] { Jobs().Close(job); });
}

}  // extern "C"
