// The switches are searched in the upper-cased line, each at its first
// occurrence anywhere in it; -F's name is cut from the original line at the
// same position, up to the next blank (any character below '!').
#include "command/command_line.h"

#include <cctype>
#include <climits>

namespace tessari {

namespace {

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
    auto after = [&upper](const char* sw) -> std::size_t {
        const std::size_t at = upper.find(sw);
        return at == std::string::npos ? std::string::npos : at + 2;
    };

    result.darkFrame = after("-D") != std::string::npos;
    if (std::size_t at = after("-F"); at != std::string::npos) {
        std::size_t end = at;
        while (end < line.size() && static_cast<unsigned char>(line[end]) >= '!') ++end;
        result.rawFileName = std::string(line.substr(at, end - at));
    }
    if (std::size_t at = after("-V"); at != std::string::npos) result.vResetOverride = ParseNumber(upper.substr(at));
    if (std::size_t at = after("-P"); at != std::string::npos) result.processingMode = ParseNumber(upper.substr(at));
    if (std::size_t at = after("-T"); at != std::string::npos) result.toothIndex = ParseNumber(upper.substr(at));
    return result;
}

}  // namespace tessari
