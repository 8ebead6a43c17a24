// Auxiliary processing benchmarks on a 688 x 910 intraoral phantom: the
// internal auxiliary chain with the parameters of the sample mode 301 (read
// from config/kordex.ini) with one and two threads, and its two most costly
// stages alone. OpenCV has no counterpart of the chain; its cv::blur and
// cv::medianBlur peers are in processing_bench.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "acquisition/intraoral_phantom.h"
#include "platform/profile_file.h"
#include "processing/auxiliary/internal_chain.h"

namespace {

constexpr int kWidth = 688, kHeight = 910;

// The phantom as a calibrated 12-bit image (bright = little absorption).
std::vector<std::int16_t> Phantom()
{
    const std::vector<float> t = kordex::IntraoralPhantom(kWidth, kHeight);
    std::vector<std::int16_t> img(t.size());
    std::uint32_t seed = 99;
    for (std::size_t i = 0; i < t.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        img[i] = static_cast<std::int16_t>(200 + static_cast<int>(t[i] * 3600.0f) + static_cast<int>(seed >> 27));
    }
    return img;
}

kordex::auxiliary::AuxChainParams Mode301()
{
    platform::ProfileFile profile(KORDEX_SAMPLE_SETTINGS);
    profile.SetSection("IP301");
    kordex::auxiliary::AuxChainParams p;
    kordex::auxiliary::ReadAuxChainParams(profile, p);
    return p;
}

struct Job {
    std::vector<std::int16_t> image;
    std::int32_t abortState = 0;
    kordex::StageContext ctx;
    explicit Job(int threads) : image(static_cast<std::size_t>(kWidth) * kHeight)
    {
        ctx.image = image.data();
        ctx.width = kWidth;
        ctx.height = kHeight;
        ctx.threads = threads;
        ctx.abortState = &abortState;
    }
};

void BM_InternalChainMode301(benchmark::State& state)
{
    const auto src = Phantom();
    const auto params = Mode301();
    Job job(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        job.image = src;
        kordex::auxiliary::RunInternalChain(job.ctx, params, {});
        benchmark::DoNotOptimize(job.image.data());
    }
}
BENCHMARK(BM_InternalChainMode301)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// One stage alone on a fresh copy of the phantom per iteration.
template <typename Stage>
void StageAlone(benchmark::State& state, Stage stage)
{
    const auto src = Phantom();
    Job job(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        job.image = src;
        stage(job.ctx);
        benchmark::DoNotOptimize(job.image.data());
    }
}

void BM_DirectionalSmoothingR4(benchmark::State& state)
{
    StageAlone(state, [](const kordex::StageContext& ctx) { kordex::auxiliary::DirectionalSmoothing(ctx, 4, 20); });
}
BENCHMARK(BM_DirectionalSmoothingR4)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AdaptiveUnsharpMask(benchmark::State& state)
{
    StageAlone(state, [](const kordex::StageContext& ctx) {
        kordex::auxiliary::AdaptiveUnsharpMask(ctx, 7, 5, 50, 2.5f, 0.5f);
    });
}
BENCHMARK(BM_AdaptiveUnsharpMask)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
