// Auxiliary despeckle inside the bad-pixel correction.
//
// Only pixels with code 0 are examined. First the four diagonals, when all
// are good, decide alone with the two-sided threshold T2; else the four
// direct neighbours, when all are good; else the one-sided tests with T1:
// the row above, the row below, then the left and right columns (see the
// order below). "Differs by more than T from a set" means v - q > T for every
// q of the set, or v - q < -T for every q.
#include "calibration/auxiliary_despeckle.h"

#include <algorithm>
#include <initializer_list>


namespace kordex {
namespace {

bool Differs(int v, std::initializer_list<int> set, int t)
{
    bool above = true, below = true;
    for (int q : set) {
        above = above && v - q > t;
        below = below && v - q < -t;
    }
    return above || below;
}

}  // namespace

int AuxiliaryDespeckle(const StepContext& ctx, std::int16_t* map, int r0, int r1)
{
    const DeSpeckleSettings& d = ctx.settings->deSpeckle;
    if (d.bpmEnable == 0) return 0;
    const int w = ctx.width, h = ctx.height;
    const int t2 = d.bpmThreshold2Side, t1 = d.bpmThreshold1Side;
    const int firstRow = std::max(r0, 1), lastRow = std::min(r1, h - 2);
    const int firstCol = std::max(ctx.left, 1), lastCol = std::min(w - ctx.right - 1, w - 2);
    int flagged = 0;
    for (int y = firstRow; y <= lastRow; ++y) {
        for (int x = firstCol; x <= lastCol; ++x) {
            const std::ptrdiff_t i = static_cast<std::ptrdiff_t>(y) * w + x;
            std::int16_t* m = map + i;
            if (*m != 0) continue;
            const std::int16_t* f = ctx.frame + i;
            auto code = [&](int dy, int dx) { return m[dy * w + dx]; };
            auto val = [&](int dy, int dx) { return static_cast<int>(f[dy * w + dx]); };
            const int v = val(0, 0);
            const int ul = val(-1, -1), u = val(-1, 0), ur = val(-1, 1), l = val(0, -1), r = val(0, 1),
                      dl = val(1, -1), dn = val(1, 0), dr = val(1, 1);
            const bool goodUL = code(-1, -1) == 0, goodU = code(-1, 0) == 0, goodUR = code(-1, 1) == 0,
                       goodL = code(0, -1) == 0, goodR = code(0, 1) == 0, goodDL = code(1, -1) == 0,
                       goodD = code(1, 0) == 0, goodDR = code(1, 1) == 0;
            bool flag = false;
            if (goodUL && goodUR && goodDL && goodDR) {
                flag = Differs(v, {ul, ur, dl, dr}, t2);
            } else if (goodU && goodL && goodR && goodD) {
                flag = Differs(v, {u, l, r, dn}, t2);
            } else if (goodUL && goodU && goodUR && Differs(v, {ul, u, ur}, t1)) {
                flag = true;
            } else if (goodDL && goodD && goodDR && Differs(v, {dl, dn, dr}, t1)) {
                flag = true;
            } else {
                const bool leftSide = goodUL && goodL && goodDL && Differs(v, {ul, l, dl}, t1);
                if (!leftSide && (!goodUR || !goodR || !goodDR)) {
                    flag = false;
                } else {
                    const int e = v - ur;
                    if (e < -t1)
                        flag = v - r < -t1 && v - dr < -t1;
                    else if (e > t1)
                        flag = v - r > t1 && v - dr > t1;
                    else
                        flag = leftSide;
                }
            }
            if (flag) {
                *m = kCodeAuxDespeckle;
                ++flagged;
            }
        }
        if (Aborted(ctx)) return -1;
    }
    return flagged;
}

}  // namespace kordex
