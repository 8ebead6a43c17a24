// The mask entry "%dx%d / %s" (width, height, directory and wildcard) and the
// mask history of the combo box.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace grayscope {

inline constexpr int kHistoryLimit = 20;  // more entries than this lose the oldest

struct MaskEntry {
    int width = 0;
    int height = 0;
    std::string mask;
    bool valid = false;  // both numbers at least 1
};

// "%dx%d" from the start of the text; the mask is the text after the first
// "/" with leading characters below "!" skipped (the whole text without a
// "/"); a mask without "*." becomes "*.raw".
MaskEntry ParseMaskEntry(std::string_view text);

std::string FormatMaskEntry(int width, int height, std::string_view mask);

// Inserts the entry for width, height and mask at the top of history: an
// entry with the same mask (compared without regard to case) is removed;
// otherwise, when the list holds more than kHistoryLimit entries, the last is.
void UpdateHistory(std::vector<std::string>* history, int width, int height, std::string_view mask);

// The directory part of a mask ("" when it has none) and its wildcard.
std::string MaskDirectory(std::string_view mask);
std::string MaskWildcard(std::string_view mask);

}  // namespace grayscope
