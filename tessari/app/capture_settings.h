// Tessari's settings: the section [Capture application] of the detector
// library's settings file, read through KX_IniProfGetStr (so a missing key is
// written back with its default).
#pragma once

#include <functional>
#include <string>

#include "output/bmp_image.h"

namespace tessari {

inline constexpr const char* kCaptureSection = "Capture application";
inline constexpr const char* kProgramTitle = "Intra-Oral Sensor Acquisition";

struct CaptureSettings {
    std::string applicationName = kProgramTitle;          // caption of the boxes
    std::string finalEvent;                               // named event on success
    std::string finalEventError;                          // named event on failure
    std::string finalBroadcastMsg;                        // broadcast at the end
    CropMargins crop;                                     // of the bitmap
    std::string dicomInfoFile;                            // in the home directory
    std::string dicomPixSpacing = "0.0333333\\0.0333333";  // row\column, mm; always valid
    std::string refusedPixSpacing;  // a DICOMPixSpacing that was not two numbers, else empty
    std::string dicomVerName;                             // read with dicomInfoFile
    std::string dicomFile = "image.dcm";                  // empty = none
    std::string pacsSaveFileName;                         // copy of the bitmap
    std::string pacsFinalBroadcastMsg;                    // broadcast after the copy
    bool dumpTemps = false;                               // $raw, $cap, $enh
};

// Reads key with its default; the section is already selected.
using SettingReader = std::function<std::string(const char* key, const char* defaultText)>;

// Reads the keys in their order: "Application name", Final_Event,
// Final_EventError, Final_BroadcastMsg, the four BMPCrop keys, DICOMInfoFile
// and DICOMFile (DICOMPixSpacing when either is not empty, DICOMVerName when
// the information file is not empty), PACS_SaveFileName, PACS_FinalBroadcastMsg, DumpTemps.
CaptureSettings ReadCaptureSettings(const SettingReader& read);

}  // namespace tessari
