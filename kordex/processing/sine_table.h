// The sine table: a weight over a range of levels shaped by part of a sine
// period and normalised to 0..1, used by the intraoral intrinsic sharpening
// and the adaptive unsharp mask of the internal auxiliary chain.
#pragma once

#include <vector>

namespace kordex {

struct SineTable {
    int lo = 0;
    std::vector<double> entries;  // hi - lo + 1 values in 0..1
    // Entry 0 for x - lo < 1, entry x - lo while below n - 1, else entry n - 1.
    double At(int x) const;
};

// Over lo..hi (n entries), start share a and top share b in per cent: the
// entries s = a*n/100 .. e = n - b*n/100 - 1 follow sin(p0 .. p1), are
// normalised by their minimum and maximum (a flat sine gives 0), and the ends
// repeat entries s and e. Returns false (table empty) for fewer than 10 levels.
bool BuildSineTable(int lo, int hi, double a, double b, double p0, double p1, SineTable& table);

// Lets the top of the table fall linearly to 0: with o = trunc(n * from) and
// c = n - o - 1, entry o + j becomes (1 - j / c) * entry o for j = 1..c.
void RampDownTop(SineTable& table, double from);

}  // namespace kordex
