// Toneforge on a calibrated-looking 688 x 910 intraoral frame with the sample
// enhancement mode (the [IP501] values of config/kordex.ini): every stage of
// OnPostProcess on the image as that stage receives it, the whole call, and
// the local contrast stage against OpenCV's CLAHE on the same image with the
// same tile grid.
//
// Stage timings copy their input image back before every iteration with the
// timer paused, so they measure the stage alone. "threads" is the number of
// row bands (SetThreadCount); OpenCV runs with its own default threading.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "conversions.h"
#include "stages.h"
#include "toneforge.h"

namespace {

constexpr int kWidth = 688;
constexpr int kHeight = 910;

// The sample mode [IP501].
const char* const kSampleSection = "[IP501]\nCaption=Toneforge intraoral standard\n"
                                   "m_ABCGS_cH=6\nm_ABCGS_cL=6\nm_ALCH=0.01\nm_ALCL=0.01\nm_ALS1=0.06\n"
                                   "m_AUMKS=5\nm_AUMTH=0.3\nm_AUMWH=2.0\nm_AUMWL=1.0\nm_CLCX=3\nm_CLSL=1.3\nm_CLCY=3\n"
                                   "m_CSDSW=0\nm_ERCH=0.005\nm_ERCL=0.002\nm_ERGA=0.4\nm_FFSF_Msize=5\n"
                                   "m_FFSF_sigma=0.02\nm_FFSF_skip=1\nm_FGB_sig=3\nm_M_expoHi=2\nm_M_expoLo=2\n"
                                   "m_m_split=0.5\nm_MFGBsig=41\nm_Test_S1=0.05\nm_FinalGamma=0\nm_DummyY=770\n";

// A synthetic calibrated intraoral frame: bright air, three teeth with
// enamel, dentin, pulp and roots in trabecular bone under soft tissue, one
// metal filling, quantum noise. Deterministic.
std::vector<std::uint16_t> IntraoralFrame(int width, int height)
{
    std::vector<std::uint16_t> image(static_cast<std::size_t>(width) * height);
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    auto uniform = [&state]() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<double>(state >> 11) * (1.0 / 9007199254740992.0);
    };
    auto gauss = [&]() {
        const double u1 = uniform() + 1e-12;
        const double u2 = uniform();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    };
    const double sx = width / 688.0;
    const double sy = height / 910.0;
    const double centres[3] = { 150 * sx, 344 * sx, 538 * sx };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double fx = x;
            const double fy = y;
            double a = 0.0;
            const double gum = 180 * sy + 25 * sy * std::sin(fx / width * 6.0);
            if (fy > gum)
                a += 0.35 + 0.25 * (fy - gum) / height;
            const double crest = 380 * sy + 30 * sy * std::cos(fx / width * 9.4);
            if (fy > crest) {
                const double tex = 0.5
                    + 0.5 * std::sin(fx * 0.21 + 3 * std::sin(fy * 0.05))
                        * std::sin(fy * 0.17 + 2 * std::sin(fx * 0.04));
                a += std::min(1.0, (fy - crest) / (40 * sy)) * (0.45 + 0.25 * tex);
            }
            for (const double cx : centres) {
                const double ex = (fx - cx) / (85 * sx);
                const double ey = (fy - 300 * sy) / (170 * sy);
                const double e = ex * ex + ey * ey;
                if (e < 1.0 && fy > 130 * sy) {
                    a += 1.0 - std::sqrt(e) < 0.12 ? 1.5 : 0.95;  // enamel shell, dentin
                    const double px = (fx - cx) / (30 * sx);
                    const double py = (fy - 330 * sy) / (70 * sy);
                    if (px * px + py * py < 1.0)
                        a -= 0.55;  // pulp chamber
                }
                if (fy >= 420 * sy && fy < 860 * sy) {
                    const double f = (fy - 420 * sy) / (440 * sy);
                    const double half = (55 - 40 * f) * sx;
                    const double d = std::fabs(fx - cx - 10 * sx * std::sin(f * 2));
                    if (d < half) {
                        a += 0.95 * std::sqrt(1.0 - (d / half) * (d / half));
                        if (d < 5 * sx * (1.0 - f) + 1)
                            a -= 0.4;  // root canal
                    } else if (d < half + 4 * sx) {
                        a -= 0.25;  // periodontal ligament space
                    }
                }
            }
            const double mx = (fx - centres[1] + 10 * sx) / (40 * sx);
            const double my = (fy - 190 * sy) / (35 * sy);
            if (mx * mx + my * my < 1.0)
                a += 4.0;  // filling
            a = std::max(a, 0.0);
            const double signal = 3600.0 * std::exp(-a) + 40.0;
            const double v = std::clamp(signal + gauss() * std::sqrt(signal) * 0.8, 0.0, 4095.0);
            image[static_cast<std::size_t>(y) * width + x] = static_cast<std::uint16_t>(v);
        }
    }
    return image;
}

