// Tessari's command line.
//
// An imaging application starts Tessari with a few switches anywhere in the
// line. The whole line is upper-cased before the search, so the switches are
// case-insensitive; the file name of -F is taken from the line as given, so
// its spelling survives.
//   -D          dark frame (acquisition flags 0) instead of a bright one (1)
//   -F<name>    save only the raw frame to <name>; no calibration, no processing
//   -V<n>       reset-voltage override for the connect call
//   -P<n>       processing mode, or with -T the entry number in the tooth list
//   -T<n>       tooth index (quadrant digit, tooth digit)
#pragma once

#include <string>
#include <string_view>

namespace tessari {

struct CommandLine {
    bool darkFrame = false;
    std::string rawFileName;  // -F, empty when not given
    int vResetOverride = 0;   // -V
    int processingMode = 0;   // -P
    int toothIndex = -1;      // -T
};

// The arguments of main joined by single blanks, as one command line.
std::string JoinArguments(int argc, char** argv);

// The line upper-cased (ASCII), as it is logged and searched.
std::string UpperCased(std::string_view line);

// Reads the switches from line. A number reads like atoi: blanks, an
// optional sign and the digits that follow (none gives 0), so "-t 16" and
// "-t16" are the same.
CommandLine ParseCommandLine(std::string_view line);

}  // namespace tessari
