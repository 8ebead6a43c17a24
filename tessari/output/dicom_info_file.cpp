#include "output/dicom_info_file.h"

#include "platform/profile_file.h"

namespace tessari {

std::vector<std::pair<std::string, std::string>> DicomInfoEntries(int cutWidth, int cutHeight,
                                                                  const std::string& pixelSpacing,
                                                                  const std::string& versionName)
{
    return {
        {"0008_0060", "IO"},
        {"0018_0015", "TOOTH"},
        {"0018_5101", "AP"},
        {"0028_0010", std::to_string(cutHeight)},
        {"0028_0011", std::to_string(cutWidth)},
        {"0028_0030", pixelSpacing},
        {"0028_0100", "8"},
        {"0028_0101", "8"},
        {"0028_1050", "127"},
        {"0028_1051", "256"},
        {"0002_0013", versionName},
        {"0008_1030", "Intra-oral X-Ray Image"},
        {"0018_1164", pixelSpacing},
        {"0020_0013", "1"},
    };
}

bool WriteDicomInfoFile(const std::string& path, int cutWidth, int cutHeight, const std::string& pixelSpacing,
                        const std::string& versionName)
{
    platform::ProfileFile file(path);
    file.SetSection(kDicomInfoSection);
    bool ok = true;
    for (const auto& [key, value] : DicomInfoEntries(cutWidth, cutHeight, pixelSpacing, versionName))
        ok = file.WriteString(key, value) && ok;
    return ok;
}

}  // namespace tessari
