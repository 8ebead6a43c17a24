// Preparing the image folder of one cut image size.
#include "calibration/image_folder.h"

#include "frame/frame_files.h"
#include "platform/paths.h"

namespace kordex {

std::string PrepareImageFolder(const std::string& homePath, int width, int height, bool create)
{
    const std::string folder = ImageFolder(homePath, width, height);
    if (platform::DirectoryExists(folder))
        platform::DeleteByMask(folder, "$i*.raw");
    else if (create)
        platform::MakeDirectory(folder);
    return folder;
}

}  // namespace kordex
