// Fuzzes the transport-stream parser and placement with arbitrary page
// sequences: the first bytes choose the frame size, the sensor model and
// Invert, then each page is a 16-bit length (odd counts allowed, the last
// byte dropped as the read-out does) followed by that many bytes.
//
// Every page is parsed twice: from an aligned copy (the vectorised path) and
// from a misaligned one (the word-by-word path). No word may land outside
// the frame (guard words around both frames stay intact), both paths must
// agree, the status is always running, complete or premature end, samples
// are 12-bit or the 0x8000 fill, and progress stays 0..100.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "acquisition/transport_stream.h"

namespace {

constexpr int kGuard = 32;
constexpr std::int16_t kGuardValue = 0x3C3C;

std::vector<std::int16_t> GuardedStore(std::size_t pixels)
{
    std::vector<std::int16_t> store(pixels + 2 * kGuard, static_cast<std::int16_t>(0x8000));
    for (int i = 0; i < kGuard; ++i) store[static_cast<std::size_t>(i)] = store[store.size() - 1 - i] = kGuardValue;
    return store;
}

void CheckGuards(const std::vector<std::int16_t>& store)
{
    for (int i = 0; i < kGuard; ++i)
        if (store[static_cast<std::size_t>(i)] != kGuardValue || store[store.size() - 1 - i] != kGuardValue)
            __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4) return 0;
    const int width = 1 + data[0] % 40;
    const int height = 1 + data[1] % 40;
    const int descramble = data[2] % 5;
    const bool invert = (data[3] & 1) != 0;
    std::size_t at = 4;

    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    std::vector<std::int16_t> fastStore = GuardedStore(pixels);
    std::vector<std::int16_t> slowStore = GuardedStore(pixels);
    kordex::TransportStreamParser fast({width, height, descramble, invert}, fastStore.data() + kGuard);
    kordex::TransportStreamParser slow({width, height, descramble, invert}, slowStore.data() + kGuard);
    std::vector<std::uint16_t> aligned;
    std::vector<std::uint8_t> misaligned;
    while (at + 2 <= size) {
        std::size_t bytes = static_cast<std::size_t>(data[at] | (data[at + 1] << 8));
        at += 2;
        if (bytes > size - at) bytes = size - at;
        const std::size_t words = bytes / 2;
        aligned.assign(words + 1, 0);
        std::memcpy(aligned.data(), data + at, words * 2);
        misaligned.assign(words * 2 + 1, 0);
        std::memcpy(misaligned.data() + 1, data + at, words * 2);
        fast.Parse(reinterpret_cast<const std::uint8_t*>(aligned.data()), words);
        slow.Parse(misaligned.data() + 1, words);
        at += bytes;
        const kordex::StreamTracking& t = fast.Tracking();
        const kordex::StreamTracking& u = slow.Tracking();
        if (t.status != kordex::kStreamRunning && t.status != kordex::kStreamComplete &&
            t.status != kordex::kStreamPrematureEnd)
            __builtin_trap();
        if (t.status != u.status || t.highestSol != u.highestSol || t.highestEol != u.highestEol ||
            t.highestColumn != u.highestColumn || t.line != u.line || t.column != u.column)
            __builtin_trap();
        const int progress = kordex::ReadoutProgress(t.highestEol, height);
        if (progress < 0 || progress > 100) __builtin_trap();
    }
    CheckGuards(fastStore);
    CheckGuards(slowStore);
    for (std::size_t i = kGuard; i < kGuard + pixels; ++i) {
        const int v = fastStore[i];
        if (v != slowStore[i]) __builtin_trap();
        if (v != -32768 && (v < 0 || v > 4095)) __builtin_trap();
    }
    return 0;
}
