// The command line of the grayscope host program.
//
//   grayscope [options] [WIDTHxHEIGHT] [MASK]
//
// WIDTHxHEIGHT (digits, x or X, digits; each 1..65535) is the frame size of
// the file list; MASK a directory and wildcard or a directory (then "*.raw").
// Options: -h / --help, --version (both answered before anything else is
// checked), --bpm DIR (also --bpm=DIR): the calibration directory holding
// BPM.raw and BPMM.raw, maps of WIDTHxHEIGHT frames, which is then required.
// "--" ends the options.
#pragma once

#include <string>
#include <vector>

#include "grayscope.h"

namespace grayscope_host {

inline constexpr int kMaxFrameSide = 65535;
inline constexpr int kUsageError = 2;  // exit status for a wrong command line

enum class Action { View, Help, Version };

struct Options {
    Action action = Action::View;
    bool sizeGiven = false;
    int width = 0;
    int height = 0;
    std::string mask;          // as given (a directory gets "*.raw" in ViewFor)
    std::string bpmDirectory;  // "~" expanded, with trailing "/"; empty: no maps
};

struct Parsed {
    bool ok = false;
    Options options;
    std::string error;  // one line naming the wrong argument, when !ok
};

// Reads the arguments after the program name. Checks that --bpm names an
// existing directory and that masks and directories fit the descriptors.
Parsed ParseCommandLine(const std::vector<std::string>& args);

// The help text (--help) and the one-line synopsis shown after an error.
std::string HelpText();
std::string UsageLine();

// The mask the view opens: MASK as given, a directory with "*.raw" added;
// with --bpm and no MASK the calibration directory's frames ("DIR/*.raw");
// empty when neither is given.
std::string ViewMask(const Options& options);

// The view to open: modal, with the size given and ViewMask. The library's
// start rules apply: a mask without size takes the last used size, no mask
// the newest entry of the mask history.
ViewDescriptor ViewFor(const Options& options);

// The bad-pixel maps for GSC_SetBPM: the --bpm directory and the frame size,
// no cut edges. Only meaningful when options.bpmDirectory is set.
BpmDescriptor BpmFor(const Options& options);

}  // namespace grayscope_host
