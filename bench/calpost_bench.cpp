// PostPrc on a full-size image (688 x 910) with the defaults of the Calpost
// processing modes: the whole call through libcalpost.so, each step on its
// own, and the Laplacian pyramid build next to OpenCV's pyrDown / pyrUp on
// the same doubles.
//
// Each step benchmark runs the earlier steps once in set-up and then times
// the step on a fresh copy of their result (the copy itself is not timed).
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <cstdint>
#include <vector>

#include "calpost.h"
#include "calpost/cross_median.h"
#include "calpost/detail_mask.h"
#include "calpost/grey_window.h"
#include "calpost/laplacian_pyramid.h"
#include "calpost/local_equalisation.h"
#include "calpost/noise_replacement.h"
#include "calpost/post_prc.h"
#include "calpost/post_prc_params.h"
#include "calpost/tone_curve.h"

namespace {

constexpr int kW = 688;
constexpr int kH = 910;
const calpost::PostPrcParams kDefaults;

// An intraoral-like frame: smooth background, two teeth with pulp, a bright
// band of open field, noise of about 15 grey levels and a few hot pixels.
const std::vector<std::uint16_t>& Phantom()
{
    static const std::vector<std::uint16_t> image = [] {
        std::vector<std::uint16_t> v(static_cast<std::size_t>(kW) * kH);
        std::uint32_t state = 12345;
        auto uniform = [&] {
            state = state * 1664525u + 1013904223u;
            return (state >> 8) / 16777216.0;
        };
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                const double u = static_cast<double>(x) / kW;
                const double w = static_cast<double>(y) / kH;
                double value = 600.0 + 400.0 * u + 200.0 * w;
                for (const double cx : {0.3, 0.7}) {
                    const double dx = (u - cx) / 0.15;
                    const double dy = (w - 0.55) / 0.35;
                    const double r = dx * dx + dy * dy;
                    if (r < 1.0) value += 1800.0 * (1.0 - 0.5 * r);
                    if (r < 0.15) value -= 700.0;
                }
                if (w < 0.15) value = 3600.0;
                double noise = 0.0;
                for (int i = 0; i < 12; ++i) noise += uniform();
                value += 15.0 * (noise - 6.0);
                if (uniform() < 0.0005) value = 4095.0;
                v[static_cast<std::size_t>(y) * kW + static_cast<std::size_t>(x)] =
                    static_cast<std::uint16_t>(std::lround(value));
            }
        }
        return v;
    }();
    return image;
}

// The working image after each step, computed once.
struct Stages {
    calpost::Image loaded, windowed, toned, crossed, replaced1, replaced2, contrasted, equalised;
    calpost::DetailMask mask1, mask2, mask3;
};

const Stages& StagesOnce()
{
    static const Stages stages = [] {
        const calpost::PostPrcParams& p = kDefaults;
        const int n = static_cast<int>(p.medianWindow);
        Stages s;
        calpost::LoadFlipped(Phantom().data(), kW, kH, s.loaded);
        s.windowed = s.loaded;
        calpost::InvertAndWindow(s.windowed, p.windowLow, p.windowHigh);
        s.toned = s.windowed;
        calpost::ApplyToneCurve(s.toned, p.toneBreakX, p.toneBreakY);
        calpost::MakeDetailMask(s.toned, p.detailFactor, s.mask1);
        s.crossed = s.toned;
        calpost::CrossMedian(s.crossed, s.mask1.mask);
        calpost::MakeDetailMask(s.crossed, 5 * p.detailFactor, s.mask2);
        s.replaced1 = s.crossed;
        calpost::NoiseRelativeReplace(s.replaced1, s.mask2, n, p.replacePercent);
        calpost::MakeDetailMask(s.replaced1, 5 * p.detailFactor, s.mask3);
        s.replaced2 = s.replaced1;
        calpost::NoiseRelativeReplace(s.replaced2, s.mask3, n, p.replacePercent);
        s.contrasted = s.replaced2;
        calpost::MultiScaleContrast(s.contrasted, static_cast<int>(p.pyramidLevels), p.coefficientRange,
                                    p.coefficientExponent, p.coefficientKnee, p.gains);
        s.equalised = s.contrasted;
        calpost::LocalEqualise(s.equalised, static_cast<int>(p.greyLevels), p.clipFactor,
                               static_cast<int>(p.tilesAcross), static_cast<int>(p.tilesDown));
        return s;
    }();
    return stages;
}

