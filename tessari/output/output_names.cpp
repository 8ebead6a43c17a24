#include "output/output_names.h"

#include "platform/paths.h"
#include "platform/text.h"

namespace tessari {

std::string OutputFolder(std::string_view home)
{
    return platform::WithTrailingSlash(std::string(home) + kOutputFolder);
}

std::string OutputPath(std::string_view folder, std::string_view name)
{
    if (name.find('/') != std::string_view::npos) return platform::ExpandHome(name);
    return std::string(folder) + std::string(name);
}

std::string RawFileName(std::string_view name, int width, int height)
{
    const std::size_t dot = name.rfind('.');
    const std::size_t slash = name.rfind('/');
    const bool hasExtension = dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash);
    if (hasExtension) return std::string(name);
    return std::string(name) + platform::Format("%dx%d.raw", width, height);
}

std::string HomeFilePath(std::string_view home, std::string_view name)
{
    if (!name.empty() && (name[0] == '/' || name[0] == '~')) return platform::ExpandHome(name);
    return std::string(home) + std::string(name);
}

}  // namespace tessari
