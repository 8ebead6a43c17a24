// kordex-cal: builds and checks a sensor's calibration set from the command
// line -- the dark frame, bright frames at several exposures, the gain
// points and the automatic bad-pixel map "BPM.raw" -- with the same library
// functions the service pages use, and the acquisition and calibration
// exports for the frames.
//
//   kordex-cal dark    [--skip N] [--average N]
//   kordex-cal bright  [--skip N] [--average N]
//   kordex-cal points  [--tolerance N] [--replace]
//   kordex-cal bpm     [--no-dark] [--no-bright]
//   kordex-cal summary [--gamut G]
//   kordex-cal check
//   kordex-cal --help | --version
//
// --help and --version are answered before anything else: no settings are
// read and no sensor is touched. A wrong argument is named on standard error
// with the usage, and nothing is done.
//
// The tool carries its own copy of the detector library (it links the
// library's static parts): the service functions it calls are not exports of
// libkordex.so. It therefore reads its settings like the library does --
// $KORDEX_INI, else "kordex.ini" beside the program or in its parent
// directory -- and works in the calibration directory of that HomeDir.
#include <csignal>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <atomic>
#include <cmath>
#include <exception>
#include <mutex>
#include <string>
#include <vector>

#include "calibration/auto_bad_pixel_map.h"
#include "calibration/bad_pixel_map.h"
#include "calibration/cal_preview.h"
#include "calibration/calibration_frame_names.h"
#include "calibration/frame_recording.h"
#include "calibration/gain_point_generation.h"
#include "calibration/trimmed_mode.h"
#include "frame/library.h"
#include "kordex.h"
#include "platform/paths.h"
#include "platform/program_arguments.h"
#include "platform/raw_file.h"
#include "platform/text.h"

#ifndef KORDEX_TOOLS_VERSION
#error "KORDEX_TOOLS_VERSION (the project's four-part version) must be defined by the build"
#endif

namespace {

constexpr const char* kProgram = "kordex-cal";

// Exit status.
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;  // the library's (or the tool's) error text is on standard error
constexpr int kExitUsage = 2;   // wrong arguments; nothing was done

constexpr const char* kSynopsis =
    "usage: kordex-cal dark    [--skip N] [--average N]\n"
    "       kordex-cal bright  [--skip N] [--average N]\n"
    "       kordex-cal points  [--tolerance N] [--replace]\n"
    "       kordex-cal bpm     [--no-dark] [--no-bright]\n"
    "       kordex-cal summary [--gamut G]\n"
    "       kordex-cal check\n"
    "       kordex-cal --help | --version\n";

constexpr const char* kHelp =
    "\n"
    "Records and checks the sensor's calibration set in the calibration directory\n"
    "(<HomeDir>/CAL/) of the settings file: $KORDEX_INI, else kordex.ini beside the\n"
    "program or in its parent directory.\n"
    "\n"
    "commands:\n"
    "  dark      record dark.raw (raw, averaged)\n"
    "  bright    record an offset-corrected bright frame x<level><letter>.raw;\n"
    "            release the X-ray shot for every frame\n"
    "  points    average bright frames of similar level into the gain points\n"
    "            A<nn>_<level>.raw\n"
    "  bpm       generate the automatic bad-pixel map BPM.raw from dark.raw and the\n"
    "            gain points (masks MaskAutoBPMDark, MaskAutoBPMBright; [BadPixMap])\n"
    "  summary   list the set: levels, bad pixels, gain curves at three pixels\n"
    "  check     take a flat bright frame; print its spread raw and calibrated\n"
    "\n"
    "options:\n"
    "  --skip N        dark, bright: frames discarded first (0..1000; default 0)\n"
    "  --average N     dark, bright: frames averaged (1..1000; default 1)\n"
    "  --tolerance N   points: largest level step within one point (0..99999;\n"
    "                  default AveBrightTolerance)\n"
    "  --replace       points: replace existing gain points; the old ones go only\n"
    "                  once every new point is written\n"
    "  --no-dark       bpm: leave out the dark frames\n"
    "  --no-bright     bpm: leave out the bright frames (not with --no-dark)\n"
    "  --gamut G       summary: input range of the gain curves (100..32767; default\n"
    "                  4096)\n"
    "  -h, --help      print this text and exit\n"
    "  --version       print the program's name and version and exit\n"
    "\n"
    "Progress goes to standard error; Ctrl-C aborts a recording.\n"
    "\n"
    "exit status:\n"
    "  0  done\n"
    "  1  failed; the library's error text is printed on standard error\n"
    "  2  wrong arguments; nothing was done\n";

std::atomic<bool> interrupted{false};

void OnInterrupt(int)
{
    interrupted.store(true);
}

int Usage(const std::string& problem)
{
    std::fprintf(stderr, "%s: %s\n%s", kProgram, problem.c_str(), kSynopsis);
    return kExitUsage;
}

int Fail(const std::string& text)
{
    std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
    return kExitFailed;
}

// "--name N" with its range, and a flag.
struct NumberOption {
    const char* name;
    int min, max;
    int* value;
};
struct FlagOption {
    const char* name;
    bool* set;
};

// The words after the command: flags and "--name N" options of this command
// only, each as often as wanted (the last one counts). False with *problem
// naming the first word that is wrong.
bool ParseOptions(const std::string& command, const std::vector<std::string>& words,
                  std::initializer_list<NumberOption> numbers, std::initializer_list<FlagOption> flags,
                  std::string* problem)
{
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        bool known = false;
        for (const FlagOption& f : flags) {
            if (word != f.name) continue;
            *f.set = true;
            known = true;
        }
        for (const NumberOption& n : numbers) {
            if (known || word != n.name) continue;
            known = true;
            if (i + 1 >= words.size()) {
                *problem = platform::Format("%s needs a number", n.name);
                return false;
            }
            const std::string& text = words[++i];
            char* end = nullptr;
            errno = 0;
            const long v = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || end == text.c_str() || *end != '\0' || errno == ERANGE || v < n.min || v > n.max) {
                *problem = platform::Format("%s: \"%s\" is not a whole number from %d to %d", n.name, text.c_str(),
                                            n.min, n.max);
                return false;
            }
            *n.value = static_cast<int>(v);
        }
        if (known) continue;
        if (word.size() > 1 && word[0] == '-')
            *problem = platform::Format("unknown option \"%s\" for %s", word.c_str(), command.c_str());
        else
            *problem = platform::Format("unexpected argument \"%s\" for %s", word.c_str(), command.c_str());
        return false;
    }
    return true;
}

