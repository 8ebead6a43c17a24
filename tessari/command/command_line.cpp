// The switches are searched in the upper-cased line, each at its first
// occurrence at the start of an argument; -F's name is cut from the original
// line at the same position, up to the next blank (any character below '!').
#include "command/command_line.h"

#include <cctype>
#include <climits>
#include <string>

#ifndef TESSARI_VERSION
#define TESSARI_VERSION "0"
#endif

namespace tessari {

namespace {

bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) < '!';
}

// Whether text begins (after blanks and a sign) with a digit.
bool HasNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

int ParseNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace

std::string UsageText()
{
    return "Usage: tessari [-D] [-F<file>] [-V<n>] [-P<n>] [-T<nn>]\n"
           "Takes one intraoral radiograph with the detector library and exits.\n"
           "\n"
           "  -D         a dark frame instead of a bright one (no X-ray shot)\n"
           "  -F<file>   only the raw frame, written to <file> (\"<width>x<height>.raw\"\n"
           "             is appended to a name without extension); no calibration, no processing\n"
           "  -V<n>      reset-voltage override for the connect, 0.01 V units (0: the setting)\n"
           "  -P<n>      processing mode; with -T the entry of the tooth group's list\n"
           "  -T<nn>     tooth index, quadrant digit then tooth digit (11..48, 51..85, 0)\n"
           "  --help     this text      --version  the program's version\n"
           "\n"
           "Switches are case-insensitive and start an argument. Settings: [Capture application]\n"
           "of kordex.ini; outputs in <HomeDir>/BACKUP/ (image.bmp, image.dcm).\n"
           "Exit status: 0 the radiograph was taken, 1 it failed or was cancelled.\n";
}

std::string VersionText()
{
    return std::string("tessari ") + TESSARI_VERSION + "\n";
}

std::string JoinArguments(int argc, char** argv)
{
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    return line;
}

std::string UpperCased(std::string_view line)
{
    std::string upper(line);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

CommandLine ParseCommandLine(std::string_view line)
{
    const std::string upper = UpperCased(line);
    CommandLine result;
    // The position after the switch's first occurrence at the start of an
    // argument, or npos.
    auto after = [&upper](const char* sw) -> std::size_t {
        for (std::size_t at = upper.find(sw); at != std::string::npos; at = upper.find(sw, at + 1))
            if (at == 0 || IsBlank(upper[at - 1])) return at + 2;
        return std::string::npos;
    };

    result.darkFrame = after("-D") != std::string::npos;
    if (std::size_t at = after("-F"); at != std::string::npos) {
        std::size_t end = at;
        while (end < line.size() && !IsBlank(line[end])) ++end;
        result.rawFileName = std::string(line.substr(at, end - at));
        if (result.rawFileName.empty()) result.error = kRawNameMissing;
    }
    if (std::size_t at = after("-V"); at != std::string::npos) result.vResetOverride = ParseNumber(upper.substr(at));
    if (std::size_t at = after("-P"); at != std::string::npos) result.processingMode = ParseNumber(upper.substr(at));
    if (std::size_t at = after("-T"); at != std::string::npos) {
        if (HasNumber(upper.substr(at)))
            result.toothIndex = ParseNumber(upper.substr(at));
        else if (result.error.empty())
            result.error = kToothMissing;
    }
    return result;
}

}  // namespace tessari
