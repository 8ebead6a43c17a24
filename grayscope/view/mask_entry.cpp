#include "grayscope/view/mask_entry.h"

#include <cstdio>

#include "platform/text.h"

namespace grayscope {

MaskEntry ParseMaskEntry(std::string_view text)
{
    MaskEntry e;
    const std::string t(text);
    int w = 0;
    int h = 0;
    const int got = std::sscanf(t.c_str(), "%dx%d", &w, &h);
    if (got >= 1)
        e.width = w;
    if (got >= 2)
        e.height = h;
    std::size_t start = 0;
    const std::size_t slash = t.find('/');
    if (slash != std::string::npos) {
        start = slash + 1;
        while (start < t.size() && static_cast<unsigned char>(t[start]) < '!')
            ++start;
    }
    e.mask = t.substr(start);
    if (e.mask.find("*.") == std::string::npos)
        e.mask = "*.raw";
    e.valid = e.width >= 1 && e.height >= 1;
    return e;
}

std::string FormatMaskEntry(int width, int height, std::string_view mask)
{
    return platform::Format("%dx%d / %.*s", width, height, static_cast<int>(mask.size()), mask.data());
}

void UpdateHistory(std::vector<std::string>* history, int width, int height, std::string_view mask)
{
    bool removed = false;
    for (auto it = history->begin(); it != history->end(); ++it) {
        if (platform::EqualsNoCase(ParseMaskEntry(*it).mask, mask)) {
            history->erase(it);
            removed = true;
            break;
        }
    }
    if (!removed && static_cast<int>(history->size()) > kHistoryLimit)
        history->pop_back();
    history->insert(history->begin(), FormatMaskEntry(width, height, mask));
}

std::string MaskDirectory(std::string_view mask)
{
    const std::size_t slash = mask.find_last_of('/');
    return slash == std::string_view::npos ? std::string() : std::string(mask.substr(0, slash + 1));
}

std::string MaskWildcard(std::string_view mask)
{
    const std::size_t slash = mask.find_last_of('/');
    return std::string(slash == std::string_view::npos ? mask : mask.substr(slash + 1));
}

}  // namespace grayscope
