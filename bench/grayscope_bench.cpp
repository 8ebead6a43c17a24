// Loading and rendering a 3000 x 3000 frame in the viewer: the file read,
// the statistics, the grey map into the 8-bit cache, and the keeps-black
// reduction to a 1000 x 1000 screen region. OpenCV's convertScaleAbs on the
// same samples is the peer of the grey map.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "grayscope/view/frame_load.h"
#include "grayscope/view/grey_map.h"
#include "grayscope/view/min_max_reduction.h"
#include "grayscope/view/viewer_image.h"

namespace {

constexpr int kSide = 3000;

// A 12-bit frame with a smooth gradient, a round bright field and noise.
const std::vector<std::int16_t>& Samples()
{
    static const std::vector<std::int16_t> samples = [] {
        std::vector<std::int16_t> v(static_cast<std::size_t>(kSide) * kSide);
        std::uint32_t state = 2463534242u;
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                const int dx = x - kSide / 2;
                const int dy = y - kSide / 2;
                int value = 600 + x / 3 + ((dx * dx + dy * dy < 900 * 900) ? 1800 : 0) + static_cast<int>(state % 40);
                v[static_cast<std::size_t>(y) * kSide + x] = static_cast<std::int16_t>(value > 4095 ? 4095 : value);
            }
        return v;
    }();
    return samples;
}

const grayscope::ViewerImage& Image()
{
    static const grayscope::ViewerImage image = [] {
        grayscope::ViewerImage i;
        i.width = kSide;
        i.height = kSide;
        i.pixels = Samples();
        grayscope::BuildStatistics(&i);
        return i;
    }();
    return image;
}

const std::string& FramePath()
{
    static const std::string path = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "grayscope_bench_XXXXXX").string();
        const int fd = mkstemp(pattern.data());
        const auto& v = Samples();
        const auto bytes = static_cast<ssize_t>(v.size() * 2);
        if (fd < 0 || write(fd, v.data(), static_cast<std::size_t>(bytes)) != bytes)
            std::fprintf(stderr, "cannot write the benchmark frame\n");
        if (fd >= 0)
            close(fd);
        return pattern;
    }();
    return path;
}

void BM_LoadFrame(benchmark::State& state)
{
    grayscope::ViewerImage image;
    for (auto _ : state) {
        int w = kSide, h = kSide, error = 0;
        grayscope::LoadFrame(FramePath(), true, &w, &h, &image, &error);
        benchmark::DoNotOptimize(image.pixels.data());
    }
    state.SetBytesProcessed(state.iterations() * kSide * kSide * 2);
}

void BM_Statistics(benchmark::State& state)
{
    grayscope::ViewerImage image = Image();
    for (auto _ : state) {
        grayscope::BuildStatistics(&image);
        benchmark::DoNotOptimize(image.median);
    }
}

void BM_GreyMap(benchmark::State& state)
{
    std::vector<std::uint8_t> levels;
    grayscope::MapGrey(Image(), 300, 3900, grayscope::kTopLevelPlain, &levels);
    for (auto _ : state) {
        grayscope::MapGrey(Image(), 300, 3900, grayscope::kTopLevelPlain, &levels);
        benchmark::DoNotOptimize(levels.data());
    }
}

void BM_GreyMap_OpenCV(benchmark::State& state)
{
    cv::Mat src(kSide, kSide, CV_16S, const_cast<std::int16_t*>(Samples().data()));
    cv::Mat dst;
    const double f = 255.0 / (3900 - 300);
    for (auto _ : state) {
        src.convertTo(dst, CV_8U, f, -300 * f);
        benchmark::DoNotOptimize(dst.data);
    }
}

void BM_KeepsBlackReduction(benchmark::State& state)
{
    std::vector<std::uint8_t> levels, region, scratch;
    grayscope::MapGrey(Image(), 300, 3900, grayscope::kTopLevelPlain, &levels);
    for (auto _ : state) {
        grayscope::ReduceMinMax(levels.data(), kSide, kSide, grayscope::Rect{0, 0, kSide, kSide}, 1000, 1000,
                                grayscope::Reduction::KeepDark, &region, &scratch);
        benchmark::DoNotOptimize(region.data());
    }
}

void BM_LoadAndRender(benchmark::State& state)
{
    grayscope::ViewerImage image;
    std::vector<std::uint8_t> levels;
    for (auto _ : state) {
        int w = kSide, h = kSide, error = 0;
        grayscope::LoadFrame(FramePath(), true, &w, &h, &image, &error);
        grayscope::MapGrey(image, image.min, image.max, grayscope::kTopLevelPlain, &levels);
        benchmark::DoNotOptimize(levels.data());
    }
}

}  // namespace

BENCHMARK(BM_LoadFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Statistics)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GreyMap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GreyMap_OpenCV)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeepsBlackReduction)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndRender)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(FramePath().c_str());
    return 0;
}
