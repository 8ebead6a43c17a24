// A stand-in for libcalpost.so in the tests of the Calpost binding. Its
// PostPrc records its arguments and returns the values 0, 1, 2, ... in
// output order (so the caller's 180-degree turn is visible), or null when
// detailFactor is negative. CalpostFree counts the blocks it releases.
// Test programs load it under the name libcalpost.so and read the record
// through CalpostStubRecord. Built with CALPOST_STUB_WITHOUT_PROCEDURE it
// lacks PostPrc.
#include <cstdint>
#include <cstdlib>

#include "calpost_stub.h"

namespace {

CalpostStubCall g_call;

}  // namespace

extern "C" {

__attribute__((visibility("default"))) CalpostStubCall* CalpostStubRecord()
{
    return &g_call;
}

__attribute__((visibility("default"))) void CalpostFree(void* block)
{
    if (block) ++g_call.freed;
    std::free(block);
}

#if !defined(CALPOST_STUB_WITHOUT_PROCEDURE)
__attribute__((visibility("default"))) uint16_t* PostPrc(
    const uint16_t* image, int32_t width, int32_t height, int32_t reserved4, void* reserved5, void* reserved6,
    double p7, double p8, double p9, double p10, double p11, double p12, double p13, double p14, double p15,
    double p16, double p17, double p18, double p19, double p20, double p21, double p22, double p23, double p24,
    double p25, double p26, double p27, double p28, double p29, double p30, double p31, int32_t p32, double p33,
    double p34, double p35, double p36, double p37, double p38, double p39, double p40, double p41, double p42,
    double p43)
{
    ++g_call.calls;
    g_call.width = width;
    g_call.height = height;
    g_call.reserved4 = reserved4;
    g_call.reservedNull = reserved5 == nullptr && reserved6 == nullptr;
    g_call.firstPixel = image[0];
    const double doubles[] = {p7,  p8,  p9,  p10, p11, p12, p13, p14, p15, p16, p17, p18, p19,
                              p20, p21, p22, p23, p24, p25, p26, p27, p28, p29, p30, p31};
    for (int k = 0; k < 25; ++k) g_call.params[k] = doubles[k];
    g_call.lcon = p32;
    const double tail[] = {p33, p34, p35, p36, p37, p38, p39, p40, p41, p42, p43};
    for (int k = 0; k < 11; ++k) g_call.tail[k] = tail[k];
    if (p8 < 0) return nullptr;
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    auto* out = static_cast<uint16_t*>(std::malloc(n * sizeof(uint16_t)));
    for (std::size_t k = 0; k < n; ++k) out[k] = static_cast<uint16_t>(k);
    return out;
}
#endif

}  // extern "C"
