// The processing exports KXIP_Process, KXIP_Abort and KXIP_Close.
//
// The library keeps every running job in a table keyed by the record the
// caller holds, so an abort or close with a pointer that is not (or no
// longer) a job is ignored instead of touching unknown memory. Modes of 300
// and above start an auxiliary job; a negative mode is refused with an error
// line. No exception leaves these functions.
#include <exception>
#include <map>
#include <memory>
#include <mutex>

#include "frame/export_guard.h"
#include "frame/library.h"
#include "kordex.h"
#include "platform/text.h"
#include "processing/auxiliary/auxiliary_driver.h"
#include "processing/processing_driver.h"

namespace {

struct JobTable {
    std::mutex mutex;
    std::map<const ProcessingJob*, std::shared_ptr<kordex::ProcessingRun>> runs;
};

JobTable& Jobs()
{
    static JobTable table;
    return table;
}

std::shared_ptr<kordex::ProcessingRun> Find(const ProcessingJob* job)
{
    JobTable& t = Jobs();
    std::lock_guard<std::mutex> lock(t.mutex);
    const auto it = t.runs.find(job);
    return it == t.runs.end() ? nullptr : it->second;
}

void Remember(const std::shared_ptr<kordex::ProcessingRun>& run)
{
    JobTable& t = Jobs();
    std::lock_guard<std::mutex> lock(t.mutex);
    t.runs[&run->job] = run;
}

void Forget(const ProcessingJob* job)
{
    JobTable& t = Jobs();
    std::lock_guard<std::mutex> lock(t.mutex);
    t.runs.erase(job);
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
        std::shared_ptr<kordex::ProcessingRun> run;
        try {
            run = mode >= kordex::kFirstAuxiliaryMode
                      ? kordex::auxiliary::PrepareAuxiliary(flags, callback, window, image, mode)
                      : kordex::PrepareProcessing(flags, callback, window, image, mode);
            Remember(run);
            kordex::LaunchProcessing(run);
            return &run->job;
        } catch (const std::exception& e) {
            if (run) Forget(&run->job);
            lib.log.Error(platform::Format("Can't start image processing: %s", e.what()), 0, false);
            return nullptr;
        }
    });
}

KX_API int32_t KXIP_Abort(ProcessingJob* job)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        if (!job) return 0;
        const std::shared_ptr<kordex::ProcessingRun> run = Find(job);
        if (!run) return 0;
        kordex::AbortProcessing(*run);
        return 1;
    });
}

KX_API void KXIP_Close(ProcessingJob* job)
{
    kordex::GuardedVoid(__func__, [&] {
        if (!job) return;
        std::shared_ptr<kordex::ProcessingRun> run = Find(job);
        if (!run) return;
        kordex::CloseProcessing(*run);
        Forget(job);
    });
}

}  // extern "C"
