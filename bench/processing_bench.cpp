// Processing benchmarks on a 688 x 910 image: BoxSmooth against OpenCV's
// cv::blur (int16, replicated borders), the 3x3 and 5x5 median-of-three
// against cv::medianBlur 3x3 and 5x5, and the whole standard chain of the
// sample mode 1 with one and two threads.
#include <benchmark/benchmark.h>

#include <opencv2/imgproc.hpp>

#include <cstdint>
#include <vector>

#include "calibration/image_despeckle.h"
#include "processing/box_smooth.h"
#include "processing/final_contrast.h"
#include "processing/grey_remap.h"
#include "processing/smoothing_steps.h"
#include "processing/unsharp_mask.h"

namespace {

constexpr int kWidth = 688, kHeight = 910;

std::vector<std::int16_t> Phantom()
{
    std::vector<std::int16_t> img(static_cast<std::size_t>(kWidth) * kHeight);
    std::uint32_t seed = 12345;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int base = 600 + (x * 3000) / kWidth + ((y / 40) % 2) * 400;
            img[static_cast<std::size_t>(y) * kWidth + x] = static_cast<std::int16_t>(base + static_cast<int>(seed >> 28));
        }
    return img;
}

void BM_BoxSmooth(benchmark::State& state)
{
    const int r = static_cast<int>(state.range(0));
    const auto src = Phantom();
    std::vector<std::int16_t> img(src.size()), scratch(src.size());
    for (auto _ : state) {
        img = src;
        kordex::BoxSmooth(kWidth, kHeight, r, img.data(), nullptr, 1, scratch.data());
        benchmark::DoNotOptimize(img.data());
    }
}
BENCHMARK(BM_BoxSmooth)->Arg(2)->Arg(10)->Arg(60)->Unit(benchmark::kMicrosecond);

void BM_OpenCvBlur(benchmark::State& state)
{
    const int r = static_cast<int>(state.range(0));
    auto src = Phantom();
    cv::Mat in(kHeight, kWidth, CV_16S, src.data()), out;
    cv::setNumThreads(1);
    for (auto _ : state) {
        cv::blur(in, out, cv::Size(2 * r + 1, 2 * r + 1), cv::Point(-1, -1), cv::BORDER_REPLICATE);
        benchmark::DoNotOptimize(out.data);
    }
}
BENCHMARK(BM_OpenCvBlur)->Arg(2)->Arg(10)->Arg(60)->Unit(benchmark::kMicrosecond);

// The despeckle stage on one thread with the given passes.
void DespeckleLoop(benchmark::State& state, const kordex::ImageDespeckleParams& p)
{
    const auto src = Phantom();
    std::vector<std::int16_t> img(src.size());
    std::int32_t abortWord = 0;
    kordex::ImageDespeckleContext ctx;
    ctx.width = kWidth;
    ctx.height = kHeight;
    ctx.threads = 1;
    ctx.abortWord = &abortWord;
    for (auto _ : state) {
        img = src;
        ctx.image = img.data();
        kordex::ImageDespeckle(ctx, p);
        benchmark::DoNotOptimize(img.data());
    }
}

// cv::medianBlur of the given size on the same data (it takes 8U, 16U or
// 32F for sizes 3 and 5).
void OpenCvMedianLoop(benchmark::State& state, int size)
{
    auto src = Phantom();
    cv::Mat in(kHeight, kWidth, CV_16S, src.data()), u16, out;
    in.convertTo(u16, CV_16U);
    cv::setNumThreads(1);
    for (auto _ : state) {
        cv::medianBlur(u16, out, size);
        benchmark::DoNotOptimize(out.data);
    }
}

void BM_MedianOfThree3x3(benchmark::State& state)
{
    kordex::ImageDespeckleParams p;
    p.threshold = 0;  // median-of-three pass on every pixel
    p.numPasses = 1;
    DespeckleLoop(state, p);
}
BENCHMARK(BM_MedianOfThree3x3)->Unit(benchmark::kMicrosecond);

