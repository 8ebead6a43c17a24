#include "app/capture_settings.h"

#include <cstdlib>

#include "output/dicom_image.h"

namespace tessari {

CaptureSettings ReadCaptureSettings(const SettingReader& read)
{
    CaptureSettings s;
    auto number = [&read](const char* key) { return std::atoi(read(key, "0").c_str()); };
    s.applicationName = read("Application name", kProgramTitle);
    if (s.applicationName.empty()) s.applicationName = kProgramTitle;
    s.finalEvent = read("Final_Event", "Capture Complete by Ravenmoor");
    s.finalEventError = read("Final_EventError", "Error by Ravenmoor");
    s.finalBroadcastMsg = read("Final_BroadcastMsg", "PRX-APS Captured");
    s.crop.left = number("BMPCropLeft");
    s.crop.top = number("BMPCropTop");
    s.crop.right = number("BMPCropRight");
    s.crop.bottom = number("BMPCropBottom");
    s.dicomInfoFile = read("DICOMInfoFile", "DG_IF.ini");
    s.dicomFile = read("DICOMFile", "image.dcm");
    // The pixel spacing serves the information file and the DICOM image; the
    // keys are read (and so written back) only when one of them is wanted.
    s.dicomPixSpacing = kDefaultPixelSpacing;
    if (!s.dicomInfoFile.empty() || !s.dicomFile.empty()) s.dicomPixSpacing = read("DICOMPixSpacing", kDefaultPixelSpacing);
    // A value that is not two numbers is refused for both: the information
    // file and the image always state the same spacing.
    if (!IsValidPixelSpacing(s.dicomPixSpacing)) {
        s.refusedPixSpacing = s.dicomPixSpacing;
        s.dicomPixSpacing = kDefaultPixelSpacing;
    }
    if (!s.dicomInfoFile.empty()) s.dicomVerName = read("DICOMVerName", "Halvard.Co.LTD Radiography Imager");
    s.pacsSaveFileName = read("PACS_SaveFileName", "");
    s.pacsFinalBroadcastMsg = read("PACS_FinalBroadcastMsg", "PRX-APS Captured For PACS");
    s.dumpTemps = number("DumpTemps") > 0;
    return s;
}

}  // namespace tessari
