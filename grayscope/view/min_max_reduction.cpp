#include "grayscope/view/min_max_reduction.h"

#include <algorithm>

#include "grayscope/view/grey_map.h"
#include "grayscope/view/row_bands.h"

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
void ReduceRows(const std::uint8_t* levels, int width, int height, const Rect& source, int dw, int dh,
                std::uint8_t* out, std::uint8_t* scratch, int firstRow, int lastRow)
{
    const int stride = PaddedRowBytes(width);
    const int outStride = PaddedRowBytes(dw);
    const int sw = source.Width();
    for (int y = firstRow; y <= lastRow; ++y) {
        // Rows first: the block's source rows combined element by element over
        // the rectangle's width (this loop vectorises) ...
        const Span rows = BlockOf(y, source.top, source.Height(), dh);
        std::uint8_t* __restrict line = scratch + static_cast<std::size_t>(y) * sw;
        auto sourceRow = [&](int r) {
            return levels + static_cast<std::size_t>(height - 1 - r) * stride + source.left;
        };
        const std::uint8_t* first = sourceRow(rows.first);
        std::copy(first, first + sw, line);
        for (int r = rows.first + 1; r < rows.end; ++r) {
            const std::uint8_t* __restrict src = sourceRow(r);
            for (int x = 0; x < sw; ++x)
                line[x] = Dark ? std::min(line[x], src[x]) : std::max(line[x], src[x]);
        }
        // ... then the columns of that one combined row.
        std::uint8_t* dst = out + static_cast<std::size_t>(y) * outStride;
        for (int x = 0; x < dw; ++x) {
            const Span cols = BlockOf(x, 0, sw, dw);
            std::uint8_t v = line[cols.first];
            for (int i = cols.first + 1; i < cols.end; ++i)
                v = Dark ? std::min(v, line[i]) : std::max(v, line[i]);
            dst[x] = v;
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
    const std::size_t need = static_cast<std::size_t>(dh) * source.Width();
    if (scratch->size() < need)
        scratch->resize(need);
    std::uint8_t* dst = out->data();
    std::uint8_t* tmp = scratch->data();
    const long long work = static_cast<long long>(source.Width()) * source.Height();
    RunRowBands(dh, BandCount(work), [&](int first, int last) {
        if (mode == Reduction::KeepDark)
            ReduceRows<true>(levels, width, height, source, dw, dh, dst, tmp, first, last);
        else
            ReduceRows<false>(levels, width, height, source, dw, dh, dst, tmp, first, last);
    });
}

}  // namespace grayscope
