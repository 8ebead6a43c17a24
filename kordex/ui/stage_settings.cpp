// The stored stages: one record per library, guarded so that a caller may
// store a stage from one thread while a window copies them in another.
#include "ui/stage_settings.h"

#include <mutex>

namespace kordex::ui {

namespace {

std::mutex& StagesMutex()
{
    static std::mutex mutex;
    return mutex;
}

StageSettings& Stages()
{
    static StageSettings stages;
    return stages;
}

}  // namespace

void StoreAcquisitionStage(const AcquisitionStage& stage)
{
    std::lock_guard<std::mutex> lock(StagesMutex());
    Stages().acquisition = stage;
}

void StoreCalibrationStage(const CalibrationStage& stage)
{
    std::lock_guard<std::mutex> lock(StagesMutex());
    Stages().calibration = stage;
}

void StoreProcessingStage(const ProcessingStage& stage)
{
    std::lock_guard<std::mutex> lock(StagesMutex());
    Stages().processing = stage;
}

StageSettings StoredStages()
{
    std::lock_guard<std::mutex> lock(StagesMutex());
    return Stages();
}

}  // namespace kordex::ui
