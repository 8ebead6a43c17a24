// StageSettings: the three stages a get-image window runs, as the caller
// stored them with KX_Set_Acquisition, KX_Set_Calibration and
// KX_Set_ImgProcess. They stay in the library until changed; every window
// takes a copy when it starts. A null buffer skips its stage.
#pragma once

#include <cstdint>

#include "kordex.h"

namespace kordex::ui {

struct AcquisitionStage {
    std::int32_t flags = 0;          // bit 0 bright frame; bit 1 or 2: Cancel is locked once data arrives
    std::int16_t* frame = nullptr;   // frame width x height pixels, caller-owned
    std::int32_t reserved = 0;
    KX_Callback callback = nullptr;
    void* context = nullptr;
};

struct CalibrationStage {
    std::uint32_t flags = 0;            // KXC_Process step bits
    std::int16_t* image = nullptr;      // frame width x height pixels, calibrated in place
    std::int16_t* cutImage = nullptr;   // cut width x cut height pixels, or null
    KX_Callback callback = nullptr;
    void* context = nullptr;
};

struct ProcessingStage {
    std::int32_t flags = 0;             // KXIP_Process stage bits
    std::int16_t* image = nullptr;      // cut width x cut height pixels, processed in place
    std::int32_t mode = 0;              // processing mode (0 = IPDefaultModeNumber)
    KX_Callback callback = nullptr;
    void* context = nullptr;            // handed to KXIP_Process as its window argument
};

struct StageSettings {
    AcquisitionStage acquisition;
    CalibrationStage calibration;
    ProcessingStage processing;
};

// The library's stored stages (any thread).
void StoreAcquisitionStage(const AcquisitionStage& stage);
void StoreCalibrationStage(const CalibrationStage& stage);
void StoreProcessingStage(const ProcessingStage& stage);
StageSettings StoredStages();

}  // namespace kordex::ui
