// The calibration exports KXC_Process, KXC_Abort and KXC_Close: doors into
// the library's table of calibration jobs. No exception leaves them.
#include "calibration/calibration_driver.h"
#include "frame/export_guard.h"
#include "frame/job_table.h"
#include "frame/library.h"
#include "kordex.h"

namespace {

kordex::JobTable<kordex::CalibrationRun>& Jobs()
{
    static kordex::JobTable<kordex::CalibrationRun> table;
    return table;
}

}  // namespace

extern "C" {

KX_API CalibrationJob* KXC_Process(uint32_t flags, KX_Callback callback, void* context, int16_t* frame)
{
    return kordex::Guarded(__func__, static_cast<CalibrationJob*>(nullptr), [&]() -> CalibrationJob* {
        if (!frame) {
            kordex::Lib().log.Error("Calibration needs a frame buffer", 0, false);
            return nullptr;
        }
        return Jobs().Start(
            "calibration", [&] { return kordex::PrepareCalibration(flags, callback, context, frame); },
            [](const std::shared_ptr<kordex::CalibrationRun>& run) { kordex::LaunchCalibration(run); });
    });
}

KX_API int32_t KXC_Abort(CalibrationJob* job)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(0), [&] { return Jobs().Abort(job); });
}

KX_API void KXC_Close(CalibrationJob* job)
{
    kordex::GuardedVoid(__func__, [&] { Jobs().Close(job); });
}

}  // extern "C"
