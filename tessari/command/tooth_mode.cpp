#include "command/tooth_mode.h"

#include <cstdlib>

#include "platform/text.h"

namespace tessari {

std::string ToothGroupKey(int t)
{
    if (t == 0) return "IPReIndex";
    const int quadrant = t / 10;
    const int tooth = t % 10;
    if (quadrant < 1 || quadrant > 4 || tooth < 1 || tooth > 8) return "";
    const bool upper = quadrant == 1 || quadrant == 2;
    if (tooth <= 3) return upper ? "IPFrontUp" : "IPFrontLow";
    return upper ? "IPMolarUp" : "IPMolarLow";
}

std::string ListEntry(const std::string& list, int entry)
{
    if (entry < 1) entry = 1;
    auto blank = [](char c) { return static_cast<unsigned char>(c) < '!'; };
    std::size_t i = 0;
    for (int n = 1;; ++n) {
        while (i < list.size() && blank(list[i])) ++i;
        std::size_t end = i;
        while (end < list.size() && !blank(list[end])) ++end;
        if (n == entry || i >= list.size()) return list.substr(i, end - i);
        i = end;
    }
}

ModeChoice ChooseMode(int toothIndex, int pValue, const std::string& groupList)
{
    ModeChoice choice;
    const std::string key = ToothGroupKey(toothIndex);
    if (key.empty()) {
        choice.message = platform::Format("Wrong tooth index %d", toothIndex);
        return choice;
    }
    const int entry = pValue < 1 ? 1 : pValue;
    const std::string item = ListEntry(groupList, entry);
    const int mode = item.empty() ? -1 : std::atoi(item.c_str());
    if (item.empty() || mode < 0) {
        choice.message = platform::Format("Can't find entry#%d in %s=%s", entry, key.c_str(), groupList.c_str());
        return choice;
    }
    choice.ok = true;
    choice.mode = mode;
    choice.message = platform::Format("use [IP%d] (entry %d in %s=%s, tooth_index %d)", mode, entry, key.c_str(),
                                      groupList.c_str(), toothIndex);
    return choice;
}

}  // namespace tessari
