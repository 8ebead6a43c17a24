#include "app/run_outputs.h"

#include <cstdio>

#include "output/bmp_image.h"
#include "output/dicom_image.h"
#include "output/output_names.h"
#include "output/tooth_codes.h"
#include "platform/raw_file.h"
#include "platform/text.h"

namespace tessari {

namespace {

bool WriteBytes(const std::string& path, const void* data, std::size_t bytes)
{
    platform::FileError error;
    return platform::WriteRawFile(path, data, bytes, &error);
}

}  // namespace

RunOutputs::RunOutputs(std::string folder, const CaptureSettings& settings, int toothIndex, bool simulated,
                       std::string softwareVersion, RunContext context)
    : folder_(std::move(folder)),
      settings_(settings),
      toothIndex_(toothIndex),
      simulated_(simulated),
      softwareVersion_(std::move(softwareVersion)),
      context_(std::move(context))
{
}

std::string RunOutputs::BitmapPath() const
{
    return OutputPath(folder_, kBmpFileName);
}

void RunOutputs::Fail(const std::string& text)
{
    context_.log("ERR: " + text);
    if (failure_.empty()) failure_ = text;
}

void RunOutputs::WriteRaw(const std::string& name, const std::int16_t* pixels, int width, int height)
{
    const std::string path = OutputPath(folder_, RawFileName(name, width, height));
    const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * sizeof(std::int16_t);
    if (WriteBytes(path, pixels, bytes)) return;
    const std::string text = platform::Format("can't create %s", path.c_str());
    // The DumpTemps files ("$raw", "$cap", "$enh") are diagnostics; any other
    // raw file is the -F result of the run.
    if (!name.empty() && name[0] == '$')
        context_.errorBox(text);
    else
        Fail(text);
}

void RunOutputs::WriteImage(const std::int16_t* image, int width, int height,
                            const std::vector<std::string>& calibrationNotes)
{
    WriteBitmap(image, width, height);
    if (!settings_.dicomFile.empty()) WriteDicom(image, width, height, calibrationNotes);
}

void RunOutputs::WriteBitmap(const std::int16_t* image, int width, int height)
{
    const Gamut gamut = FindGamut(image, width, height);
    context_.log(GamutLogLine(gamut));
    GreyImage grey = MapToGrey(image, width, height, gamut);
    if (settings_.crop.Any()) {
        context_.log(CropLogLine(width, height, settings_.crop));
        bool skipped = false;
        grey = Crop(grey, settings_.crop, &skipped);
        if (skipped) context_.log("WRN: the BMP crop margins leave no pixels; the image is written uncropped");
    }
    const std::vector<std::uint8_t> bytes = EncodeBmp(grey);
    const std::string path = BitmapPath();
    if (!WriteBytes(path, bytes.data(), bytes.size())) {
        Fail(platform::Format("can't create %s", path.c_str()));
        return;
    }
    bitmapWritten_ = true;
}

void RunOutputs::WriteDicom(const std::int16_t* image, int width, int height,
                            const std::vector<std::string>& calibrationNotes)
{
    DicomImageInfo info;
    info.toothIndex = toothIndex_;
    info.pixelSpacing = settings_.dicomPixSpacing;
    info.softwareVersion = softwareVersion_;
    info.simulated = simulated_;
    info.notes = calibrationNotes;
    if (!settings_.refusedPixSpacing.empty())
        context_.log("WRN: DICOMPixSpacing \"" + settings_.refusedPixSpacing +
                     "\" is not two numbers row\\column; the DICOM image and the information file use " +
                     std::string(kDefaultPixelSpacing));
    if (FindToothCode(toothIndex_) == nullptr)
        context_.log("WRN: " + settings_.dicomFile + " names no tooth (no -T): the imaging application adds the anatomy");
    const std::string path = OutputPath(folder_, settings_.dicomFile);
    std::string error;
    if (!WriteDicomImage(path, image, width, height, info, &error)) {
        context_.log("ERR: " + path + ": " + error);
        Fail(platform::Format("can't create %s", path.c_str()));
    }
}

}  // namespace tessari
