// calpost-tool: runs one of Calpost's computations on raw frame files.
//
// Inputs are raw frames (16-bit little-endian samples, row by row, no
// header) of the width and height given on the command line; the double
// frames of the calibration exports are made from their unsigned samples.
// Every result is written as a raw frame of the same size, so the viewer
// shows it directly; bad-pixel maps are written as 16-bit samples of their
// byte values (0 good, 1 or 255 bad). PostPrc takes its parameters from the
// Calpost mode defaults, changed by KEY=VALUE arguments named like the
// detector library's mode keys (case does not matter).
//
// --help and --version are answered before anything else. Every input file
// is checked against W x H x 2 bytes before any frame is allocated, so a
// mistyped size is a clear error instead of an allocation of gigabytes.
//
// Exit status: 0 done, 1 a file or the computation failed, 2 wrong
// arguments (named on standard error, with the usage text).
#include <sys/stat.h>

#include <bit>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "calpost.h"
#include "calpost/post_prc_params.h"
#include "platform/program_arguments.h"
#include "platform/raw_file.h"
#include "platform/text.h"

static_assert(std::endian::native == std::endian::little, "raw frames are read in place as little-endian");

#ifndef KORDEX_TOOLS_VERSION
#error "KORDEX_TOOLS_VERSION (the project's four-part version) must be defined by the build"
#endif

