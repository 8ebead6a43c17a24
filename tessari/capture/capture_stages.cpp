// One capture per process: the library's report records carry the context
// of acquisition and calibration, and the processing record the window, so
// the callbacks find this object through one process-wide pointer that lives
// exactly as long as the object.
#include "capture/capture_stages.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/text.h"

namespace tessari {

namespace {

std::atomic<CaptureStages*> g_current{nullptr};

constexpr int kCancelTries = 3;
constexpr std::chrono::milliseconds kCancelRetryDelay{25};
constexpr std::size_t kErrorTextCapacity = 256;

}  // namespace

std::uint32_t CalibrationFlagsForMode(int mode)
{
    return (mode >= 500 && mode <= 599) ? 0x8000000Fu : 0x80000007u;
}

CaptureStages::CaptureStages(const KordexApi& api, CaptureRequest request, std::int16_t* frame, std::int16_t* cut,
                             CaptureOutputs& outputs, Hooks hooks)
    : api_(api), request_(std::move(request)), frame_(frame), cut_(cut), outputs_(outputs), hooks_(std::move(hooks))
{
    g_current.store(this);
}

CaptureStages::~CaptureStages()
{
    Shutdown();
    g_current.store(nullptr);
}

std::string CalibrationNoteOf(const char* reportText)
{
    static constexpr struct {
        const char* report;
        const char* note;
    } kNotes[] = {
        {"WRN: dark.raw does not exist", "not offset-corrected: dark.raw missing"},
        {"WRN: GainCal calibration omitted", "not gain-corrected: no gain points"},
        {"WRN: BadPixMap omitted", "no bad-pixel correction: BPM.raw and BPMM.raw missing"},
    };
    if (reportText == nullptr) return {};
    for (const auto& n : kNotes)
        if (std::strcmp(reportText, n.report) == 0) return n.note;
    return {};
}

std::string CaptureStages::ErrorText() const
{
    std::lock_guard<std::mutex> lock(textMutex_);
    return errorText_;
}

std::vector<std::string> CaptureStages::CalibrationNotes() const
{
    std::lock_guard<std::mutex> lock(textMutex_);
    return calibrationNotes_;
}

void CaptureStages::CountError(const char* text)
{
    {
        std::lock_guard<std::mutex> lock(textMutex_);
        if (errorText_.empty() && text != nullptr) errorText_ = platform::Truncated(text, kErrorTextCapacity - 1);
    }
    errors_.fetch_add(1);
}

void CaptureStages::Post(int message, int param)
{
    if (hooks_.post) hooks_.post(message, param);
}

void CaptureStages::End(int result)
{
    if (ended_) return;
    ended_ = true;
    if (hooks_.end) hooks_.end(result);
}

// ---- reports (worker threads) ----

// A stage's last report: no further callbacks for it, the error (when the
// report is one) counted, and its finish message posted unless the user
// cancelled (the cancel finishes the stage itself).
void CaptureStages::StageFinished(KX_Callback& callback, int message, const char* errorText)
{
    callback = nullptr;
    if (errorText != nullptr) CountError(errorText);
    if (!Cancelled()) Post(message, 1);
}

int32_t CaptureStages::AcquisitionReport(void* record)
{
    auto* status = static_cast<AcqStatus*>(record);
    CaptureStages* self = g_current.load();
    if (status == nullptr || self == nullptr) return 0;
    if (status->kind >= KX_REPORT_ERROR) {
        self->StageFinished(status->callback, kMsgAcquisition, status->text);
    } else if (status->event == KX_EVENT_PROGRESS) {
        if (status->progress == 0)
            self->state_.store(static_cast<int>(DisplayState::Waiting));
        else if (status->progress > 100)
            self->StageFinished(status->callback, kMsgAcquisition, nullptr);
    } else if (status->event == KX_EVENT_DATA) {
        self->state_.store(static_cast<int>(DisplayState::Capturing));
    }
    return 0;
}

int32_t CaptureStages::CalibrationReport(void* record)
{
    auto* job = static_cast<CalibrationJob*>(record);
    CaptureStages* self = g_current.load();
    if (job == nullptr || self == nullptr) return 0;
    if (job->kind >= KX_REPORT_ERROR) {
        self->StageFinished(job->callback, kMsgCalibration, job->text);
    } else if (const std::string note = CalibrationNoteOf(job->text); !note.empty()) {
        std::lock_guard<std::mutex> lock(self->textMutex_);
        self->calibrationNotes_.push_back(note);
    } else if (job->code == KX_EVENT_PROGRESS) {
        if (job->progress == 0)
            self->state_.store(static_cast<int>(DisplayState::Optimising));
        else if (job->progress > 100)
            self->StageFinished(job->callback, kMsgCalibration, nullptr);
    }
    return 0;
}

int32_t CaptureStages::ProcessingReport(void* record)
{
    auto* job = static_cast<ProcessingJob*>(record);
    CaptureStages* self = g_current.load();
    if (job == nullptr || self == nullptr) return 0;
    if (job->kind >= KX_REPORT_ERROR)
        self->StageFinished(job->callback, kMsgProcessing, job->text);
    else if (job->code == KX_EVENT_PROGRESS && job->progress > 100)
        self->StageFinished(job->callback, kMsgProcessing, nullptr);
    return 0;
}

// ---- stage changes (window thread) ----

void CaptureStages::Handle(int message, int param)
{
    if (ended_) return;
    switch (message) {
    case kMsgAcquisition: param == 0 ? StartAcquisition() : FinishAcquisition(); break;
    case kMsgCalibration: param == 0 ? StartCalibration() : FinishCalibration(); break;
    case kMsgProcessing: param == 0 ? StartProcessing() : FinishProcessing(); break;
    case kMsgEnd: End(errors_.load() == 0 ? 1 : 2); break;
    default: break;
    }
}

void CaptureStages::StartAcquisition()
{
    const int32_t flags = request_.darkFrame ? 0 : 1;
    acquisition_ = api_.KXACQ_Connect(flags, &CaptureStages::AcquisitionReport, this, frame_, request_.vResetOverride);
    if (acquisition_ != nullptr && api_.KXACQ_StartFrame(acquisition_) != 0) return;
    // A failed start is an error even when the library reported none.
    if (errors_.load() == 0) CountError("Acquisition fault");
    Post(kMsgEnd, 0);
}

void CaptureStages::FinishAcquisition()
{
    if (acquisitionFinished_) return;
    acquisitionFinished_ = true;
    if (acquisition_ != nullptr) {
        api_.KXACQ_Close(acquisition_);
        acquisition_ = nullptr;
    }
    const bool ok = errors_.load() == 0 && !Cancelled();
    if (!request_.rawFileName.empty()) {
        // A frame that failed or was cancelled is not saved as the result.
        if (ok) outputs_.WriteRaw(request_.rawFileName, frame_, request_.frameWidth, request_.frameHeight);
        Post(kMsgEnd, 0);
        return;
    }
    if (!ok) {
        Post(kMsgEnd, 0);
        return;
    }
    if (request_.dumpTemps) outputs_.WriteRaw("$raw", frame_, request_.frameWidth, request_.frameHeight);
    Post(kMsgCalibration, 0);
}

void CaptureStages::StartCalibration()
{
    calibration_ = api_.KXC_Process(CalibrationFlagsForMode(request_.processingMode), &CaptureStages::CalibrationReport,
                                    this, frame_);
    if (calibration_ != nullptr) return;
    if (errors_.load() == 0) CountError("Calibration fault");
    Post(kMsgEnd, 0);
}

void CaptureStages::FinishCalibration()
{
    if (calibration_ == nullptr) return;
    api_.KXC_Close(calibration_);
    calibration_ = nullptr;
    if (errors_.load() != 0 || Cancelled()) {
        Post(kMsgEnd, 0);
        return;
    }
    api_.KXC_CutImage(frame_, cut_);
    if (hooks_.setTitle)
        hooks_.setTitle(platform::Format("Radiography image %dx%d", request_.cutWidth, request_.cutHeight));
    if (request_.dumpTemps) outputs_.WriteRaw("$cap", cut_, request_.cutWidth, request_.cutHeight);
    Post(request_.processingMode >= 0 ? kMsgProcessing : kMsgEnd, 0);
}

void CaptureStages::StartProcessing()
{
    processing_ = api_.KXIP_Process(7, &CaptureStages::ProcessingReport, hooks_.window, cut_, request_.processingMode);
    if (processing_ != nullptr) return;
    if (errors_.load() == 0) CountError("Img Prcs fault");
    Post(kMsgEnd, 0);
}

void CaptureStages::FinishProcessing()
{
    if (processing_ == nullptr) return;
    api_.KXIP_Close(processing_);
    processing_ = nullptr;
    if (errors_.load() == 0 && !Cancelled()) {
        if (request_.dumpTemps) outputs_.WriteRaw("$enh", cut_, request_.cutWidth, request_.cutHeight);
        outputs_.WriteImage(cut_, request_.cutWidth, request_.cutHeight, CalibrationNotes());
    }
    Post(kMsgEnd, 0);
}

void CaptureStages::Cancel()
{
    if (cancelled_.exchange(true) || ended_) return;
    int finish = 0;
    for (int attempt = 0; attempt < kCancelTries; ++attempt) {
        int32_t done = 0;
        if (acquisition_ != nullptr) {
            done = api_.KXACQ_Abort(acquisition_);
            finish = kMsgAcquisition;
        } else if (calibration_ != nullptr) {
            done = api_.KXC_Abort(calibration_);
            finish = kMsgCalibration;
        } else if (processing_ != nullptr) {
            done = api_.KXIP_Abort(processing_);
            finish = kMsgProcessing;
        } else {
            break;
        }
        if (done != 0) break;
        std::this_thread::sleep_for(kCancelRetryDelay);
    }
    if (finish != 0) Handle(finish, 1);
    // The abort report normally carries the stage's abort text; a cancel
    // between two stages has none, so the acquisition's is used.
    if (errors_.load() == 0 || ErrorText().empty()) {
        const char* text = finish == kMsgCalibration ? "Abort calibration"
                           : finish == kMsgProcessing ? "Abort IP"
                                                      : "Abort acquisition";
        CountError(text);
    }
    End(2);
}

void CaptureStages::Shutdown()
{
    if (acquisition_ != nullptr) {
        api_.KXACQ_Close(acquisition_);
        acquisition_ = nullptr;
    }
    if (calibration_ != nullptr) {
        api_.KXC_Close(calibration_);
        calibration_ = nullptr;
    }
    if (processing_ != nullptr) {
        api_.KXIP_Close(processing_);
        processing_ = nullptr;
    }
}

}  // namespace tessari