void PrintProgress(const kordex::RecordingProgress& p)
{
    // Phase changes only, and the read-out in quarters. Calls come from the
    // caller's thread and the read-out thread, one at a time.
    static std::mutex mutex;
    static std::string last;
    std::lock_guard<std::mutex> lock(mutex);
    std::string line = p.phase;
    if (std::strcmp(p.phase, "acquiring") == 0) line += platform::Format(" %d%%", p.percent / 25 * 25);
    std::string key = std::to_string(p.request.index) + line;
    if (key == last) return;
    last = key;
    std::fprintf(stderr, "frame %d/%d%s: %s\n", p.request.index + 1, p.request.count,
                 p.request.skipped ? " (skipped)" : "", line.c_str());
}

using Words = std::vector<std::string>;

int Record(const std::string& command, const Words& words)
{
    kordex::RecordingOptions options;
    options.bright = command == "bright";
    int skip = 0, average = 1;
    std::string problem;
    if (!ParseOptions(command, words, {{"--skip", 0, 1000, &skip}, {"--average", 1, 1000, &average}}, {}, &problem))
        return Usage(problem);
    options.sequence = skip != 0 || average != 1;
    options.framesIgnore = skip;
    options.framesAverage = average;
    if (options.bright) std::fputs("bright frames: release the X-ray shot for every frame (Ctrl-C aborts)\n", stderr);
    const kordex::RecordingResult result =
        kordex::RecordCalibrationFrame(options, kordex::ExportFrameSource(&interrupted, PrintProgress));
    if (!result.ok) return Fail(result.error);
    std::printf("%s level %d\n", result.path.c_str(), result.level);
    return kExitDone;
}

