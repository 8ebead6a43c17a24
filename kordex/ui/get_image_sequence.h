// GetImageSequence: the stage machine of both get-image windows.
//
// The sequence runs acquisition -> calibration -> processing on the caller's
// buffers, skipping every stage whose buffer is null, and ends with 1 when all
// stages succeeded, else 2. The preview variant follows each stage's close
// report to the next stage and ends through 0x36C8; the banner variant moves
// on as soon as it has closed a stage and ends through 0x0C03. A failed stage
// ends the sequence; every stage it started is closed before the next one
// starts or the window ends.
//
// Threads: Handle, Cancel and CloseAll run in the window's thread. The
// On*Report functions run in the reporting worker thread: they only read the
// record, count errors, keep the first error text, clear the caller's
// callback where the banner does so, and post messages through the host.
// RequestCancel may be called from any thread.
//
// Cancel makes up to three tries, 25 ms apart (the host's timer), to abort the
// running stage; with nothing running the window ends with 2. A cancelled
// sequence never starts another stage, and it shows no error box.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "frame/frame_geometry.h"
#include "kordex.h"
#include "ui/get_image_messages.h"
#include "ui/stage_driver.h"
#include "ui/stage_settings.h"

namespace kordex::ui {

// What the window does for the sequence. Post may be called from any
// thread; everything else only from the window's thread.
class SequenceHost {
public:
    virtual ~SequenceHost() = default;
    virtual void Post(int message, int parameter) = 0;
    virtual void SetTitle(const std::string& title) = 0;
    virtual void End(int result) = 0;
    // The next cancel try, 25 ms from now, as kMsgCancel(tryNumber).
    virtual void ScheduleCancelTry(int tryNumber) = 0;
    // Preview window only.
    virtual void ClearPreview() {}
    virtual void StartShotTimer() {}
    virtual void StopShotTimer() {}
    virtual void ShowStageProgress() {}
    // Draws a frame-sized (frameSized) or cut-size image into the preview.
    virtual void DrawImage(const std::int16_t* /*image*/, bool /*frameSized*/) {}
    virtual void DrawLines(int /*lastRawLine*/) {}
    virtual void DisableCancel() {}
    // Banner window only: the display state changed (any thread).
    virtual void StateChanged() {}
};

enum class WindowKind { Preview, Banner };

// Banner display states.
enum BannerState : int { kBannerInitialising = 0, kBannerWaiting = 1, kBannerCapturing = 2, kBannerOptimising = 3 };

// The recorded texts of a stage that cannot start or that failed.
inline constexpr const char* kAcquisitionStartFailed = "ERR: Acquisition API initialization";
inline constexpr const char* kCalibrationStartFailed = "ERR: Calibration API initialization";
inline constexpr const char* kProcessingStartFailed = "ERR: Img process API initialization";
inline constexpr const char* kAcquisitionFault = "Acquisition fault";
inline constexpr const char* kCalibrationFault = "Calibration fault";
inline constexpr const char* kProcessingFault = "Img Prcs fault";

// The title with a percentage: the previous suffix (text after the last
// blank) removed when hadPercent, then " %d%%" appended.
std::string TitleWithPercent(const std::string& title, bool hadPercent, int percent);

// Preview progress of an acquired raw line, or -1 when the line lies outside
// the cut region's raw rows.
int AcquiredLinePercent(const FrameGeometry& g, int line);

class GetImageSequence {
public:
    GetImageSequence(WindowKind kind, const StageSettings& stages, const FrameGeometry& geometry, StageDriver& driver,
                     SequenceHost& host);
    GetImageSequence(const GetImageSequence&) = delete;
    GetImageSequence& operator=(const GetImageSequence&) = delete;

    // Window thread: starts the sequence (posts 0x0C00(0)).
    void Start();
    // Window thread: one posted message.
    void Handle(int message, int parameter);
    // Window thread: closes whatever is still open (window destruction).
    void CloseAll();

    // Any thread: sets the cancelled flag and posts the Cancel command.
    void RequestCancel();

    // Worker threads: the activities' reports.
    void OnAcquisitionReport(AcqStatus* status);
    void OnCalibrationReport(CalibrationJob* job);
    void OnProcessingReport(ProcessingJob* job);

    WindowKind Kind() const { return kind_; }
    const StageSettings& Stages() const { return stages_; }
    bool Cancelled() const { return cancelled_.load(); }
    bool Ended() const { return ended_; }
    int Result() const { return result_; }
    int ErrorCount();
    std::string FirstError();
    // True when the window's error box is due: not cancelled, an error
    // counted with a text.
    bool ShowsErrorBox();
    int BannerStateNow() const { return bannerState_.load(); }
    const std::string& Title() const { return title_; }

private:
    void Error(const char* text);  // counts one; keeps the first text
    void RecordUnlessText(const char* text);
    bool HasErrors();
    void SetTitle(const std::string& title);
    void ShowPercent(int percent);
    void EndWith(int result);
    void TryCancel(int tryNumber);
    void SetBannerState(int state);

    int EndMessage() const { return kind_ == WindowKind::Preview ? kMsgPreviewEnd : kMsgBannerEnd; }
    // A stage that cannot start: the preview window ends with the stage's
    // text; the banner counts the error and goes on as if it had finished.
    void StartFailed(const char* previewText, void (GetImageSequence::*finished)());
    template <typename Job>
    void CloseStage(Job*& handle, std::atomic<bool>& active, void (StageDriver::*close)(Job*));
    template <typename Job>
    void OnJobReport(Job* job, const std::atomic<bool>& active, int stageMessage, int nextAfterClose);

    void AcquisitionStart();
    void AcquisitionFinished();
    void CalibrationStart();
    void CalibrationFinished();
    void ProcessingStart();
    void ProcessingFinished();

    const WindowKind kind_;
    const StageSettings stages_;
    const FrameGeometry geometry_;
    StageDriver& driver_;
    SequenceHost& host_;

    std::mutex errorMutex_;
    int errors_ = 0;
    std::string firstError_;

    std::atomic<bool> cancelled_{false};
    std::atomic<int> bannerState_{kBannerInitialising};
    // Which activity's reports belong to this window (set in the window
    // thread around each stage, read in the reporting threads).
    std::atomic<bool> acquisitionActive_{false};
    std::atomic<bool> calibrationActive_{false};
    std::atomic<bool> processingActive_{false};
    std::atomic<bool> firstData_{true};

    // Window thread only.
    AcqStatus* acquisition_ = nullptr;
    CalibrationJob* calibration_ = nullptr;
    ProcessingJob* processing_ = nullptr;
    bool acquisitionFinished_ = false;
    bool calibrationFinished_ = false;
    bool processingFinished_ = false;
    bool ended_ = false;
    int result_ = 0;
    std::string title_;
    int lastPercent_ = -1;
};

}  // namespace kordex::ui
