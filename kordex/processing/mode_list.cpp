// The mode-list operations of the service page.
#include "processing/mode_list.h"

#include "platform/text.h"
#include "processing/ip_params.h"

namespace kordex {
namespace {

constexpr const char* kPrefix = "IP";
constexpr std::size_t kSectionCopyLimit = 8192;  // bytes of a section moved down

void WriteCaption(platform::ProfileFile& p, int mode, const std::string& caption)
{
    p.SetSection(ModeSection(mode));
    p.WriteString("Caption", caption);
}

}  // namespace

void FillModeList(platform::ProfileFile& p, ModeList& list, int preferredMode)
{
    const int remembered = preferredMode <= 0 ? list.selection : -1;
    list.items.clear();
    list.selection = -1;
    int preferredIndex = -1;
    for (int i = 1; i <= kMaxListedModes; ++i) {
        p.SetSection(ModeSection(i));
        const std::string caption = p.ReadString("Caption", "");
        if (caption.empty()) continue;
        if (i == preferredMode) preferredIndex = static_cast<int>(list.items.size());
        list.items.push_back({caption, i});
    }
    if (list.items.empty()) {
        const std::string caption = "Default standatd mode";
        WriteCaption(p, 1, caption);
        list.items.push_back({caption, 1});
    }
    const int count = static_cast<int>(list.items.size());
    if (preferredIndex >= 0)
        list.selection = preferredIndex;
    else
        list.selection = remembered >= 0 && remembered < count ? remembered : 0;
}

bool DefineMode(platform::ProfileFile& p, ModeList& list, const std::string& editText, const ModeQuestion& ask)
{
    const std::string caption(platform::Trim(editText));
    if (caption.empty()) return false;
    if (!ask(platform::Format("Do you want to define new %s mode\n'%s' ?", kPrefix, caption.c_str()))) return false;
    const int mode = static_cast<int>(list.items.size()) + 1;
    WriteCaption(p, mode, caption);
    list.items.push_back({caption, mode});
    list.selection = static_cast<int>(list.items.size()) - 1;
    return true;
}

bool RenameMode(platform::ProfileFile& p, ModeList& list, int position, const std::string& editText,
                const ModeQuestion& ask)
{
    if (position < 0 || position >= static_cast<int>(list.items.size())) return false;
    const std::string caption(platform::Trim(editText));
    ModeListItem& item = list.items[static_cast<std::size_t>(position)];
    if (!ask(platform::Format("Do you want to rename %s%d\n'%s' to\n'%s' ?", kPrefix, position + 1,
                              item.caption.c_str(), caption.c_str())))
        return false;
    WriteCaption(p, position + 1, caption);
    item.caption = caption;
    return true;
}

bool DeleteMode(platform::ProfileFile& p, ModeList& list, int position, const ModeQuestion& ask,
                const ModeError& error)
{
    const int count = static_cast<int>(list.items.size());
    if (count <= 1) {
        error(platform::Format("Can't delete the last %s mode.", kPrefix));
        return false;
    }
    const int k = list.selection >= 0 ? list.selection : position;
    if (k < 0 || k >= count) return false;
    const std::string text = list.items[static_cast<std::size_t>(k)].caption;
    if (!ask(platform::Format("Do you want to delete %s#%d\n'%s'?", kPrefix, k + 1, text.c_str()))) return false;
    for (int j = k + 1; j <= count; ++j) {
        if (j < count) {
            std::string body = p.ReadSectionText(ModeSection(j + 1)).value_or("");
            if (body.size() > kSectionCopyLimit) body.resize(kSectionCopyLimit);
            p.WriteSectionText(ModeSection(j), body);
        } else {
            p.DeleteSection(ModeSection(j));
        }
    }
    list.items.erase(list.items.begin() + k);
    // The items above moved down one number too.
    for (int i = k; i < static_cast<int>(list.items.size()); ++i) list.items[static_cast<std::size_t>(i)].mode = i + 1;
    list.selection = k < count - 1 ? k : 0;
    return true;
}

}  // namespace kordex