int Points(const std::string& command, const Words& words)
{
    int tolerance = -1;  // AveBrightTolerance
    bool replace = false;
    std::string problem;
    if (!ParseOptions(command, words, {{"--tolerance", 0, 99999, &tolerance}}, {{"--replace", &replace}}, &problem))
        return Usage(problem);
    if (tolerance < 0) tolerance = kordex::Lib().settings.aveBrightTolerance;
    const kordex::CalibrationSetContext ctx = kordex::CalibrationSetFromLibrary();
    if (kordex::BrightFrameList(ctx.calibrationDir).empty())
        return Fail("no bright frames x??????.raw in " + ctx.calibrationDir);
    if (!kordex::GainPointList(ctx.calibrationDir).empty() && !replace)
        return Fail("gain points exist already (--replace replaces them)");
    const kordex::GainPointGeneration result = kordex::GenerateGainPoints(ctx, tolerance);
    for (const kordex::GeneratedPoint& p : result.points) {
        if (p.frames == 0)
            std::fprintf(stderr, "%s: %s\n", kProgram,
                         platform::Format(kordex::kNoPointFromFormat, p.sources.c_str()).c_str());
        else if (!p.name.empty())
            std::printf("%s\n", platform::Format(kordex::kCreatePointFormat, p.name.c_str(), p.frames).c_str());
    }
    if (!result.ok) return Fail(result.error);
    return kExitDone;
}

int BadPixelMap(const std::string& command, const Words& words)
{
    bool noDark = false, noBright = false;
    std::string problem;
    if (!ParseOptions(command, words, {}, {{"--no-dark", &noDark}, {"--no-bright", &noBright}}, &problem))
        return Usage(problem);
    // Without frames the generation would only delete the map.
    if (noDark && noBright) return Usage("--no-dark and --no-bright together leave no frame to examine");
    kordex::Library& lib = kordex::Lib();
    const kordex::CalibrationSetContext ctx = kordex::CalibrationSetFromLibrary();
    const std::string dark = kordex::AutoMapMaskPath(lib.settings.maskAutoBPMDark, ctx.calibrationDir);
    const std::string bright = kordex::AutoMapMaskPath(lib.settings.maskAutoBPMBright, ctx.calibrationDir);
    const std::string output = ctx.calibrationDir + kordex::kAutomaticMapFile;
    const int result = kordex::GenerateAutoBadPixelMap(ctx, lib.settings.badPixMap,
                                                       noDark ? nullptr : dark.c_str(),
                                                       noBright ? nullptr : bright.c_str(), output);
    if (result == 0) return Fail("Can't generate Automatic Bad Pixels Map");
    std::printf("%s %s\n", output.c_str(), platform::FileExists(output) ? "written" : "deleted (no bad pixel)");
    return kExitDone;
}

bool ReadFrame(const kordex::CalibrationSetContext& ctx, const std::string& name, std::vector<std::int16_t>* frame)
{
    frame->resize(ctx.Pixels());
    const std::size_t bytes = ctx.Pixels() * 2;
    return platform::ReadRawFile(platform::ResolveNoCase(ctx.calibrationDir + name), frame->data(),
                                 static_cast<std::int64_t>(bytes), bytes, nullptr);
}

