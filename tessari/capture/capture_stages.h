// The stage flow of Tessari's capture window: acquisition, calibration and
// processing through the library's low-level exports, driven by messages the
// window posts to itself.
//
// Messages (posted by the library callbacks and by the handlers, handled in
// the window's thread by Handle):
//   0x0C00(0) start the acquisition   0x0C00(1) acquisition finished
//   0x0C01(0) start the calibration   0x0C01(1) calibration finished
//   0x0C02(0) start the processing    0x0C02(1) processing finished
//   0x0C03    end the window: 1 without errors, else 2
//
// The callbacks run in the library's worker threads; they only set the
// display state, record the first error text, count errors and post. Every
// stage change runs in the window's thread. Nothing here knows Qt: the
// window supplies the posting, the end and the title through Hooks.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "library/kordex_api.h"

namespace tessari {

enum CaptureMessage : int {
    kMsgAcquisition = 0x0C00,
    kMsgCalibration = 0x0C01,
    kMsgProcessing = 0x0C02,
    kMsgEnd = 0x0C03,
};

// What the banner shows: 0 initialising, 1 waiting for the shot (or the dark
// frame), 2 capturing, 3 optimising.
enum class DisplayState : int { Initialising = 0, Waiting = 1, Capturing = 2, Optimising = 3 };

// The note of a calibration report that says a step found nothing to work
// with ("WRN: dark.raw does not exist" gives "not offset-corrected: dark.raw
// missing"); empty for every other report.
std::string CalibrationNoteOf(const char* reportText);

// The processing mode decides the calibration flags: offset, gain and
// bad-pixel correction (0x80000007), plus the standalone despeckle for the
// Toneforge modes 500..599 (0x8000000F).
std::uint32_t CalibrationFlagsForMode(int processingMode);

struct CaptureRequest {
    bool darkFrame = false;
    std::string rawFileName;  // -F: raw frame only
    int vResetOverride = 0;
    int processingMode = 0;   // below 0: no processing
    bool dumpTemps = false;
    int frameWidth = 0;
    int frameHeight = 0;
    int cutWidth = 0;
    int cutHeight = 0;
};

// The files written along the way; the program implements them (raw files,
// the bitmap and the DICOM image) and reports their failures itself.
class CaptureOutputs {
public:
    virtual ~CaptureOutputs() = default;
    // A raw image under name (placed and suffixed by the output rules).
    virtual void WriteRaw(const std::string& name, const std::int16_t* pixels, int width, int height) = 0;
    // The finished, processed cut image: "image.bmp" and the DICOM image.
    // calibrationNotes name the calibration steps that found nothing to work
    // with ("not offset-corrected: dark.raw missing", ...), so an uncorrected
    // image says so wherever it goes.
    virtual void WriteImage(const std::int16_t* image, int width, int height,
                            const std::vector<std::string>& calibrationNotes) = 0;
};

class CaptureStages {
public:
    struct Hooks {
        std::function<void(int message, int param)> post;  // any thread
        std::function<void(int result)> end;               // window thread, once
        std::function<void(const std::string&)> setTitle;  // window thread
        void* window = nullptr;                            // given to KXIP_Process
    };

    // frame: frameWidth x frameHeight; cut: cutWidth x cutHeight; both owned
    // by the caller and valid while the stages exist.
    CaptureStages(const KordexApi& api, CaptureRequest request, std::int16_t* frame, std::int16_t* cut,
                  CaptureOutputs& outputs, Hooks hooks);
    ~CaptureStages();
    CaptureStages(const CaptureStages&) = delete;
    CaptureStages& operator=(const CaptureStages&) = delete;

    // A posted message, in the window's thread. Ignored after the end.
    void Handle(int message, int param);

    // Cancel (button, Escape, double click, the broadcast): sets the
    // cancelled flag, aborts the running stage (up to three tries 25 ms
    // apart), finishes it and ends with 2. Ignored when already cancelled.
    void Cancel();

    // Closes a stage still open (the window is going away).
    void Shutdown();

    DisplayState State() const { return static_cast<DisplayState>(state_.load()); }
    bool Cancelled() const { return cancelled_.load(); }
    bool Ended() const { return ended_; }
    int ErrorCount() const { return errors_.load(); }
    std::string ErrorText() const;
    // The notes of the calibration reports of this run (CalibrationNoteOf).
    std::vector<std::string> CalibrationNotes() const;

private:
    static int32_t AcquisitionReport(void* record);
    static int32_t CalibrationReport(void* record);
    static int32_t ProcessingReport(void* record);

    void StageFinished(KX_Callback& callback, int message, const char* errorText);
    void CountError(const char* text);
    void Post(int message, int param);
    void End(int result);
    void StartAcquisition();
    void FinishAcquisition();
    void StartCalibration();
    void FinishCalibration();
    void StartProcessing();
    void FinishProcessing();

    const KordexApi& api_;
    CaptureRequest request_;
    std::int16_t* frame_;
    std::int16_t* cut_;
    CaptureOutputs& outputs_;
    Hooks hooks_;

    AcqStatus* acquisition_ = nullptr;
    CalibrationJob* calibration_ = nullptr;
    ProcessingJob* processing_ = nullptr;
    bool acquisitionFinished_ = false;
    bool ended_ = false;

    std::atomic<int> state_{0};
    std::atomic<int> errors_{0};
    std::atomic<bool> cancelled_{false};
    mutable std::mutex textMutex_;
    std::string errorText_;  // the first error, at most 255 characters
    std::vector<std::string> calibrationNotes_;
};

}  // namespace tessari
