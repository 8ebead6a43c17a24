#include "grayscope/view/min_max_reduction.h"

#include <algorithm>

#include "grayscope/view/grey_map.h"

namespace grayscope {

namespace {

struct Span {
    int first;
    int end;
};

Span BlockOf(int i, int start, int sourceLength, int destLength)
{
    const auto s = static_cast<long long>(sourceLength);
    int first = start + static_cast<int>(i * s / destLength);
    int end = start + static_cast<int>((i + 1) * s / destLength);
    if (end <= first)
        end = first + 1;
    return {first, end};
}

template <bool Dark>
void Reduce(const std::uint8_t* levels, int width, int height, const Rect& source, int dw, int dh,
            std::uint8_t* out, std::uint8_t* scratch)
{
    const int stride = PaddedRowBytes(width);
    const int outStride = PaddedRowBytes(dw);
    const int sh = source.Height();
    // Columns: each source row of the rectangle reduced to dw values.
    for (int y = 0; y < sh; ++y) {
        const std::uint8_t* src = levels + static_cast<std::size_t>(height - 1 - (source.top + y)) * stride;
        std::uint8_t* dst = scratch + static_cast<std::size_t>(y) * dw;
        for (int x = 0; x < dw; ++x) {
            const Span b = BlockOf(x, source.left, source.Width(), dw);
            std::uint8_t v = src[b.first];
            for (int i = b.first + 1; i < b.end; ++i)
                v = Dark ? std::min(v, src[i]) : std::max(v, src[i]);
            dst[x] = v;
        }
    }
    // Rows: whole scratch rows combined element by element (vectorises).
    for (int y = 0; y < dh; ++y) {
        const Span b = BlockOf(y, 0, sh, dh);
        std::uint8_t* __restrict dst = out + static_cast<std::size_t>(y) * outStride;
        const std::uint8_t* first = scratch + static_cast<std::size_t>(b.first) * dw;
        std::copy(first, first + dw, dst);
        for (int r = b.first + 1; r < b.end; ++r) {
            const std::uint8_t* __restrict row = scratch + static_cast<std::size_t>(r) * dw;
            for (int x = 0; x < dw; ++x)
                dst[x] = Dark ? std::min(dst[x], row[x]) : std::max(dst[x], row[x]);
        }
    }
}

}  // namespace

void ReduceMinMax(const std::uint8_t* levels, int width, int height, const Rect& source, int dw, int dh,
                  Reduction mode, std::vector<std::uint8_t>* out, std::vector<std::uint8_t>* scratch)
{
    out->assign(static_cast<std::size_t>(PaddedRowBytes(std::max(dw, 0))) * std::max(dh, 0), 0);
    if (dw <= 0 || dh <= 0 || source.Width() <= 0 || source.Height() <= 0 || source.left < 0 || source.top < 0 ||
        source.right > width || source.bottom > height)
        return;
    const std::size_t need = static_cast<std::size_t>(source.Height()) * dw;
    if (scratch->size() < need)
        scratch->resize(need);
    if (mode == Reduction::KeepDark)
        Reduce<true>(levels, width, height, source, dw, dh, out->data(), scratch->data());
    else
        Reduce<false>(levels, width, height, source, dw, dh, out->data(), scratch->data());
}

}  // namespace grayscope