void BM_OpenCvMedian3x3(benchmark::State& state)
{
    OpenCvMedianLoop(state, 3);
}
BENCHMARK(BM_OpenCvMedian3x3)->Unit(benchmark::kMicrosecond);

// The 5x5 median-of-three pass on every pixel, the 3x3 passes off.
void BM_MedianOfThree5x5(benchmark::State& state)
{
    kordex::ImageDespeckleParams p;
    p.threshold = -1;
    p.threshold5x5 = 0;
    DespeckleLoop(state, p);
}
BENCHMARK(BM_MedianOfThree5x5)->Unit(benchmark::kMicrosecond);

void BM_OpenCvMedian5x5(benchmark::State& state)
{
    OpenCvMedianLoop(state, 5);
}
BENCHMARK(BM_OpenCvMedian5x5)->Unit(benchmark::kMicrosecond);

// One smoothing step of the unsharp mask on one thread: Tag 0 and Tag 1
// directional smoothing at the sample mode's radii 4 and 3, and a weighted
// smoothing (Tag -200) at radius 4.
void BM_SmoothingStep(benchmark::State& state)
{
    const int tag = static_cast<int>(state.range(0)), rad = static_cast<int>(state.range(1));
    const auto src = Phantom();
    std::vector<std::int16_t> img(src.size());
    kordex::IpParams p;
    std::int32_t abortState = 0;
    kordex::StageContext ctx;
    ctx.width = kWidth;
    ctx.height = kHeight;
    ctx.abortState = &abortState;
    ctx.params = &p;
    kordex::SmoothingControl control;
    control.weight = 25 * 1024 / 100;
    for (auto _ : state) {
        img = src;
        ctx.image = img.data();
        if (tag < 0)
            kordex::WeightedSmoothing(ctx, rad, tag, control);
        else
            kordex::DirectionalSmoothing(ctx, rad, tag, control);
        benchmark::DoNotOptimize(img.data());
    }
}
BENCHMARK(BM_SmoothingStep)->Args({0, 4})->Args({1, 3})->Args({-200, 4})->Unit(benchmark::kMicrosecond);

// The sample mode 1 (remap with percentiles, five unsharp steps, final cut and
// rescale to 0..4095, brush-up 2), as in config/kordex.ini.
void BM_StandardChainMode1(benchmark::State& state)
{
    const auto src = Phantom();
    std::vector<std::int16_t> img(src.size());
    kordex::LibrarySettings settings;
    settings.numParallelThreads = static_cast<int>(state.range(0));
    for (auto _ : state) {
        img = src;
        kordex::IpParams p;
        p.c3iPerc = 1;
        p.c3iAirPerc = 99.5f;
        p.c3iWatPerc = 60.0f;
        p.c3iBonPerc = 2.0f;
        p.finCMin = 0;
        p.finCMax = 4095;
        p.finCCutDark = 0.2f;
        p.finCCutBright = 0.2f;
        p.finCBrushUpR = 2;
        std::int32_t abortState = 0;
        kordex::StageContext ctx;
        ctx.image = img.data();
        ctx.width = kWidth;
        ctx.height = kHeight;
        ctx.threads = settings.numParallelThreads;
        ctx.abortState = &abortState;
        ctx.params = &p;
        ctx.settings = &settings;
        kordex::ImageDespeckleContext d;
        d.image = img.data();
        d.width = kWidth;
        d.height = kHeight;
        d.threads = ctx.threads;
        d.abortWord = &abortState;
        kordex::ImageDespeckleParams dp;
        dp.threshold = 200;
        kordex::ImageDespeckle(d, dp);
        kordex::GreyRemap(ctx);
        kordex::UnsharpMask(ctx, 2, {});
        kordex::FinalContrast(ctx);
        benchmark::DoNotOptimize(img.data());
    }
}
BENCHMARK(BM_StandardChainMode1)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
