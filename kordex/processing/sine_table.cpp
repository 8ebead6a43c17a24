// Sine tables of the intraoral intrinsic sharpening.
#include "processing/sine_table.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kordex {

double SineTable::At(int x) const
{
    const std::int64_t n = static_cast<std::int64_t>(entries.size());
    const std::int64_t k = static_cast<std::int64_t>(x) - lo;
    if (k < 1) return entries.front();
    if (k < n - 1) return entries[static_cast<std::size_t>(k)];
    return entries.back();
}

bool BuildSineTable(int lo, int hi, double a, double b, double p0, double p1, SineTable& table)
{
    table.entries.clear();
    const std::int64_t n = static_cast<std::int64_t>(hi) - lo + 1;
    if (n < 10 || n > (1 << 20)) return false;
    const std::int64_t s = std::clamp<std::int64_t>(static_cast<std::int64_t>(a * static_cast<double>(n) / 100), 0, n - 1);
    const std::int64_t e =
        std::clamp<std::int64_t>(n - static_cast<std::int64_t>(b * static_cast<double>(n) / 100) - 1, s, n - 1);
    table.lo = lo;
    table.entries.assign(static_cast<std::size_t>(n), 0.0);
    double mn = 0, mx = 0;
    for (std::int64_t j = s; j <= e; ++j) {
        const double t = e > s ? static_cast<double>(j - s) / static_cast<double>(e - s) : 0.0;
        const double v = std::sin(p0 + (p1 - p0) * t);
        table.entries[static_cast<std::size_t>(j)] = v;
        if (j == s || v < mn) mn = v;
        if (j == s || v > mx) mx = v;
    }
    for (std::int64_t j = s; j <= e; ++j) {
        double& v = table.entries[static_cast<std::size_t>(j)];
        v = mx > mn ? (v - mn) / (mx - mn) : 0.0;
    }
    for (std::int64_t j = 0; j < s; ++j) table.entries[static_cast<std::size_t>(j)] = table.entries[static_cast<std::size_t>(s)];
    for (std::int64_t j = e + 1; j < n; ++j) table.entries[static_cast<std::size_t>(j)] = table.entries[static_cast<std::size_t>(e)];
    return true;
}

void RampDownTop(SineTable& table, double from)
{
    const std::int64_t n = static_cast<std::int64_t>(table.entries.size());
    const std::int64_t o = static_cast<std::int64_t>(static_cast<double>(n) * from);
    const std::int64_t c = n - o - 1;
    if (o < 0 || c <= 0) return;
    const double top = table.entries[static_cast<std::size_t>(o)];
    for (std::int64_t j = 1; j <= c; ++j)
        table.entries[static_cast<std::size_t>(o + j)] = (1.0 - static_cast<double>(j) / static_cast<double>(c)) * top;
}

}  // namespace kordex