void BM_PostPrc_Total(benchmark::State& state)
{
    const auto& image = Phantom();
    for (auto _ : state) {
        std::uint16_t* out = calpost::CallPostPrc(&PostPrc, image.data(), kW, kH, kDefaults);
        benchmark::DoNotOptimize(out);
        CalpostFree(out);
    }
}
BENCHMARK(BM_PostPrc_Total)->Unit(benchmark::kMillisecond);

// Times step on a copy of input made outside the timing.
template <typename Step>
void TimeStep(benchmark::State& state, const calpost::Image& input, Step step)
{
    calpost::Image work;
    for (auto _ : state) {
        state.PauseTiming();
        work = input;
        state.ResumeTiming();
        step(work);
        benchmark::ClobberMemory();
    }
}

void BM_Step01_LoadAndFlip(benchmark::State& state)
{
    calpost::Image image;
    for (auto _ : state) {
        calpost::LoadFlipped(Phantom().data(), kW, kH, image);
        benchmark::ClobberMemory();
    }
}
void BM_Step03_InvertAndWindow(benchmark::State& state)
{
    TimeStep(state, StagesOnce().loaded,
             [](calpost::Image& im) { calpost::InvertAndWindow(im, kDefaults.windowLow, kDefaults.windowHigh); });
}
void BM_Step04_ToneCurve(benchmark::State& state)
{
    TimeStep(state, StagesOnce().windowed,
             [](calpost::Image& im) { calpost::ApplyToneCurve(im, kDefaults.toneBreakX, kDefaults.toneBreakY); });
}
void BM_Step05_DetailMask(benchmark::State& state)
{
    calpost::DetailMask mask;
    TimeStep(state, StagesOnce().toned,
             [&](calpost::Image& im) { calpost::MakeDetailMask(im, kDefaults.detailFactor, mask); });
}
void BM_Step06_CrossMedian(benchmark::State& state)
{
    TimeStep(state, StagesOnce().toned, [](calpost::Image& im) { calpost::CrossMedian(im, StagesOnce().mask1.mask); });
}
void BM_Step08_NoiseRelativeReplace(benchmark::State& state)
{
    TimeStep(state, StagesOnce().crossed, [](calpost::Image& im) {
        calpost::NoiseRelativeReplace(im, StagesOnce().mask2, static_cast<int>(kDefaults.medianWindow),
                                      kDefaults.replacePercent);
    });
}
void BM_Step11_MultiScaleContrast(benchmark::State& state)
{
    TimeStep(state, StagesOnce().replaced2, [](calpost::Image& im) {
        calpost::MultiScaleContrast(im, static_cast<int>(kDefaults.pyramidLevels), kDefaults.coefficientRange,
                                    kDefaults.coefficientExponent, kDefaults.coefficientKnee, kDefaults.gains);
    });
}
void BM_Step12_LocalEqualise(benchmark::State& state)
{
    TimeStep(state, StagesOnce().contrasted, [](calpost::Image& im) {
        calpost::LocalEqualise(im, static_cast<int>(kDefaults.greyLevels), kDefaults.clipFactor,
                               static_cast<int>(kDefaults.tilesAcross), static_cast<int>(kDefaults.tilesDown));
    });
}
void BM_Step13_Finish(benchmark::State& state)
{
    std::vector<std::uint16_t> out(static_cast<std::size_t>(kW) * kH);
    TimeStep(state, StagesOnce().equalised, [&](calpost::Image& im) { calpost::FinishInto(im, out.data()); });
}
BENCHMARK(BM_Step01_LoadAndFlip)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Step03_InvertAndWindow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Step04_ToneCurve)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Step05_DetailMask)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Step06_CrossMedian)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Step08_NoiseRelativeReplace)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Step11_MultiScaleContrast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Step12_LocalEqualise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Step13_Finish)->Unit(benchmark::kMillisecond);

