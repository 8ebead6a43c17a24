// The files of one run in the output folder: the raw files along the way,
// "image.bmp" and the DICOM image after processing. A result file that cannot
// be written completely -- the -F raw file, "image.bmp", the DICOM image --
// fails the run: its "can't create %s" becomes the run's error (the box, the
// failure event and broadcast follow when the run finishes). The diagnostic
// raw files of DumpTemps show the text in a box and the run goes on. Every
// file is written under a temporary name and renamed when complete.
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
    void WriteImage(const std::int16_t* image, int width, int height,
                    const std::vector<std::string>& calibrationNotes) override;

    // True once this run wrote "image.bmp".
    bool BitmapWritten() const { return bitmapWritten_; }
    // The first result file that could not be written, as the run's error
    // text; empty when every one was written.
    const std::string& Failure() const { return failure_; }
    std::string BitmapPath() const;

private:
    void WriteBitmap(const std::int16_t* image, int width, int height);
    void WriteDicom(const std::int16_t* image, int width, int height, const std::vector<std::string>& calibrationNotes);

    std::string folder_;
    const CaptureSettings& settings_;
    int toothIndex_;
    bool simulated_;
    std::string softwareVersion_;
    RunContext context_;
    void Fail(const std::string& text);

    bool bitmapWritten_ = false;
    std::string failure_;
};

}  // namespace tessari
