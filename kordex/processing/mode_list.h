// The list of standard processing modes 1..30 as the service page shows it
// (a drop-down whose items carry mode numbers), and the operations that
// define, rename and delete modes in the settings file.
//
// The list is a plain record the page mirrors into its control; questions go
// through a callback so the operations run without a window (tests answer
// them). Modes are kept numbered 1..n without gaps: positions map to mode
// numbers as position + 1, and deleting a mode moves the sections above it
// down by one.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/profile_file.h"

namespace kordex {

inline constexpr int kMaxListedModes = 30;

struct ModeListItem {
    std::string caption;
    int mode = 0;
};

struct ModeList {
    std::vector<ModeListItem> items;
    int selection = -1;  // -1 = nothing selected
};

// Asks an OK/Cancel question (question icon); returns true for OK. Called on
// the caller's thread.
using ModeQuestion = std::function<bool(const std::string& text)>;
// Shows an error text (error icon). Called on the caller's thread.
using ModeError = std::function<void(const std::string& text)>;

// Refills list from the sections IP1..IP30 that have a non-empty caption.
// preferredMode (normally IPDefaultModeNumber; 0 = none) becomes the
// selection when listed; without a preferred mode the previous selection
// index is kept when still valid; else index 0. With no caption at all,
// "Default standatd mode" is written as the caption of mode 1 and listed.
void FillModeList(platform::ProfileFile& profile, ModeList& list, int preferredMode);

// Defines mode count+1 with the trimmed editText as its caption after asking
// "Do you want to define new IP mode\n'<caption>' ?". Returns true when the
// mode was written; an empty caption or Cancel does nothing.
bool DefineMode(platform::ProfileFile& profile, ModeList& list, const std::string& editText, const ModeQuestion& ask);

// Renames the mode at position (0-based, must be valid) to the trimmed
// editText after asking. Returns true when renamed.
bool RenameMode(platform::ProfileFile& profile, ModeList& list, int position, const std::string& editText,
                const ModeQuestion& ask);

// Deletes the selected mode (or the mode at position when nothing is
// selected) after asking; the sections above move down by one and the last
// is removed. With one item or none it shows "Can't delete the last IP mode."
// and returns false. Returns true when deleted.
bool DeleteMode(platform::ProfileFile& profile, ModeList& list, int position, const ModeQuestion& ask,
                const ModeError& error);

}  // namespace kordex
