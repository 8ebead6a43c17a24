// The DICOM information file: an INI file with the section [DICOM_GATEWAY]
// whose keys are DICOM tags written group_element, for a DICOM gateway that
// wraps "image.bmp" itself. Rows and columns are those of the cut image, not
// of a cropped bitmap.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tessari {

inline constexpr const char* kDicomInfoSection = "DICOM_GATEWAY";

// The fourteen keys and values in the order they are written.
std::vector<std::pair<std::string, std::string>> DicomInfoEntries(int cutWidth, int cutHeight,
                                                                  const std::string& pixelSpacing,
                                                                  const std::string& versionName);

// Writes them into path (other sections and keys of the file stay). False
// when the file cannot be written.
bool WriteDicomInfoFile(const std::string& path, int cutWidth, int cutHeight, const std::string& pixelSpacing,
                        const std::string& versionName);

}  // namespace tessari
