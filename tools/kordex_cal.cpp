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
//
// The tool carries its own copy of the detector library (it links the
// library's static parts): the service functions it calls are not exports of
// libkordex.so. It therefore reads its settings like the library does --
// $KORDEX_INI, else "kordex.ini" beside the program or in its parent
// directory -- and works in the calibration directory of that HomeDir.
//
// Exit status: 0 done, 1 the library reported a failure (its text is printed
// on standard error), 2 wrong arguments.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <atomic>
#include <cmath>
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
#include "platform/raw_file.h"
#include "platform/text.h"

namespace {

std::atomic<bool> interrupted{false};

void OnInterrupt(int)
{
    interrupted.store(true);
}

int Usage()
{
    std::fputs(
        "usage: kordex-cal dark    [--skip N] [--average N]\n"
        "       kordex-cal bright  [--skip N] [--average N]\n"
        "       kordex-cal points  [--tolerance N] [--replace]\n"
        "       kordex-cal bpm     [--no-dark] [--no-bright]\n"
        "       kordex-cal summary [--gamut G]\n"
        "       kordex-cal check\n",
        stderr);
    return 2;
}

int Fail(const std::string& text)
{
    std::fprintf(stderr, "kordex-cal: %s\n", text.c_str());
    return 1;
}

// The options after the subcommand: "--name value" pairs and flags.
struct Arguments {
    std::vector<std::string> words;
    bool Flag(const char* name) const
    {
        for (const std::string& w : words)
            if (w == name) return true;
        return false;
    }
    // false when the option is given without a number.
    bool Number(const char* name, int* value) const
    {
        for (std::size_t i = 0; i < words.size(); ++i) {
            if (words[i] != name) continue;
            if (i + 1 >= words.size()) return false;
            char* end = nullptr;
            const long v = std::strtol(words[i + 1].c_str(), &end, 10);
            if (end == words[i + 1].c_str() || *end != '\0' || v < 0 || v > 100000) return false;
            *value = static_cast<int>(v);
        }
        return true;
    }
    // Every word is one of the known options (numbers after numeric ones).
    bool Only(std::initializer_list<const char*> numeric, std::initializer_list<const char*> flags) const
    {
        for (std::size_t i = 0; i < words.size(); ++i) {
            bool known = false;
            for (const char* f : flags)
                if (words[i] == f) known = true;
            for (const char* n : numeric) {
                if (known || words[i] != n) continue;
                if (i + 1 >= words.size()) return false;  // the number is missing
                known = true;
                ++i;
            }
            if (!known) return false;
        }
        return true;
    }
};

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

int Record(bool bright, const Arguments& args)
{
    kordex::RecordingOptions options;
    options.bright = bright;
    int skip = 0, average = 1;
    if (!args.Only({"--skip", "--average"}, {}) || !args.Number("--skip", &skip) || !args.Number("--average", &average))
        return Usage();
    options.sequence = skip != 0 || average != 1;
    options.framesIgnore = skip;
    options.framesAverage = average;
    if (bright) std::fputs("bright frames: release the X-ray shot for every frame (Ctrl-C aborts)\n", stderr);
    const kordex::RecordingResult result =
        kordex::RecordCalibrationFrame(options, kordex::ExportFrameSource(&interrupted, PrintProgress));
    if (!result.ok) return Fail(result.error);
    std::printf("%s level %d\n", result.path.c_str(), result.level);
    return 0;
}

int Points(const Arguments& args)
{
    kordex::Library& lib = kordex::Lib();
    int tolerance = lib.settings.aveBrightTolerance;
    if (!args.Only({"--tolerance"}, {"--replace"}) || !args.Number("--tolerance", &tolerance)) return Usage();
    const kordex::CalibrationSetContext ctx = kordex::CalibrationSetFromLibrary();
    if (kordex::BrightFrameList(ctx.calibrationDir).empty()) return Fail("no bright frames x??????.raw in " + ctx.calibrationDir);
    if (!kordex::GainPointList(ctx.calibrationDir).empty()) {
        if (!args.Flag("--replace")) return Fail("gain points exist already (--replace deletes them first)");
        platform::DeleteByMask(ctx.calibrationDir, "A??_?????.raw");
    }
    bool failed = false;
    int written = 0;
    for (const kordex::GeneratedPoint& p : kordex::GenerateGainPoints(ctx, tolerance, &failed)) {
        std::printf("Create %s from %d frames\n", p.name.c_str(), p.frames);
        written += !p.name.empty();
    }
    if (failed) return Fail("a gain point could not be written (see the log)");
    if (written == 0) return Fail("no gain point was generated");
    return 0;
}

int BadPixelMap(const Arguments& args)
{
    if (!args.Only({}, {"--no-dark", "--no-bright"})) return Usage();
    kordex::Library& lib = kordex::Lib();
    const kordex::CalibrationSetContext ctx = kordex::CalibrationSetFromLibrary();
    const std::string dark = kordex::AutoMapMaskPath(lib.settings.maskAutoBPMDark, ctx.calibrationDir);
    const std::string bright = kordex::AutoMapMaskPath(lib.settings.maskAutoBPMBright, ctx.calibrationDir);
    const std::string output = ctx.calibrationDir + kordex::kAutomaticMapFile;
    const int result = kordex::GenerateAutoBadPixelMap(ctx, lib.settings.badPixMap,
                                                       args.Flag("--no-dark") ? nullptr : dark.c_str(),
                                                       args.Flag("--no-bright") ? nullptr : bright.c_str(), output);
    if (result == 0) return Fail("Can't generate Automatic Bad Pixels Map");
    std::printf("%s %s\n", output.c_str(), platform::FileExists(output) ? "written" : "deleted (no bad pixel)");
    return 0;
}

bool ReadFrame(const kordex::CalibrationSetContext& ctx, const std::string& name, std::vector<std::int16_t>* frame)
{
    frame->resize(ctx.Pixels());
    const std::size_t bytes = ctx.Pixels() * 2;
    return platform::ReadRawFile(platform::ResolveNoCase(ctx.calibrationDir + name), frame->data(),
                                 static_cast<std::int64_t>(bytes), bytes, nullptr);
}

int Summary(const Arguments& args)
{
    int gamut = kordex::kDefaultChartGamut;
    if (!args.Only({"--gamut"}, {}) || !args.Number("--gamut", &gamut)) return Usage();
    gamut = kordex::ChartGamutOf(std::to_string(gamut));
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
    if (set.count == 0) return 0;
    for (const auto& [x, y] : kordex::DefaultChartPixels(ctx.width, ctx.height)) {
        const kordex::GainChartCurve c = kordex::GainChartCurveAt(set, ctx.width, x, y, gamut);
        std::printf("pixel (%d, %d): points", x, y);
        for (const auto& [value, lvl] : c.points) std::printf(" %d->%d", value, lvl);
        std::printf("\n  curve");
        for (int i = 0; i < kordex::kChartSamples; i += 3)
            std::printf(" %d->%lld", c.input[static_cast<std::size_t>(i)], static_cast<long long>(c.output[static_cast<std::size_t>(i)]));
        std::printf("\n");
    }
    return 0;
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

int Check(const Arguments& args)
{
    if (!args.Only({}, {})) return Usage();
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
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    Arguments args;
    for (int i = 2; i < argc; ++i) args.words.emplace_back(argv[i]);
    std::signal(SIGINT, OnInterrupt);
    if (command == "dark") return Record(false, args);
    if (command == "bright") return Record(true, args);
    if (command == "points") return Points(args);
    if (command == "bpm") return BadPixelMap(args);
    if (command == "summary") return Summary(args);
    if (command == "check") return Check(args);
    return Usage();
}
