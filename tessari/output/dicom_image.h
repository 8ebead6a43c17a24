// "image.dcm": the processed radiograph as a DICOM Part 10 file of the
// Digital Intra-Oral X-Ray Image Storage - For Presentation class
// (1.2.840.10008.5.1.4.1.1.1.3), written with DCMTK.
//
// The pixel data are the processed 16-bit cut image itself (not the 8-bit
// bitmap), unsigned, MONOCHROME2: 12 bits stored when every value lies in
// 0..4095, else 16; a negative value (which the processing modes do not
// deliver) is stored as 0. Patient and study attributes the capture does not
// know (patient name, id, birth date, sex, referring physician, accession
// number, study id) are present and empty, for the imaging application to
// fill. The tooth of -T is the primary anatomic structure (SNOMED CT, see
// tooth_codes.h) and sets the image laterality. Without a tooth (no -T, or
// -T0) only the anatomic region is known: the file then lacks the
// intra-oral module's conditional anatomy (a tooth or a region modifier),
// which the imaging application adds; laterality is "B". The patient
// orientation is the conventional labial mounting "L\\F". Every file gets new
// study, series and instance UIDs. A simulated radiograph says so in Image
// Comments, the series description and Burned In Annotation stays "NO"; the
// Image Comments also name every calibration step that was left out ("not
// offset-corrected: dark.raw missing"), so an uncorrected image is known as
// such wherever it goes. Bone is white: higher values mean less X-ray
// intensity (Pixel Intensity Relationship Sign -1).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessari {

inline constexpr const char* kIntraOralForPresentationClass = "1.2.840.10008.5.1.4.1.1.1.3";
inline constexpr const char* kDefaultPixelSpacing = "0.0333333\\0.0333333";

struct DicomImageInfo {
    int toothIndex = -1;            // ISO 3950 number; no tooth when it is none
    std::string pixelSpacing = kDefaultPixelSpacing;  // "row\column" in mm
    std::string softwareVersion;    // e.g. "Tessari 1.0.0.0"
    bool simulated = false;         // taken from the virtual sensor
    std::vector<std::string> notes; // calibration steps that were left out
};

// True when text is two positive decimal numbers separated by "\".
bool IsValidPixelSpacing(const std::string& text);

// Writes the file; false with *error (DCMTK's text) on failure. image holds
// width x height pixels, rows top-down.
bool WriteDicomImage(const std::string& path, const std::int16_t* image, int width, int height,
                     const DicomImageInfo& info, std::string* error);

}  // namespace tessari
