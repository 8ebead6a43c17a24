// The calibration chain on a full 910 x 688 sensor frame: offset (dark frame
// subtraction, shift, clip), gain with four points (piecewise linear and
// Lagrange), bad-pixel correction of a map with 0.5 % bad pixels (also with
// the auxiliary despeckle, which marks the whole frame on one thread before
// the bands correct it), and the standalone despeckle -- each step alone and the whole chain, with 1 and 2
// band threads (the argument). Steps read their calibration files as they do
// in a run (from the page cache after the first iteration); the frame is
// restored outside the timed region.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "calibration/bad_pixel_map.h"
#include "calibration/calibration_step.h"
#include "calibration/despeckle_step.h"
#include "calibration/gain_step.h"
#include "calibration/offset_step.h"

namespace {

constexpr int kWidth = 910;
constexpr int kHeight = 688;
constexpr std::size_t kPixels = static_cast<std::size_t>(kWidth) * kHeight;

void WriteFrame(const std::string& path, const std::vector<std::int16_t>& pixels)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size() * 2));
}

// A calibration directory with "dark.raw", four gain points, "BPM.raw", and a
// raw frame that needs all of them.
struct Scene {
    Scene()
    {
        dir = (std::filesystem::temp_directory_path() / "kordex_calibration_bench").string() + "/";
        std::filesystem::create_directories(dir);
        std::mt19937 rng(12345);
        std::normal_distribution<double> noise(0.0, 4.0);
        std::uniform_real_distribution<double> gainSpread(0.85, 1.15);
        std::vector<std::int16_t> dark(kPixels), map(kPixels, 0);
        std::vector<double> gain(kPixels);
        for (std::size_t i = 0; i < kPixels; ++i) {
            dark[i] = static_cast<std::int16_t>(300 + noise(rng));
            gain[i] = gainSpread(rng);
        }
        WriteFrame(dir + "dark.raw", dark);
        const int levels[4] = {4000, 8000, 16000, 24000};
        for (int p = 0; p < 4; ++p) {
            std::vector<std::int16_t> point(kPixels);
            // Offset-corrected bright frames, slightly non-linear.
            for (std::size_t i = 0; i < kPixels; ++i)
                point[i] = static_cast<std::int16_t>(gain[i] * levels[p] / 8.0 * (1.0 - levels[p] / 200000.0));
            char name[32];
            std::snprintf(name, sizeof name, "A%2.2d_%5.5d.raw", p, levels[p]);
            WriteFrame(dir + name, point);
        }
        std::uniform_int_distribution<std::size_t> anywhere(0, kPixels - 1);
        for (std::size_t k = 0; k < kPixels / 200; ++k) map[anywhere(rng)] = 255;
        WriteFrame(dir + "BPM.raw", map);

        raw.resize(kPixels);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const std::size_t i = static_cast<std::size_t>(y) * kWidth + x;
                const double exposure = 600.0 + 1400.0 * (x + y) / (kWidth + kHeight);
                raw[i] = static_cast<std::int16_t>(dark[i] + gain[i] * exposure + noise(rng));
            }
        for (int y = 100; y < 140; ++y) raw[static_cast<std::size_t>(y) * kWidth + 455] += 600;  // a short hot column
    }
    ~Scene() { std::filesystem::remove_all(dir); }

    std::string dir;
    std::vector<std::int16_t> raw;
};

Scene& TheScene()
{
    static Scene scene;
    return scene;
}

struct Chain {
    explicit Chain(int threads, bool lagrange)
    {
        frame = TheScene().raw;
        settings.calLagrange = lagrange ? 1 : 0;
        settings.calNegPixCompensation = 1;
        ctx.frame = frame.data();
        ctx.width = kWidth;
        ctx.height = kHeight;
        ctx.settings = &settings;
        ctx.threads = threads;
        ctx.abortWord = &abortWord;
        ctx.calibrationDir = TheScene().dir;
    }
    void Restore(const std::vector<std::int16_t>& from) { std::copy(from.begin(), from.end(), frame.begin()); }

    kordex::LibrarySettings settings;
    std::vector<std::int16_t> frame;
    std::int32_t abortWord = 0;
    kordex::StepContext ctx;
};

enum Step { kOffset, kGain, kBadPixels, kBadPixelsAux, kDespeckle };

// The frame as the step finds it in a run: the steps before it applied.
std::vector<std::int16_t> InputOf(Step step, bool lagrange)
{
    Chain c(2, lagrange);
    if (step > kOffset) kordex::RunOffsetStep(c.ctx, true);
    if (step > kGain) kordex::RunGainStep(c.ctx);
    if (step > kBadPixelsAux) kordex::RunBadPixelStep(c.ctx);
    return c.frame;
}

template <Step step, bool lagrange>
void BM_Step(benchmark::State& state)
{
    Chain c(static_cast<int>(state.range(0)), lagrange);
    if (step == kBadPixelsAux) c.settings.deSpeckle.bpmEnable = 1;
    const std::vector<std::int16_t> input = InputOf(step, lagrange);
    for (auto _ : state) {
        state.PauseTiming();
        c.Restore(input);
        state.ResumeTiming();
        int result = 0;
        switch (step) {
        case kOffset: result = kordex::RunOffsetStep(c.ctx, true); break;
        case kGain: result = kordex::RunGainStep(c.ctx); break;
        case kBadPixels:
        case kBadPixelsAux: result = kordex::RunBadPixelStep(c.ctx); break;
        case kDespeckle: result = kordex::RunDespeckleStep(c.ctx); break;
        }
        benchmark::DoNotOptimize(result);
    }
    state.counters["Mpix/s"] = benchmark::Counter(static_cast<double>(kPixels) * state.iterations() / 1e6,
                                                  benchmark::Counter::kIsRate);
}

template <bool lagrange>
void BM_Chain(benchmark::State& state)
{
    Chain c(static_cast<int>(state.range(0)), lagrange);
    for (auto _ : state) {
        state.PauseTiming();
        c.Restore(TheScene().raw);
        state.ResumeTiming();
        kordex::RunOffsetStep(c.ctx, true);
        kordex::RunGainStep(c.ctx);
        kordex::RunBadPixelStep(c.ctx);
        kordex::RunDespeckleStep(c.ctx);
        benchmark::DoNotOptimize(c.frame.data());
    }
}

#define KORDEX_STEP(name, ...) \
    BENCHMARK_TEMPLATE(BM_Step, __VA_ARGS__)->Name(name)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()

KORDEX_STEP("Offset", kOffset, false);
KORDEX_STEP("GainLinear", kGain, false);
KORDEX_STEP("GainLagrange", kGain, true);
KORDEX_STEP("BadPixels", kBadPixels, false);
KORDEX_STEP("BadPixelsAuxDespeckle", kBadPixelsAux, false);
KORDEX_STEP("Despeckle", kDespeckle, false);
BENCHMARK_TEMPLATE(BM_Chain, false)->Name("ChainLinear")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_TEMPLATE(BM_Chain, true)->Name("ChainLagrange")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