namespace {

constexpr const char* kProgram = "calpost-tool";

// Exit status.
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;  // a file or the computation failed
constexpr int kExitUsage = 2;   // wrong arguments; nothing was done

constexpr int kMaxSide = 65536;

constexpr const char* kUsage =
    "usage: calpost-tool <command> <width> <height> <arguments...>\n"
    "       calpost-tool --help | --version\n"
    "  calibration W H dark.raw bright.raw raw.raw out.raw\n"
    "      flat-field calibration, result rescaled to 0..65535\n"
    "  bpmap1 W H dark.raw bright.raw low high out.raw\n"
    "      bad where dark > high*max(dark), bright > high*max(bright) or bright < low*max(bright)\n"
    "  bpmap2 W H dark.raw bright.raw low high out.raw\n"
    "      bad where bright - dark lies outside the histogram limits at levels low and high\n"
    "  bpmap W H image.raw window percentage sigma out.raw\n"
    "      about percentage % of the pixels farthest from their window median get 255\n"
    "  postprc W H image.raw out.raw [KEY=VALUE ...]\n"
    "      the full enhancement; keys BPKS BPAL BPFR ERCL ERCH TBTH TBS1 MRL MRM MRP MRXC\n"
    "      MRA0..MRA3 LCON LCIL LCSL LCCRX LCCRY (defaults of the Calpost modes); the\n"
    "      result is turned by 180 degrees, as the library delivers it\n"
    "Raw files: 16-bit little-endian samples, W x H, no header. Maps are written as\n"
    "16-bit samples (0 good, 1 or 255 bad).\n";

constexpr const char* kHelp =
    "\n"
    "W and H are whole numbers from 1 to 65536; every input file must hold exactly\n"
    "W x H x 2 bytes.\n"
    "\n"
    "options:\n"
    "  -h, --help    print this text and exit\n"
    "  --version     print the program's name and version and exit\n"
    "\n"
    "exit status:\n"
    "  0  done\n"
    "  1  a file or the computation failed (the reason is on standard error)\n"
    "  2  wrong arguments; nothing was done\n";

struct Frame {
    int width = 0;
    int height = 0;
};

int Usage(const std::string& problem)
{
    std::fprintf(stderr, "%s: %s\n", kProgram, problem.c_str());
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

int Fail(const std::string& problem)
{
    std::fprintf(stderr, "%s: %s\n", kProgram, problem.c_str());
    return kExitFailed;
}

bool ParseInt(std::string_view text, int& value)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

bool ParseDouble(std::string_view text, double& value)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

std::size_t Count(const Frame& f)
{
    return static_cast<std::size_t>(f.width) * static_cast<std::size_t>(f.height);
}

// Whether every file holds exactly one W x H frame, by its size alone, so
// nothing is allocated for a file that cannot be read. The texts are those
// of the raw-file reader.
bool CheckSizes(const Frame& f, std::initializer_list<const std::string*> paths, std::string& error)
{
    const long long expected = static_cast<long long>(Count(f)) * 2;
    for (const std::string* path : paths) {
        struct stat info {};
        const int code = stat(path->c_str(), &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
        if (code != 0) {
            error = platform::Format("can't open %s (%s)", path->c_str(), std::strerror(code));
            return false;
        }
        if (static_cast<long long>(info.st_size) != expected) {
            error = platform::Format("size of %s (%lld instead %lld = %d x %d x 2)", path->c_str(),
                                     static_cast<long long>(info.st_size), expected, f.width, f.height);
            return false;
        }
    }
    return true;
}

bool ReadFrame(const std::string& path, const Frame& f, std::vector<std::uint16_t>& pixels, std::string& error)
{
    pixels.assign(Count(f), 0);
    platform::FileError fileError;
    const std::size_t bytes = pixels.size() * sizeof(std::uint16_t);
    if (platform::ReadRawFile(path, pixels.data(), static_cast<std::int64_t>(bytes), bytes, &fileError)) return true;
    error = fileError.text;
    if (fileError.code != 0) error += platform::Format(" (code %d)", fileError.code);
    return false;
}

bool ReadDoubles(const std::string& path, const Frame& f, std::vector<double>& values, std::string& error)
{
    std::vector<std::uint16_t> pixels;
    if (!ReadFrame(path, f, pixels, error)) return false;
    values.assign(pixels.begin(), pixels.end());
    return true;
}

int WriteFrame(const std::string& path, const std::vector<std::uint16_t>& pixels)
{
    platform::FileError fileError;
    if (platform::WriteRawFile(path, pixels.data(), pixels.size() * sizeof(std::uint16_t), &fileError)) return kExitDone;
    return Fail(fileError.text + (fileError.code ? platform::Format(" (code %d)", fileError.code) : ""));
}

int WriteMap(const std::string& path, const std::uint8_t* map, std::size_t count)
{
    const std::vector<std::uint16_t> pixels(map, map + count);
    return WriteFrame(path, pixels);
}

int RunCalibration(const Frame& f, const std::vector<std::string>& a)
{
    if (a.size() != 4) return Usage("calibration needs dark, bright, raw and output files");
    std::vector<double> dark, bright, raw;
    std::string error;
    if (!CheckSizes(f, {&a[0], &a[1], &a[2]}, error)) return Fail(error);
    if (!ReadDoubles(a[0], f, dark, error) || !ReadDoubles(a[1], f, bright, error) ||
        !ReadDoubles(a[2], f, raw, error))
        return Fail(error);
    std::uint16_t* out = Calibration(dark.data(), bright.data(), raw.data(), f.width, f.height);
    if (!out) return Fail("calibration failed (out of memory)");
    const std::vector<std::uint16_t> result(out, out + Count(f));
    CalpostFree(out);
    return WriteFrame(a[3], result);
}

int RunThresholdMaps(const Frame& f, const std::vector<std::string>& a, bool byHistogram)
{
    if (a.size() != 5) return Usage("the map needs dark and bright files, low, high and an output file");
    double low = 0.0, high = 0.0;
    if (!ParseDouble(a[2], low)) return Usage("low \"" + a[2] + "\" is not a number");
    if (!ParseDouble(a[3], high)) return Usage("high \"" + a[3] + "\" is not a number");
    std::vector<double> dark, bright;
    std::string error;
    if (!CheckSizes(f, {&a[0], &a[1]}, error)) return Fail(error);
    if (!ReadDoubles(a[0], f, dark, error) || !ReadDoubles(a[1], f, bright, error)) return Fail(error);
    std::uint8_t* map = byHistogram ? GenerateBPMAP_2(dark.data(), bright.data(), f.width, f.height, low, high)
                                    : GenerateBPMAP_1(dark.data(), bright.data(), f.width, f.height, low, high);
    if (!map) return Fail("map generation failed (out of memory)");
    const int status = WriteMap(a[4], map, Count(f));
    CalpostFree(map);
    return status;
}

int RunMedianMap(const Frame& f, const std::vector<std::string>& a)
{
    if (a.size() != 5) return Usage("bpmap needs an image file, window, percentage, sigma and an output file");
    double window = 0.0, percentage = 0.0, sigma = 0.0;
    const char* names[] = {"window", "percentage", "sigma"};
    double* values[] = {&window, &percentage, &sigma};
    for (int i = 0; i < 3; ++i)
        if (!ParseDouble(a[static_cast<std::size_t>(i) + 1], *values[i]))
            return Usage(std::string(names[i]) + " \"" + a[static_cast<std::size_t>(i) + 1] + "\" is not a number");
    std::vector<std::uint16_t> image;
    std::string error;
    if (!CheckSizes(f, {&a[0]}, error) || !ReadFrame(a[0], f, image, error)) return Fail(error);
    std::vector<std::uint8_t> map(Count(f));
    if (!GenerateBPMAP(image.data(), f.width, f.height, map.data(), window, percentage, sigma))
        return Fail("map generation refused (sigma must be above 0 and at most 10000) or out of memory");
    return WriteMap(a[4], map.data(), map.size());
}

// Sets the field a mode key names; false for an unknown key.
bool SetKey(calpost::PostPrcParams& p, std::string_view key, double value)
{
    struct Field {
        const char* key;
        double* field;
    };
    const Field fields[] = {
        {"BPKS", &p.medianWindow},     {"BPAL", &p.detailFactor},       {"BPFR", &p.replacePercent},
        {"ERCL", &p.windowLow},        {"ERCH", &p.windowHigh},         {"TBTH", &p.toneBreakX},
        {"TBS1", &p.toneBreakY},       {"MRL", &p.pyramidLevels},       {"MRM", &p.coefficientRange},
        {"MRP", &p.coefficientExponent}, {"MRXC", &p.coefficientKnee},  {"MRA0", &p.gains[0]},
        {"MRA1", &p.gains[1]},         {"MRA2", &p.gains[2]},           {"MRA3", &p.gains[3]},
        {"LCIL", &p.greyLevels},       {"LCSL", &p.clipFactor},         {"LCCRX", &p.tilesAcross},
        {"LCCRY", &p.tilesDown},
    };
    for (const Field& f : fields) {
        if (platform::EqualsNoCase(key, f.key)) {
            *f.field = value;
            return true;
        }
    }
    if (platform::EqualsNoCase(key, "LCON")) {
        p.localEqualisation = value != 0.0 ? 1 : 0;
        return true;
    }
    return false;
}

int RunPostPrc(const Frame& f, const std::vector<std::string>& a)
{
    if (a.size() < 2) return Usage("postprc needs an image file and an output file");
    calpost::PostPrcParams params;
    for (std::size_t i = 2; i < a.size(); ++i) {
        const std::string_view arg = a[i];
        const std::size_t eq = arg.find('=');
        double value = 0.0;
        if (eq == std::string_view::npos || !ParseDouble(arg.substr(eq + 1), value))
            return Usage("expected KEY=VALUE, got \"" + a[i] + "\"");
        if (!SetKey(params, arg.substr(0, eq), value))
            return Usage("unknown key \"" + std::string(arg.substr(0, eq)) + "\"");
    }
    std::vector<std::uint16_t> image;
    std::string error;
    if (!CheckSizes(f, {&a[0]}, error) || !ReadFrame(a[0], f, image, error)) return Fail(error);
    std::uint16_t* out = calpost::CallPostPrc(&PostPrc, image.data(), f.width, f.height, params);
    if (!out) return Fail("PostPrc failed (out of memory)");
    const std::vector<std::uint16_t> result(out, out + Count(f));
    CalpostFree(out);
    return WriteFrame(a[1], result);
}

bool ParseSide(const char* name, const char* text, int& value, std::string& problem)
{
    if (ParseInt(text, value) && value >= 1 && value <= kMaxSide) return true;
    problem = platform::Format("%s \"%s\" is not a whole number from 1 to %d", name, text, kMaxSide);
    return false;
}

int Run(int argc, char** argv)
{
    if (argc < 2) return Usage("no command given");
    const std::string command = argv[1];
    const char* const commands[] = {"calibration", "bpmap1", "bpmap2", "bpmap", "postprc"};
    bool known = false;
    for (const char* c : commands) known = known || command == c;
    if (!known) return Usage("unknown command \"" + command + "\"");
    if (argc < 4) return Usage(command + " needs a width and a height");
    Frame f;
    std::string problem;
    if (!ParseSide("width", argv[2], f.width, problem) || !ParseSide("height", argv[3], f.height, problem))
        return Usage(problem);
    const std::vector<std::string> args(argv + 4, argv + argc);
    if (command == "calibration") return RunCalibration(f, args);
    if (command == "bpmap1") return RunThresholdMaps(f, args, false);
    if (command == "bpmap2") return RunThresholdMaps(f, args, true);
    if (command == "bpmap") return RunMedianMap(f, args);
    return RunPostPrc(f, args);
}

}  // namespace

int main(int argc, char** argv)
{
    // --help and --version before a "--" win over everything else.
    const std::string usage = std::string(kUsage) + kHelp;
    const std::string version = std::string(kProgram) + " " + KORDEX_TOOLS_VERSION + "\n";
    if (platform::AnswerInfoRequest(argc, argv, usage.c_str(), version.c_str())) return kExitDone;
    try {
        return Run(argc, argv);
    } catch (const std::exception&) {  // a frame of a size the machine cannot hold
        return Fail("out of memory");
    }
}