// The frame, the sample parameters, and the working image as each stage
// receives it.
struct Fixture {
    std::vector<std::uint16_t> frame = IntraoralFrame(kWidth, kHeight);
    _tagIMG_PARAM_IntraOral param {};
    std::string iniPath;
    std::vector<double> scaled, beforeBlur, beforeMoroney, beforeMask, beforeLocal, beforeFinal;
    toneforge::TileGeometry tiles;
    std::array<double, 512> weights {};

    Fixture()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "toneforge_bench_XXXXXX").string();
        char* path = pattern.data();
        const int fd = mkstemp(path);
        if (fd >= 0) {
            const std::string text = kSampleSection;
            if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
                std::fprintf(stderr, "cannot write the sample section\n");
            close(fd);
            iniPath = path;
        }
        toneforge::ReadParameters(iniPath.c_str(), "IP501", param);
        using namespace toneforge;
        const int w = kWidth, h = kHeight;
        weights = LevelWeightTable(param);
        tiles = BuildTileGeometry(w, h, param.m_CLCX, param.m_CLCY);
        scaled.assign(frame.begin(), frame.end());
        ScalingHKL(scaled.data(), w, h, 1.0);
        beforeBlur = scaled;
        ParaExpoReco_20070201(beforeBlur.data(), w, h, param);
        beforeMoroney = beforeBlur;
        FastGaussianBlurring(beforeMoroney.data(), w, h, TruncSize(param.m_FGB_sig));
        beforeMask = beforeMoroney;
        Moroney(beforeMask.data(), w, h, param);
        beforeLocal = beforeMask;
        FAUMHKL_2(beforeLocal.data(), w, h, TruncSize(param.m_AUMKS), weights.data(), param);
        beforeFinal = beforeLocal;
        ParaLocalContrastEnhance(beforeFinal.data(), w, h, tiles, param.m_CLSL);
    }
    ~Fixture()
    {
        if (!iniPath.empty())
            unlink(iniPath.c_str());
    }
};

Fixture& Data()
{
    static Fixture fixture;
    return fixture;
}

int Threads(const benchmark::State& state)
{
    return static_cast<int>(state.range(0));
}

