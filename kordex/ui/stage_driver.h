// StageDriver: the three activities as a get-image window starts, aborts and
// closes them. LibraryStageDriver runs them through the library's own
// exports; tests give the stage machine a scripted driver instead.
#pragma once

#include <cstdint>
#include <string>

#include "kordex.h"
#include "ui/stage_settings.h"

namespace kordex::ui {

class StageDriver {
public:
    virtual ~StageDriver() = default;
    // KXACQ_Connect with the stage's flags, callback, context and frame; null
    // after an error report.
    virtual AcqStatus* Connect(const AcquisitionStage& stage) = 0;
    virtual bool StartFrame(AcqStatus* handle) = 0;
    virtual void AbortAcquisition(AcqStatus* handle) = 0;
    // Delivers the close report (event 2) before it returns.
    virtual void CloseAcquisition(AcqStatus* handle) = 0;
    virtual CalibrationJob* StartCalibration(const CalibrationStage& stage) = 0;
    virtual void AbortCalibration(CalibrationJob* job) = 0;
    virtual void CloseCalibration(CalibrationJob* job) = 0;
    virtual void CutImage(const std::int16_t* frame, std::int16_t* image) = 0;
    virtual ProcessingJob* StartProcessing(const ProcessingStage& stage) = 0;
    virtual void AbortProcessing(ProcessingJob* job) = 0;
    virtual void CloseProcessing(ProcessingJob* job) = 0;
    // The text of a numbered message (the site's [User Interface] text).
    virtual std::string Message(int code) = 0;
};

class LibraryStageDriver final : public StageDriver {
public:
    AcqStatus* Connect(const AcquisitionStage& stage) override;
    bool StartFrame(AcqStatus* handle) override;
    void AbortAcquisition(AcqStatus* handle) override;
    void CloseAcquisition(AcqStatus* handle) override;
    CalibrationJob* StartCalibration(const CalibrationStage& stage) override;
    void AbortCalibration(CalibrationJob* job) override;
    void CloseCalibration(CalibrationJob* job) override;
    void CutImage(const std::int16_t* frame, std::int16_t* image) override;
    ProcessingJob* StartProcessing(const ProcessingStage& stage) override;
    void AbortProcessing(ProcessingJob* job) override;
    void CloseProcessing(ProcessingJob* job) override;
    std::string Message(int code) override;
};

}  // namespace kordex::ui
