#include "tools/grayscope/command_line.h"

#include <sys/stat.h>

#include <charconv>
#include <cstring>

#include "platform/paths.h"

namespace grayscope_host {

namespace {

bool IsDirectory(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// An argument that starts like a frame size: digits followed by x or X.
bool LooksLikeSize(const std::string& a)
{
    std::size_t i = 0;
    while (i < a.size() && IsDigit(a[i]))
        ++i;
    return i > 0 && i < a.size() && (a[i] == 'x' || a[i] == 'X');
}

// One side of a size: digits only, 1..kMaxFrameSide.
bool ParseSide(const char* first, const char* last, int* value)
{
    if (first == last)
        return false;
    for (const char* p = first; p != last; ++p)
        if (!IsDigit(*p))
            return false;
    const auto r = std::from_chars(first, last, *value);
    return r.ec == std::errc() && r.ptr == last && *value >= 1 && *value <= kMaxFrameSide;
}

bool ParseSize(const std::string& a, int* width, int* height)
{
    const std::size_t x = a.find_first_of("xX");
    return x != std::string::npos && ParseSide(a.data(), a.data() + x, width) &&
           ParseSide(a.data() + x + 1, a.data() + a.size(), height);
}

Parsed Fail(std::string error)
{
    Parsed p;
    p.error = std::move(error);
    return p;
}

}  // namespace

Parsed ParseCommandLine(const std::vector<std::string>& args)
{
    // --help and --version are answered before anything else is checked.
    for (const std::string& a : args) {
        if (a == "--")
            break;
        if (a == "-h" || a == "--help" || a == "--version") {
            Parsed p;
            p.ok = true;
            p.options.action = a == "--version" ? Action::Version : Action::Help;
            return p;
        }
    }
    Options o;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    std::string bpm;
    bool bpmGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnded && a == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && a == "--bpm") {
            if (i + 1 >= args.size())
                return Fail("missing value for option --bpm");
            bpm = args[++i];
            bpmGiven = true;
        } else if (!optionsEnded && a.rfind("--bpm=", 0) == 0) {
            bpm = a.substr(6);
            bpmGiven = true;
        } else if (!optionsEnded && a.size() > 1 && a[0] == '-') {
            return Fail("unknown option " + a);
        } else {
            positional.push_back(a);
        }
    }
    std::size_t next = 0;
    if (next < positional.size() && LooksLikeSize(positional[next])) {
        if (!ParseSize(positional[next], &o.width, &o.height))
            return Fail("invalid frame size " + positional[next] + " (WIDTHxHEIGHT, each 1.." +
                        std::to_string(kMaxFrameSide) + ")");
        o.sizeGiven = true;
        ++next;
    }
    if (next < positional.size())
        o.mask = positional[next++];
    if (next < positional.size())
        return Fail("unexpected argument " + positional[next]);
    if (bpmGiven) {
        if (bpm.empty())
            return Fail("missing value for option --bpm");
        if (!o.sizeGiven)
            return Fail("option --bpm needs the frame size WIDTHxHEIGHT of its maps");
        std::string dir = platform::ExpandHome(bpm);
        if (!IsDirectory(dir))
            return Fail("option --bpm: no such directory " + bpm);
        if (dir.back() != '/')
            dir += '/';
        if (dir.size() >= sizeof(BpmDescriptor{}.directory))
            return Fail("option --bpm: directory name longer than " +
                        std::to_string(sizeof(BpmDescriptor{}.directory) - 2) + " characters");
        o.bpmDirectory = dir;
    }
    if (ViewMask(o).size() >= sizeof(ViewDescriptor{}.mask))
        return Fail("mask longer than " + std::to_string(sizeof(ViewDescriptor{}.mask) - 1) + " characters");
    Parsed p;
    p.ok = true;
    p.options = o;
    return p;
}

std::string ViewMask(const Options& options)
{
    const std::string& mask = options.mask;
    if (mask.empty())
        return options.bpmDirectory.empty() ? std::string() : options.bpmDirectory + "*.raw";
    if (IsDirectory(platform::ExpandHome(mask)))
        return mask + (mask.back() == '/' ? "*.raw" : "/*.raw");
    return mask;
}

ViewDescriptor ViewFor(const Options& options)
{
    ViewDescriptor d{};
    d.modal = 1;
    if (options.sizeGiven) {
        d.width = options.width;
        d.height = options.height;
    }
    const std::string mask = ViewMask(options);
    if (mask.size() < sizeof d.mask)
        std::memcpy(d.mask, mask.c_str(), mask.size() + 1);
    return d;
}

BpmDescriptor BpmFor(const Options& options)
{
    BpmDescriptor b{};
    if (options.bpmDirectory.size() < sizeof b.directory)
        std::memcpy(b.directory, options.bpmDirectory.c_str(), options.bpmDirectory.size() + 1);
    b.width = options.width;
    b.height = options.height;
    return b;
}

std::string UsageLine()
{
    return "usage: grayscope [options] [WIDTHxHEIGHT] [MASK]";
}

std::string HelpText()
{
    return UsageLine() +
           "\n"
           "\n"
           "Browse headerless 16-bit raw frames with the Grayscope viewer and edit the\n"
           "manual bad-pixel mask.\n"
           "\n"
           "parameters:\n"
           "  WIDTHxHEIGHT   frame size of the file list, for example 910x688 (each side\n"
           "                 1..65535); without it MASK opens with the last used size\n"
           "  MASK           directory and wildcard, for example '~/Opticor/Log/$*.raw',\n"
           "                 or a directory (then *.raw); without it the newest entry of\n"
           "                 the mask history opens\n"
           "\n"
           "options:\n"
           "  -h, --help     print this help text and exit\n"
           "      --version  print the program name and version and exit\n"
           "      --bpm DIR  calibration directory holding BPM.raw and BPMM.raw, maps of\n"
           "                 WIDTHxHEIGHT frames (required with it): frames of that size\n"
           "                 get the BPM button that opens the bad-pixel mask editor;\n"
           "                 without MASK the view lists DIR/*.raw\n"
           "\n"
           "exit status: 0 the viewer was closed, 2 wrong arguments\n"
           "settings: grayscope.ini beside the program\n";
}

}  // namespace grayscope_host
