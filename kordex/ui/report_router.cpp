// Routing of activity reports to the running get-image window.
#include "ui/report_router.h"

#include "acquisition/acquisition_session.h"
#include "frame/library.h"
#include "ui/get_image_sequence.h"

namespace kordex::ui {

bool ReportRouter::Attach(GetImageSequence* sequence)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (running_ != nullptr) return false;
        running_ = sequence;
    }
    // No job of this window runs yet, so its workers never see the hooks
    // change under them.
    Library& lib = Lib();
    lib.calibrationWindowHook = [](CalibrationJob* job) { Router().Calibration(job); };
    lib.processingWindowHook = [](ProcessingJob* job) { Router().Processing(job); };
    kordex::Acquisition().SetReportObserver([](AcqStatus* status) { Router().Acquisition(status); });
    return true;
}

void ReportRouter::Detach(GetImageSequence* sequence)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (running_ != sequence) return;
        running_ = nullptr;
    }
    kordex::Acquisition().SetReportObserver({});
    Library& lib = Lib();
    lib.calibrationWindowHook = nullptr;
    lib.processingWindowHook = nullptr;
}

bool ReportRouter::Cancel()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_ == nullptr) return false;
    running_->RequestCancel();
    return true;
}

void ReportRouter::Acquisition(AcqStatus* status)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_ != nullptr) running_->OnAcquisitionReport(status);
}

void ReportRouter::Calibration(CalibrationJob* job)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_ != nullptr) running_->OnCalibrationReport(job);
}

void ReportRouter::Processing(ProcessingJob* job)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_ != nullptr) running_->OnProcessingReport(job);
}

ReportRouter& Router()
{
    static ReportRouter router;
    return router;
}

}  // namespace kordex::ui
