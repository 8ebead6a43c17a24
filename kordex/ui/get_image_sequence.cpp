// The get-image stage machine (see the header for the rules both windows
// share). Stage changes happen only in Handle, in the window's thread; the
// report functions decide, from one report, which message to post.
#include "ui/get_image_sequence.h"

#include "platform/text.h"

namespace kordex::ui {

std::string TitleWithPercent(const std::string& title, bool hadPercent, int percent)
{
    std::string base = title;
    if (hadPercent) {
        const std::size_t blank = base.rfind(' ');
        if (blank != std::string::npos) base.erase(blank);
    }
    return platform::Format("%s %d%%", base.c_str(), percent);
}

int AcquiredLinePercent(const FrameGeometry& g, int line)
{
    const int end = g.frameHeight - g.rawBottom;
    if (line < g.rawTop || line >= end) return -1;
    return (line - g.rawTop + 1) * 100 / (end - g.rawTop);
}

GetImageSequence::GetImageSequence(WindowKind kind, const StageSettings& stages, const FrameGeometry& geometry,
                                   StageDriver& driver, SequenceHost& host)
    : kind_(kind), stages_(stages), geometry_(geometry), driver_(driver), host_(host)
{
}

void GetImageSequence::Start()
{
    host_.Post(kMsgAcquisition, 0);
}

// ---------------------------------------------------------------- errors

void GetImageSequence::Error(const char* text)
{
    std::lock_guard<std::mutex> lock(errorMutex_);
    ++errors_;
    if (firstError_.empty() && text != nullptr) firstError_ = text;
}

void GetImageSequence::RecordUnlessText(const char* text)
{
    std::lock_guard<std::mutex> lock(errorMutex_);
    if (firstError_.empty()) firstError_ = text;
}

bool GetImageSequence::HasErrors()
{
    return ErrorCount() > 0;
}

int GetImageSequence::ErrorCount()
{
    std::lock_guard<std::mutex> lock(errorMutex_);
    return errors_;
}

std::string GetImageSequence::FirstError()
{
    std::lock_guard<std::mutex> lock(errorMutex_);
    return firstError_;
}

bool GetImageSequence::ShowsErrorBox()
{
    std::lock_guard<std::mutex> lock(errorMutex_);
    return !cancelled_.load() && errors_ > 0 && !firstError_.empty();
}

// ---------------------------------------------------------------- window helpers

void GetImageSequence::SetTitle(const std::string& title)
{
    title_ = title;
    lastPercent_ = -1;
    host_.SetTitle(title_);
}

void GetImageSequence::ShowPercent(int percent)
{
    if (percent == lastPercent_) return;
    title_ = TitleWithPercent(title_, lastPercent_ >= 0, percent);
    lastPercent_ = percent;
    host_.SetTitle(title_);
}

void GetImageSequence::EndWith(int result)
{
    if (ended_) return;
    ended_ = true;
    // A cancelled sequence never reports success, even when its last stage
    // happened to finish before the abort reached it.
    result_ = cancelled_.load() ? 2 : result;
    host_.End(result_);
}

void GetImageSequence::SetBannerState(int state)
{
    bannerState_.store(state);
    host_.StateChanged();
}

// ---------------------------------------------------------------- messages

void GetImageSequence::Handle(int message, int parameter)
{
    if (ended_) return;
    switch (message) {
    case kMsgAcquisition:
        parameter == 0 ? AcquisitionStart() : AcquisitionFinished();
        break;
    case kMsgCalibration:
        parameter == 0 ? CalibrationStart() : CalibrationFinished();
        break;
    case kMsgProcessing:
        parameter == 0 ? ProcessingStart() : ProcessingFinished();
        break;
    case kMsgPreviewEnd:
    case kMsgBannerEnd:
        EndWith(HasErrors() ? 2 : 1);
        break;
    case kMsgPercent:
        ShowPercent(parameter);
        break;
    case kMsgCancel:
        TryCancel(parameter);
        break;
    case kMsgLines: {
        if (firstData_.exchange(false)) host_.StopShotTimer();
        const int percent = AcquiredLinePercent(geometry_, parameter);
        if (percent < 0) break;
        host_.DrawLines(parameter);
        ShowPercent(percent);
        if (stages_.acquisition.flags & 6) host_.DisableCancel();
        break;
    }
    case kMsgRedraw:
        if (calibration_ != nullptr)
            host_.DrawImage(stages_.calibration.image, true);
        else if (processing_ != nullptr)
            host_.DrawImage(stages_.processing.image, false);
        break;
    default:
        break;
    }
}

void GetImageSequence::StartFailed(const char* previewText, void (GetImageSequence::*finished)())
{
    if (kind_ == WindowKind::Preview) {
        Error(previewText);
        return EndWith(2);
    }
    Error(nullptr);
    (this->*finished)();
}

template <typename Job>
void GetImageSequence::CloseStage(Job*& handle, std::atomic<bool>& active, void (StageDriver::*close)(Job*))
{
    if (handle != nullptr) (driver_.*close)(handle);
    handle = nullptr;
    active.store(false);
}

void GetImageSequence::AcquisitionStart()
{
    if (cancelled_.load()) return EndWith(2);
    const AcquisitionStage& stage = stages_.acquisition;
    if (stage.frame == nullptr) return host_.Post(kMsgCalibration, 0);
    if (kind_ == WindowKind::Preview) host_.ClearPreview();

    acquisitionActive_.store(true);
    acquisition_ = driver_.Connect(stage);
    if (acquisition_ == nullptr) {
        acquisitionActive_.store(false);
        return StartFailed(kAcquisitionStartFailed, &GetImageSequence::AcquisitionFinished);
    }
    SetTitle(driver_.Message((stage.flags & 1) ? 1 : 0));
    if (!driver_.StartFrame(acquisition_)) {
        Error(kind_ == WindowKind::Preview ? kAcquisitionStartFailed : nullptr);
        return AcquisitionFinished();
    }
    if (kind_ == WindowKind::Preview) host_.StartShotTimer();
}

void GetImageSequence::AcquisitionFinished()
{
    if (acquisitionFinished_) return;
    acquisitionFinished_ = true;
    if (kind_ == WindowKind::Preview) {
        host_.StopShotTimer();
        const bool later = stages_.calibration.image != nullptr || stages_.processing.image != nullptr;
        if (!HasErrors() && !later) host_.DrawImage(stages_.acquisition.frame, true);
        if (acquisition_ == nullptr) return host_.Post(HasErrors() ? kMsgPreviewEnd : kMsgCalibration, 0);
        // The close report posts the next step.
        return CloseStage(acquisition_, acquisitionActive_, &StageDriver::CloseAcquisition);
    }
    CloseStage(acquisition_, acquisitionActive_, &StageDriver::CloseAcquisition);
    if (HasErrors()) {
        RecordUnlessText(kAcquisitionFault);
        return host_.Post(kMsgBannerEnd, 0);
    }
    host_.Post(kMsgCalibration, 0);
}

void GetImageSequence::CalibrationStart()
{
    if (cancelled_.load()) return EndWith(2);
    const CalibrationStage& stage = stages_.calibration;
    if (kind_ == WindowKind::Preview)
        host_.ShowStageProgress();
    else
        SetBannerState(kBannerOptimising);
    if (stage.image == nullptr) return host_.Post(kMsgProcessing, 0);
    if (kind_ == WindowKind::Preview && stages_.acquisition.frame == nullptr) host_.DrawImage(stage.image, true);

    calibrationActive_.store(true);
    calibration_ = driver_.StartCalibration(stage);
    if (calibration_ == nullptr) {
        calibrationActive_.store(false);
        return StartFailed(kCalibrationStartFailed, &GetImageSequence::CalibrationFinished);
    }
    SetTitle(driver_.Message(2));
}

void GetImageSequence::CalibrationFinished()
{
    if (calibrationFinished_) return;
    calibrationFinished_ = true;
    const CalibrationStage& stage = stages_.calibration;
    if (kind_ == WindowKind::Preview) {
        if (!HasErrors() && stage.cutImage != nullptr) driver_.CutImage(stage.image, stage.cutImage);
        if (calibration_ == nullptr) return host_.Post(HasErrors() ? kMsgPreviewEnd : kMsgProcessing, 0);
        return CloseStage(calibration_, calibrationActive_, &StageDriver::CloseCalibration);
    }
    CloseStage(calibration_, calibrationActive_, &StageDriver::CloseCalibration);
    if (HasErrors()) {
        RecordUnlessText(kCalibrationFault);
        return host_.Post(kMsgBannerEnd, 0);
    }
    if (stage.cutImage != nullptr) driver_.CutImage(stage.image, stage.cutImage);
    host_.Post(kMsgProcessing, 0);
}

void GetImageSequence::ProcessingStart()
{
    if (cancelled_.load()) return EndWith(2);
    const ProcessingStage& stage = stages_.processing;
    if (stage.image == nullptr) return host_.Post(EndMessage(), 0);
    if (kind_ == WindowKind::Preview && stages_.calibration.image == nullptr) host_.DrawImage(stage.image, false);

    processingActive_.store(true);
    processing_ = driver_.StartProcessing(stage);
    if (processing_ == nullptr) {
        processingActive_.store(false);
        return StartFailed(kProcessingStartFailed, &GetImageSequence::ProcessingFinished);
    }
    SetTitle(driver_.Message(3));
}

void GetImageSequence::ProcessingFinished()
{
    if (processingFinished_) return;
    processingFinished_ = true;
    if (kind_ == WindowKind::Preview && processing_ != nullptr) {
        // Its close report posts 0x36C8.
        return CloseStage(processing_, processingActive_, &StageDriver::CloseProcessing);
    }
    CloseStage(processing_, processingActive_, &StageDriver::CloseProcessing);
    if (HasErrors() && kind_ == WindowKind::Banner) RecordUnlessText(kProcessingFault);
    host_.Post(EndMessage(), 0);
}

// ---------------------------------------------------------------- cancel

void GetImageSequence::RequestCancel()
{
    cancelled_.store(true);
    host_.Post(kMsgCancel, 0);
}

void GetImageSequence::TryCancel(int tryNumber)
{
    const bool preview = kind_ == WindowKind::Preview;
    if (acquisition_ != nullptr) {
        driver_.AbortAcquisition(acquisition_);
        if (preview) host_.Post(kMsgAcquisition, 1);
    } else if (calibration_ != nullptr) {
        driver_.AbortCalibration(calibration_);
        if (preview) host_.Post(kMsgCalibration, 1);
    } else if (processing_ != nullptr) {
        driver_.AbortProcessing(processing_);
        if (preview) host_.Post(kMsgProcessing, 1);
    } else if (tryNumber < 2) {
        host_.ScheduleCancelTry(tryNumber + 1);
    } else {
        EndWith(2);
    }
}

void GetImageSequence::CloseAll()
{
    CloseStage(acquisition_, acquisitionActive_, &StageDriver::CloseAcquisition);
    if (calibration_ != nullptr) driver_.AbortCalibration(calibration_);
    CloseStage(calibration_, calibrationActive_, &StageDriver::CloseCalibration);
    if (processing_ != nullptr) driver_.AbortProcessing(processing_);
    CloseStage(processing_, processingActive_, &StageDriver::CloseProcessing);
}

// ---------------------------------------------------------------- reports

void GetImageSequence::OnAcquisitionReport(AcqStatus* status)
{
    if (!acquisitionActive_.load()) return;
    const bool preview = kind_ == WindowKind::Preview;
    if (status->event == KX_EVENT_CLOSED) {
        if (preview) host_.Post(HasErrors() ? kMsgPreviewEnd : kMsgCalibration, 0);
        return;
    }
    if (status->kind >= KX_REPORT_ERROR) {
        if (!preview) status->callback = nullptr;
        Error(status->text);
        host_.Post(kMsgAcquisition, 1);
        return;
    }
    if (status->event == KX_EVENT_PROGRESS) {
        if (status->progress > 100) {
            if (!preview) status->callback = nullptr;
            host_.Post(kMsgAcquisition, 1);
        } else if (status->progress == 0 && !preview) {
            SetBannerState(kBannerWaiting);
        }
    } else if (status->event == KX_EVENT_DATA) {
        if (preview)
            host_.Post(kMsgLines, status->lines - 1);
        else
            SetBannerState(kBannerCapturing);
    }
}

// Calibration and processing report alike: code 2 closed, code 21 progress
// (above 100 when done), kind 2 and above an error.
template <typename Job>
void GetImageSequence::OnJobReport(Job* job, const std::atomic<bool>& active, int stageMessage, int nextAfterClose)
{
    if (!active.load()) return;
    const bool preview = kind_ == WindowKind::Preview;
    if (job->code == KX_EVENT_CLOSED) {
        if (preview) host_.Post(HasErrors() ? kMsgPreviewEnd : nextAfterClose, 0);
        return;
    }
    if (job->kind >= KX_REPORT_ERROR) {
        if (!preview) job->callback = nullptr;
        Error(job->text);
        host_.Post(stageMessage, 1);
        return;
    }
    if (job->code != KX_EVENT_PROGRESS) return;
    if (job->progress > 100) {
        if (!preview) job->callback = nullptr;
        host_.Post(stageMessage, 1);
    } else if (preview) {
        host_.Post(kMsgPercent, job->progress);
        if (job->progress > 0) host_.Post(kMsgRedraw, 0);
    }
}

void GetImageSequence::OnCalibrationReport(CalibrationJob* job)
{
    OnJobReport(job, calibrationActive_, kMsgCalibration, kMsgProcessing);
}

void GetImageSequence::OnProcessingReport(ProcessingJob* job)
{
    OnJobReport(job, processingActive_, kMsgProcessing, kMsgPreviewEnd);
}

}  // namespace kordex::ui