// The pyramid build of the multi-scale step (4 levels): Gaussian levels by
// reduction and Laplacian levels by expansion and subtraction.
const calpost::Image& PyramidInput()
{
    return StagesOnce().replaced2;
}

void BM_PyramidBuild_Ours(benchmark::State& state)
{
    calpost::LaplacianPyramid pyramid;
    const int levels = static_cast<int>(kDefaults.pyramidLevels);
    for (auto _ : state) {
        calpost::BuildLaplacianPyramid(PyramidInput(), levels, pyramid);
        benchmark::ClobberMemory();
    }
}

// OpenCV runs its pyramid functions on its own thread pool; state.range(0)
// is the number of threads it may use (0 = its default), ours runs on one.
void BM_PyramidBuild_OpenCV(benchmark::State& state)
{
    const int previousThreads = cv::getNumThreads();
    if (state.range(0) > 0) cv::setNumThreads(static_cast<int>(state.range(0)));
    const calpost::Image& in = PyramidInput();
    const cv::Mat image(in.height, in.width, CV_64F, const_cast<double*>(in.values.data()));
    const int levels = static_cast<int>(kDefaults.pyramidLevels);
    std::vector<cv::Mat> gaussian(static_cast<std::size_t>(levels) + 1), laplacian(static_cast<std::size_t>(levels));
    cv::Mat up;
    for (auto _ : state) {
        gaussian[0] = image.clone();
        for (int j = 0; j < levels; ++j) cv::pyrDown(gaussian[j], gaussian[j + 1]);
        for (int j = 0; j < levels; ++j) {
            cv::pyrUp(gaussian[j + 1], up, gaussian[j].size());
            cv::subtract(gaussian[j], up, laplacian[j]);
        }
        benchmark::ClobberMemory();
    }
    cv::setNumThreads(previousThreads);
}
BENCHMARK(BM_PyramidBuild_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PyramidBuild_OpenCV)->Arg(1)->Arg(0)->ArgName("cv_threads")->Unit(benchmark::kMillisecond);

// One reduction and one expansion of the full-size image.
void BM_Reduce_Ours(benchmark::State& state)
{
    calpost::Image coarse;
    for (auto _ : state) {
        calpost::Reduce(PyramidInput(), coarse);
        benchmark::ClobberMemory();
    }
}
void BM_Reduce_OpenCV_pyrDown(benchmark::State& state)
{
    const calpost::Image& in = PyramidInput();
    const cv::Mat image(in.height, in.width, CV_64F, const_cast<double*>(in.values.data()));
    cv::Mat coarse;
    for (auto _ : state) {
        cv::pyrDown(image, coarse);
        benchmark::ClobberMemory();
    }
}
void BM_Expand_Ours(benchmark::State& state)
{
    calpost::Image coarse, fine;
    calpost::Reduce(PyramidInput(), coarse);
    for (auto _ : state) {
        calpost::Expand(coarse, kW, kH, fine);
        benchmark::ClobberMemory();
    }
}
void BM_Expand_OpenCV_pyrUp(benchmark::State& state)
{
    const calpost::Image& in = PyramidInput();
    const cv::Mat image(in.height, in.width, CV_64F, const_cast<double*>(in.values.data()));
    cv::Mat coarse, fine;
    cv::pyrDown(image, coarse);
    for (auto _ : state) {
        cv::pyrUp(coarse, fine, image.size());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Reduce_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reduce_OpenCV_pyrDown)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Expand_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Expand_OpenCV_pyrUp)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
