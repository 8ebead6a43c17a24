// Choosing the processing mode from the tooth.
//
// Each tooth group has a list of mode numbers in [Capture application]; -P
// picks the entry of the list (1 = the first). Tooth index 0 means a
// re-take with the list IPReIndex.
#pragma once

#include <string>

namespace tessari {

// The settings key of the tooth group of toothIndex: "IPFrontUp" (11-13,
// 21-23), "IPFrontLow" (31-33, 41-43), "IPMolarUp" (14-18, 24-28),
// "IPMolarLow" (34-38, 44-48), "IPReIndex" (0); empty for any other index.
std::string ToothGroupKey(int toothIndex);

// The entry'th blank-separated item of list (any character below '!'
// separates; entry below 1 counts as 1); empty when the list has fewer.
std::string ListEntry(const std::string& list, int entry);

struct ModeChoice {
    bool ok = false;
    int mode = 0;           // the chosen processing mode (when ok)
    std::string message;    // the log line (ok) or the error text
};

// The choice for toothIndex and the -P value, given the group's list (read
// by the caller for the key ToothGroupKey returns). Errors:
// "Wrong tooth index %d", "Can't find entry#%d in %s=%s" (also for a negative
// entry); success logs "use [IP%d] (entry %d in %s=%s, tooth_index %d)".
ModeChoice ChooseMode(int toothIndex, int pValue, const std::string& groupList);

}  // namespace tessari
