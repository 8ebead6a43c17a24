// Parsing and placing one 910 x 688 frame of transport stream from pages in
// memory, for each sensor model (Descramble 0..3), against memcpy of the
// same bytes -- the physical floor of any pass over the stream. Bytes per
// second count stream bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "acquisition/stream_writer.h"
#include "acquisition/transport_stream.h"

namespace {

constexpr int kWidth = 910;
constexpr int kHeight = 688;

struct Pages {
    std::vector<std::vector<std::uint8_t>> pages;
    std::size_t bytes = 0;
};

Pages MakePages(int descramble)
{
    std::mt19937 random(3);
    std::vector<std::uint16_t> samples(static_cast<std::size_t>(kWidth) * kHeight);
    for (auto& s : samples) s = static_cast<std::uint16_t>(random() & 0x0FFF);
    const auto stream = kordex::WriteTransportStream(samples.data(), {kWidth, kHeight, descramble, true}, {});
    Pages p;
    p.pages = kordex::SplitIntoPages(stream);
    p.bytes = stream.size();
    return p;
}

void BM_ParseAndPlace(benchmark::State& state)
{
    const int descramble = static_cast<int>(state.range(0));
    const Pages p = MakePages(descramble);
    std::vector<std::int16_t> frame(static_cast<std::size_t>(kWidth) * kHeight);
    for (auto _ : state) {
        kordex::TransportStreamParser parser({kWidth, kHeight, descramble, true}, frame.data());
        for (const auto& page : p.pages) parser.Parse(page.data(), page.size() / 2);
        benchmark::DoNotOptimize(parser.Tracking().status);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(p.bytes));
    state.SetLabel(kordex::ModelText(descramble));
}
BENCHMARK(BM_ParseAndPlace)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

void BM_MemcpyFloor(benchmark::State& state)
{
    const Pages p = MakePages(1);
    std::vector<std::uint8_t> destination(p.bytes);
    for (auto _ : state) {
        std::size_t at = 0;
        for (const auto& page : p.pages) {
            std::memcpy(destination.data() + at, page.data(), page.size());
            at += page.size();
        }
        benchmark::DoNotOptimize(destination.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(p.bytes));
}
BENCHMARK(BM_MemcpyFloor)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
