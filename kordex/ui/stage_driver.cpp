// The library's activities behind the get-image windows: the same exports a
// caller would use.
#include "ui/stage_driver.h"

#include "frame/library.h"

namespace kordex::ui {

AcqStatus* LibraryStageDriver::Connect(const AcquisitionStage& stage)
{
    return KXACQ_Connect(stage.flags, stage.callback, stage.context, stage.frame, 0);
}

bool LibraryStageDriver::StartFrame(AcqStatus* handle)
{
    return KXACQ_StartFrame(handle) != 0;
}

void LibraryStageDriver::AbortAcquisition(AcqStatus* handle)
{
    KXACQ_Abort(handle);
}

void LibraryStageDriver::CloseAcquisition(AcqStatus* handle)
{
    KXACQ_Close(handle);
}

CalibrationJob* LibraryStageDriver::StartCalibration(const CalibrationStage& stage)
{
    return KXC_Process(stage.flags, stage.callback, stage.context, stage.image);
}

void LibraryStageDriver::AbortCalibration(CalibrationJob* job)
{
    KXC_Abort(job);
}

void LibraryStageDriver::CloseCalibration(CalibrationJob* job)
{
    KXC_Close(job);
}

void LibraryStageDriver::CutImage(const std::int16_t* frame, std::int16_t* image)
{
    KXC_CutImage(frame, image);
}

ProcessingJob* LibraryStageDriver::StartProcessing(const ProcessingStage& stage)
{
    return KXIP_Process(stage.flags, stage.callback, stage.context, stage.image, stage.mode);
}

void LibraryStageDriver::AbortProcessing(ProcessingJob* job)
{
    KXIP_Abort(job);
}

void LibraryStageDriver::CloseProcessing(ProcessingJob* job)
{
    KXIP_Close(job);
}

std::string LibraryStageDriver::Message(int code)
{
    return Lib().messages.Text(code);
}

}  // namespace kordex::ui
