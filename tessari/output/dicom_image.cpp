// The attributes are those the intra-oral IOD needs to validate without
// errors: patient, general study and series, DX series (presentation
// intent), general equipment, general and DX image, DX anatomy imaged (the
// anatomic region "teeth, gums and supporting structures" from CID 4016 and
// the tooth from CID 4018/4019), DX detector, DX positioning, intra-oral
// image, VOI LUT, acquisition context (empty) and SOP common.
#include "output/dicom_image.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dctk.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "output/tooth_codes.h"
#include "platform/raw_file.h"
#include "platform/text.h"

namespace tessari {

namespace {

constexpr const char* kManufacturer = "Kordex";
constexpr const char* kModelName = "Intraoral X-ray sensor";
constexpr const char* kSimulatedText = "SIMULATED: virtual sensor, not a patient image";
constexpr const char* kSeriesText = "Intra-oral X-Ray Image";
constexpr const char* kSimulatedSeriesText = "Intra-oral X-Ray Image (SIMULATED, virtual sensor)";
// The sensor's turn in the mouth is not known to the program: the image is
// labelled in the conventional labial mounting (rows toward the patient's
// left, columns toward the feet); the viewer or the user corrects it.
constexpr const char* kPatientOrientation = "L\\F";

std::string NewUid()
{
    char uid[100];
    dcmGenerateUniqueIdentifier(uid, SITE_INSTANCE_UID_ROOT);
    return uid;
}

void AddCodeItem(DcmItem& dataset, const DcmTagKey& sequence, const char* value, const char* scheme,
                 const char* meaning)
{
    DcmItem* item = nullptr;
    if (dataset.findOrCreateSequenceItem(sequence, item, -2).good() && item != nullptr) {
        item->putAndInsertString(DCM_CodeValue, value);
        item->putAndInsertString(DCM_CodingSchemeDesignator, scheme);
        item->putAndInsertString(DCM_CodeMeaning, meaning);
    }
}

}  // namespace

bool IsValidPixelSpacing(const std::string& text)
{
    const std::size_t sep = text.find('\\');
    if (sep == std::string::npos || text.find('\\', sep + 1) != std::string::npos) return false;
    for (const std::string& part : {text.substr(0, sep), text.substr(sep + 1)}) {
        if (part.empty() || part.size() > 16) return false;
        char* end = nullptr;
        const double v = std::strtod(part.c_str(), &end);
        if (end == part.c_str() || *end != '\0' || !(v > 0.0)) return false;
    }
    return true;
}

bool WriteDicomImage(const std::string& path, const std::int16_t* image, int width, int height,
                     const DicomImageInfo& info, std::string* error)
{
    if (image == nullptr || width <= 0 || height <= 0 || width > 65535 || height > 65535) {
        if (error) *error = "no image";
        return false;
    }
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<Uint16> pixels(n);
    int highest = 0;
    int lowest = 65535;
    for (std::size_t i = 0; i < n; ++i) {
        const int v = image[i] < 0 ? 0 : image[i];
        pixels[i] = static_cast<Uint16>(v);
        highest = std::max(highest, v);
        lowest = std::min(lowest, v);
    }
    const int bitsStored = highest <= 4095 ? 12 : 16;

    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[16];
    char time[16];
    std::strftime(date, sizeof date, "%Y%m%d", &local);
    std::strftime(time, sizeof time, "%H%M%S", &local);

    DcmFileFormat file;
    DcmDataset& ds = *file.getDataset();
    const std::string instanceUid = NewUid();
    ds.putAndInsertString(DCM_SpecificCharacterSet, "ISO_IR 192");
    ds.putAndInsertString(DCM_SOPClassUID, kIntraOralForPresentationClass);
    ds.putAndInsertString(DCM_SOPInstanceUID, instanceUid.c_str());
    ds.putAndInsertString(DCM_InstanceCreationDate, date);
    ds.putAndInsertString(DCM_InstanceCreationTime, time);
    // Patient and study: type 2, left for the imaging application.
    ds.putAndInsertString(DCM_PatientName, "");
    ds.putAndInsertString(DCM_PatientID, "");
    ds.putAndInsertString(DCM_PatientBirthDate, "");
    ds.putAndInsertString(DCM_PatientSex, "");
    ds.putAndInsertString(DCM_StudyInstanceUID, NewUid().c_str());
    ds.putAndInsertString(DCM_StudyDate, date);
    ds.putAndInsertString(DCM_StudyTime, time);
    ds.putAndInsertString(DCM_ReferringPhysicianName, "");
    ds.putAndInsertString(DCM_StudyID, "");
    ds.putAndInsertString(DCM_AccessionNumber, "");
    // Series and equipment.
    ds.putAndInsertString(DCM_Modality, "IO");
    ds.putAndInsertString(DCM_SeriesInstanceUID, NewUid().c_str());
    ds.putAndInsertString(DCM_SeriesNumber, "1");
    ds.putAndInsertString(DCM_SeriesDescription, info.simulated ? kSimulatedSeriesText : kSeriesText);
    ds.putAndInsertString(DCM_PresentationIntentType, "FOR PRESENTATION");
    ds.putAndInsertString(DCM_Manufacturer, kManufacturer);
    ds.putAndInsertString(DCM_ManufacturerModelName, kModelName);
    ds.putAndInsertString(DCM_SoftwareVersions, info.softwareVersion.c_str());
    // Image.
    ds.putAndInsertString(DCM_InstanceNumber, "1");
    ds.putAndInsertString(DCM_PatientOrientation, kPatientOrientation);
    ds.putAndInsertString(DCM_ContentDate, date);
    ds.putAndInsertString(DCM_ContentTime, time);
    ds.putAndInsertString(DCM_AcquisitionDate, date);
    ds.putAndInsertString(DCM_AcquisitionTime, time);
    ds.putAndInsertString(DCM_ImageType, "ORIGINAL\\PRIMARY");
    ds.putAndInsertString(DCM_BurnedInAnnotation, "NO");
    ds.putAndInsertString(DCM_LossyImageCompression, "00");
    std::string comments = info.simulated ? kSimulatedText : "";
    for (const std::string& note : info.notes) comments += (comments.empty() ? "" : "; ") + note;
    if (!comments.empty()) ds.putAndInsertString(DCM_ImageComments, comments.c_str());
    ds.putAndInsertString(DCM_PixelIntensityRelationship, "LIN");
    ds.putAndInsertSint16(DCM_PixelIntensityRelationshipSign, -1);
    ds.putAndInsertString(DCM_RescaleIntercept, "0");
    ds.putAndInsertString(DCM_RescaleSlope, "1");
    ds.putAndInsertString(DCM_RescaleType, "US");
    ds.putAndInsertString(DCM_PresentationLUTShape, "IDENTITY");
    const int windowWidth = std::max(1, highest - lowest + 1);
    ds.putAndInsertString(DCM_WindowCenter, std::to_string(lowest + windowWidth / 2).c_str());
    ds.putAndInsertString(DCM_WindowWidth, std::to_string(windowWidth).c_str());
    // Detector and positioning.
    const std::string spacing = IsValidPixelSpacing(info.pixelSpacing) ? info.pixelSpacing : kDefaultPixelSpacing;
    ds.putAndInsertString(DCM_DetectorType, "SCINTILLATOR");
    ds.putAndInsertString(DCM_ImagerPixelSpacing, spacing.c_str());
    ds.putAndInsertString(DCM_PixelSpacing, spacing.c_str());
    ds.putAndInsertString(DCM_PositionerType, "NONE");
    ds.putAndInsertString(DCM_ImageLaterality, ToothLaterality(info.toothIndex));
    // Anatomy: the region, and the tooth when there is one.
    AddCodeItem(ds, DCM_AnatomicRegionSequence, "28035005", "SCT", "Teeth, gums and supporting structures");
    if (const ToothCode* tooth = FindToothCode(info.toothIndex))
        AddCodeItem(ds, DCM_PrimaryAnatomicStructureSequence, tooth->sctCode, "SCT", tooth->meaning);
    ds.insertEmptyElement(DCM_AcquisitionContextSequence);
    // Pixels.
    ds.putAndInsertUint16(DCM_SamplesPerPixel, 1);
    ds.putAndInsertString(DCM_PhotometricInterpretation, "MONOCHROME2");
    ds.putAndInsertUint16(DCM_Rows, static_cast<Uint16>(height));
    ds.putAndInsertUint16(DCM_Columns, static_cast<Uint16>(width));
    ds.putAndInsertUint16(DCM_BitsAllocated, 16);
    ds.putAndInsertUint16(DCM_BitsStored, static_cast<Uint16>(bitsStored));
    ds.putAndInsertUint16(DCM_HighBit, static_cast<Uint16>(bitsStored - 1));
    ds.putAndInsertUint16(DCM_PixelRepresentation, 0);
    ds.putAndInsertUint16Array(DCM_PixelData, pixels.data(), static_cast<unsigned long>(n));

    // Written under a temporary name and renamed when complete, so a full
    // disk never leaves a half-written image.dcm.
    platform::ReplacementFile out(path);
    if (!out.Ok()) {
        if (error) *error = std::strerror(out.Code());
        return false;
    }
    const OFCondition status = file.saveFile(out.TemporaryPath().c_str(), EXS_LittleEndianExplicit);
    if (status.bad()) {
        if (error) *error = status.text();
        return false;
    }
    if (!out.Commit()) {
        if (error) *error = std::strerror(out.Code());
        return false;
    }
    return true;
}

}  // namespace tessari