template <typename Stage> void RunStage(benchmark::State& state, const std::vector<double>& input, Stage stage)
{
    std::vector<double> image(input.size());
    for (auto _ : state) {
        state.PauseTiming();
        image = input;
        state.ResumeTiming();
        stage(image.data());
        benchmark::DoNotOptimize(image.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
}

void BM_OnPostProcess(benchmark::State& state)
{
    Fixture& d = Data();
    ImgProc_IntraOral enhancer;
    enhancer.SetSize(kWidth, kHeight);
    enhancer.Set_ParamTitle(d.iniPath.c_str(), "IP501");
    std::vector<std::uint16_t> output(d.frame.size());
    const int cutCorners = static_cast<int>(state.range(0));
    enhancer.SetThreadCount(static_cast<int>(state.range(1)));
    for (auto _ : state) {
        enhancer.OnPostProcess(d.frame.data(), output.data(), cutCorners);
        benchmark::DoNotOptimize(output.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(d.frame.size()));
}
BENCHMARK(BM_OnPostProcess)
    ->ArgNames({ "cut", "threads" })
    ->Args({ 0, 1 })
    ->Args({ 1, 1 })
    ->Args({ 0, 2 })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ExposureRecognition(benchmark::State& state)
{
    Fixture& d = Data();
    RunStage(state, d.scaled,
        [&](double* img) { toneforge::ParaExpoReco_20070201(img, kWidth, kHeight, d.param, Threads(state)); });
}
BENCHMARK(BM_ExposureRecognition)->ArgName("threads")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GaussianBlur(benchmark::State& state)
{
    Fixture& d = Data();
    RunStage(state, d.beforeBlur, [&](double* img) {
        toneforge::FastGaussianBlurring(img, kWidth, kHeight, toneforge::TruncSize(d.param.m_FGB_sig), Threads(state));
    });
}
BENCHMARK(BM_GaussianBlur)->ArgName("threads")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Moroney(benchmark::State& state)
{
    Fixture& d = Data();
    RunStage(state, d.beforeMoroney,
        [&](double* img) { toneforge::Moroney(img, kWidth, kHeight, d.param, Threads(state)); });
}
BENCHMARK(BM_Moroney)->ArgName("threads")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AdaptiveUnsharpMask(benchmark::State& state)
{
    Fixture& d = Data();
    RunStage(state, d.beforeMask, [&](double* img) {
        toneforge::FAUMHKL_2(
            img, kWidth, kHeight, toneforge::TruncSize(d.param.m_AUMKS), d.weights.data(), d.param, Threads(state));
    });
}
BENCHMARK(BM_AdaptiveUnsharpMask)->ArgName("threads")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LocalContrast(benchmark::State& state)
{
    Fixture& d = Data();
    RunStage(state, d.beforeLocal, [&](double* img) {
        toneforge::ParaLocalContrastEnhance(img, kWidth, kHeight, d.tiles, d.param.m_CLSL, Threads(state));
    });
    state.counters["tiles"] = d.tiles.nx * d.tiles.ny;
}
BENCHMARK(BM_LocalContrast)->ArgName("threads")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FinalStage(benchmark::State& state)
{
    Fixture& d = Data();
    std::vector<std::uint16_t> output(d.frame.size());
    RunStage(state, d.beforeFinal, [&](double* img) {
        toneforge::AdjustBrightContrastGammaSigmoid(img, kWidth, kHeight, d.param, output.data(), Threads(state));
    });
}
BENCHMARK(BM_FinalStage)->ArgName("threads")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// OpenCV's CLAHE on the local contrast stage's input, quantised to the 1024
// levels our stage works with (16-bit) or to 256 levels (8-bit), with the
// same tile grid and clip factor.
void OpenCvClahe(benchmark::State& state, int depth)
{
    Fixture& d = Data();
    std::vector<double> levels = d.beforeLocal;
    toneforge::ScalingHKL(levels.data(), kWidth, kHeight, depth == CV_16U ? 1023.0 : 255.0);
    cv::Mat source(kHeight, kWidth, CV_64F, levels.data());
    cv::Mat input;
    source.convertTo(input, depth);
    cv::Ptr<cv::CLAHE> clahe = cv::createCLAHE(d.param.m_CLSL, cv::Size(d.tiles.nx, d.tiles.ny));
    cv::Mat output;
    for (auto _ : state) {
        clahe->apply(input, output);
        benchmark::DoNotOptimize(output.data);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(levels.size()));
    state.counters["tiles"] = d.tiles.nx * d.tiles.ny;
}
void BM_OpenCvClahe16(benchmark::State& state)
{
    OpenCvClahe(state, CV_16U);
}
void BM_OpenCvClahe8(benchmark::State& state)
{
    OpenCvClahe(state, CV_8U);
}
BENCHMARK(BM_OpenCvClahe16)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenCvClahe8)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
