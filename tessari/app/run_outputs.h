// The files of one run in the output folder: the raw files along the way,
// "image.bmp" and the DICOM image after processing. A file that cannot be
// created shows "can't create %s" in an error box and the run goes on.
#pragma once

#include <functional>
#include <string>

#include "app/capture_settings.h"
#include "capture/capture_stages.h"

namespace tessari {

struct RunContext {
    std::function<void(const std::string&)> log;        // one log line
    std::function<void(const std::string&)> errorBox;   // an error box
};

class RunOutputs : public CaptureOutputs {
public:
    // folder: the output folder, ending in "/".
    RunOutputs(std::string folder, const CaptureSettings& settings, int toothIndex, bool simulated,
               std::string softwareVersion, RunContext context);

    void WriteRaw(const std::string& name, const std::int16_t* pixels, int width, int height) override;
    void WriteImage(const std::int16_t* image, int width, int height) override;

    // True once this run wrote "image.bmp".
    bool BitmapWritten() const { return bitmapWritten_; }
    std::string BitmapPath() const;

private:
    void WriteBitmap(const std::int16_t* image, int width, int height);
    void WriteDicom(const std::int16_t* image, int width, int height);

    std::string folder_;
    const CaptureSettings& settings_;
    int toothIndex_;
    bool simulated_;
    std::string softwareVersion_;
    RunContext context_;
    bool bitmapWritten_ = false;
};

}  // namespace tessari
