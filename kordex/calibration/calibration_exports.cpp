// The calibration exports KXC_Process, KXC_Abort and KXC_Close.
//
// The library keeps every running job in a table keyed by the record the
// caller holds, so an abort or close with a pointer that is not (or no
// longer) a job is ignored instead of touching unknown memory. No exception
// leaves these functions.
#include <exception>
#include <map>
#include <memory>
#include <mutex>

#include "calibration/calibration_driver.h"
#include "frame/export_guard.h"
#include "frame/library.h"
#include "kordex.h"
#include "platform/text.h"

namespace {

struct JobTable {
    std::mutex mutex;
    std::map<const CalibrationJob*, std::shared_ptr<kordex::CalibrationRun>> runs;
};

JobTable& Jobs()
{
    static JobTable table;
    return table;
}

std::shared_ptr<kordex::CalibrationRun> Find(const CalibrationJob* job)
{
    JobTable& t = Jobs();
    std::lock_guard<std::mutex> lock(t.mutex);
    const auto it = t.runs.find(job);
    return it == t.runs.end() ? nullptr : it->second;
}

// Known before the worker starts: its first callback may already abort.
void Remember(const std::shared_ptr<kordex::CalibrationRun>& run)
{
    JobTable& t = Jobs();
    std::lock_guard<std::mutex> lock(t.mutex);
    t.runs[&run->job] = run;
}

void Forget(const CalibrationJob* job)
{
    JobTable& t = Jobs();
    std::lock_guard<std::mutex> lock(t.mutex);
    t.runs.erase(job);
}

}  // namespace

extern "C" {

KX_API CalibrationJob* KXC_Process(uint32_t flags, KX_Callback callback, void* context, int16_t* frame)
{
    return kordex::Guarded(__func__, static_cast<CalibrationJob*>(nullptr), [&]() -> CalibrationJob* {
        kordex::Library& lib = kordex::Lib();
        if (!frame) {
            lib.log.Error("Calibration needs a frame buffer", 0, false);
            return nullptr;
        }
        std::shared_ptr<kordex::CalibrationRun> run;
        try {
            run = kordex::PrepareCalibration(flags, callback, context, frame);
            Remember(run);
            kordex::LaunchCalibration(run);
            return &run->job;
        } catch (const std::exception& e) {
            if (run) Forget(&run->job);
            lib.log.Error(platform::Format("Can't start calibration: %s", e.what()), 0, false);
            return nullptr;
        }
    });
}

KX_API int32_t KXC_Abort(CalibrationJob* job)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        if (!job) return 0;
        const std::shared_ptr<kordex::CalibrationRun> run = Find(job);
        if (!run) return 0;
        kordex::AbortCalibration(*run);
        return 1;
    });
}

KX_API void KXC_Close(CalibrationJob* job)
{
    kordex::GuardedVoid(__func__, [&] {
        if (!job) return;
        std::shared_ptr<kordex::CalibrationRun> run = Find(job);
        if (!run) return;
        kordex::CloseCalibration(*run);
        Forget(job);
    });
}

}  // extern "C"