int Summary(const std::string& command, const Words& words)
{
    int gamut = kordex::kDefaultChartGamut;
    std::string problem;
    if (!ParseOptions(command, words, {{"--gamut", kordex::kMinChartGamut, 32767, &gamut}}, {}, &problem))
        return Usage(problem);
    const kordex::CalibrationSetContext ctx = kordex::CalibrationSetFromLibrary();
    std::printf("calibration directory %s (frames %d x %d)\n", ctx.calibrationDir.c_str(), ctx.width, ctx.height);
    std::vector<std::int16_t> frame;
    auto level = [&](const std::string& name) {
        if (!ReadFrame(ctx, name, &frame)) std::printf("  %-16s unreadable\n", name.c_str());
        else std::printf("  %-16s level %d\n", name.c_str(), kordex::TrimmedMode(frame.data(), frame.size()));
    };
    std::printf("dark frame:\n");
    if (platform::FileExists(platform::ResolveNoCase(ctx.calibrationDir + kordex::kDarkFrameFile))) level(kordex::kDarkFrameFile);
    else std::printf("  none\n");
    std::printf("bright frames:\n");
    for (const std::string& name : kordex::BrightFrameList(ctx.calibrationDir)) level(name);
    std::printf("gain points:\n");
    for (const std::string& name : kordex::GainPointList(ctx.calibrationDir)) level(name);
    for (const char* map : {kordex::kAutomaticMapFile, kordex::kManualMapFile}) {
        if (!platform::FileExists(platform::ResolveNoCase(ctx.calibrationDir + map))) {
            std::printf("%s: none\n", map);
        } else if (!ReadFrame(ctx, map, &frame)) {
            std::printf("%s: unreadable\n", map);
        } else {
            int bad = 0, outline = 0;
            for (std::int16_t code : frame) bad += code > 1, outline += code == 1;
            std::printf("%s: %d bad pixels (%d outline pixels)\n", map, bad, outline);
        }
    }
    kordex::GainPointSet set;
    std::string title, message;
    const int loaded = kordex::LoadGainChart(ctx, &set, &title, &message);
    std::printf("%s (%s)\n", title.c_str(), message.c_str());
    if (loaded < 0) return Fail(message);
    if (set.count == 0) return kExitDone;
    for (const auto& [x, y] : kordex::DefaultChartPixels(ctx.width, ctx.height)) {
        const kordex::GainChartCurve c = kordex::GainChartCurveAt(set, ctx.width, x, y, gamut);
        std::printf("pixel (%d, %d): points", x, y);
        for (const auto& [value, lvl] : c.points) std::printf(" %d->%d", value, lvl);
        std::printf("\n  curve");
        for (int i = 0; i < kordex::kChartSamples; i += 3)
            std::printf(" %d->%lld", c.input[static_cast<std::size_t>(i)], static_cast<long long>(c.output[static_cast<std::size_t>(i)]));
        std::printf("\n");
    }
    return kExitDone;
}

// Standard deviation over the inner region.
double Spread(const kordex::CalibrationSetContext& ctx, const std::vector<std::int16_t>& frame)
{
    double sum = 0, squares = 0, n = 0;
    for (int y = ctx.top; y < ctx.height - ctx.bottom; ++y)
        for (int x = ctx.left; x < ctx.width - ctx.right; ++x) {
            const double v = frame[static_cast<std::size_t>(y) * static_cast<std::size_t>(ctx.width) + static_cast<std::size_t>(x)];
            sum += v;
            squares += v * v;
            ++n;
        }
    const double mean = sum / n;
    return std::sqrt(std::max(squares / n - mean * mean, 0.0));
}

int Check(const std::string& command, const Words& words)
{
    std::string problem;
    if (!ParseOptions(command, words, {}, {}, &problem)) return Usage(problem);
    const kordex::CalibrationSetContext ctx = kordex::CalibrationSetFromLibrary();
    std::fputs("a flat bright frame: release the X-ray shot (Ctrl-C aborts)\n", stderr);
    std::vector<std::int16_t> raw(ctx.Pixels());
    kordex::FrameRequest request;
    request.bright = true;
    std::string error;
    if (!kordex::ExportFrameSource(&interrupted, PrintProgress)(request, raw.data(), &error)) return Fail(error);
    std::vector<std::int16_t> calibrated = raw;
    if (!kordex::CalibrateThroughExports(1u | 2u | 4u, calibrated.data(), &interrupted, &error)) return Fail(error);
    const double before = Spread(ctx, raw), after = Spread(ctx, calibrated);
    std::printf("spread (standard deviation over the inner region): raw %.1f, calibrated %.1f (%.1fx flatter)\n", before,
                after, after > 0 ? before / after : 0.0);
    return kExitDone;
}

int Run(int argc, char** argv)
{
    if (argc < 2) return Usage("no command given");
    const std::string command = argv[1];
    const Words words(argv + 2, argv + argc);
    std::signal(SIGINT, OnInterrupt);
    if (command == "dark" || command == "bright") return Record(command, words);
    if (command == "points") return Points(command, words);
    if (command == "bpm") return BadPixelMap(command, words);
    if (command == "summary") return Summary(command, words);
    if (command == "check") return Check(command, words);
    return Usage("unknown command \"" + command + "\"");
}

}  // namespace

int main(int argc, char** argv)
{
    // --help and --version before a "--" win over everything else.
    const std::string usage = std::string(kSynopsis) + kHelp;
    const std::string version = std::string(kProgram) + " " + KORDEX_TOOLS_VERSION + "\n";
    if (platform::AnswerInfoRequest(argc, argv, usage.c_str(), version.c_str())) return kExitDone;
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {  // out of memory for a frame
        return Fail(e.what());
    }
}
