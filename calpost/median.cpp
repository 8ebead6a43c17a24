// Medians. The networks are fixed sequences of compare-exchange steps (19
// for nine values, 99 for twenty-five) that leave the median in the middle
// slot without sorting the rest; they have no branches a predictor could
// miss, which matters in the replacement steps that take one per masked
// pixel. Other counts fall back to std::nth_element.
#include "calpost/median.h"

#include <algorithm>

namespace calpost {
namespace {

inline void Sort2(double* v, int a, int b)
{
    const double lo = std::min(v[a], v[b]);
    const double hi = std::max(v[a], v[b]);
    v[a] = lo;
    v[b] = hi;
}

}  // namespace

double Median9(double* v)
{
    static constexpr int kSteps[][2] = {
        {1, 2}, {4, 5}, {7, 8}, {0, 1}, {3, 4}, {6, 7}, {1, 2}, {4, 5}, {7, 8}, {0, 3},
        {5, 8}, {4, 7}, {3, 6}, {1, 4}, {2, 5}, {4, 7}, {4, 2}, {6, 4}, {4, 2},
    };
    for (const auto& s : kSteps) Sort2(v, s[0], s[1]);
    return v[4];
}

double Median25(double* v)
{
    static constexpr int kSteps[][2] = {
        {0, 1},   {3, 4},   {2, 4},   {2, 3},   {6, 7},   {5, 7},   {5, 6},   {9, 10},  {8, 10},
        {8, 9},   {12, 13}, {11, 13}, {11, 12}, {15, 16}, {14, 16}, {14, 15}, {18, 19}, {17, 19},
        {17, 18}, {21, 22}, {20, 22}, {20, 21}, {23, 24}, {2, 5},   {3, 6},   {0, 6},   {0, 3},
        {4, 7},   {1, 7},   {1, 4},   {11, 14}, {8, 14},  {8, 11},  {12, 15}, {9, 15},  {9, 12},
        {13, 16}, {10, 16}, {10, 13}, {20, 23}, {17, 23}, {17, 20}, {21, 24}, {18, 24}, {18, 21},
        {19, 22}, {8, 17},  {9, 18},  {0, 18},  {0, 9},   {10, 19}, {1, 19},  {1, 10},  {11, 20},
        {2, 20},  {2, 11},  {12, 21}, {3, 21},  {3, 12},  {13, 22}, {4, 22},  {4, 13},  {14, 23},
        {5, 23},  {5, 14},  {15, 24}, {6, 24},  {6, 15},  {7, 16},  {7, 19},  {13, 21}, {15, 23},
        {7, 13},  {7, 15},  {1, 9},   {3, 11},  {5, 17},  {11, 17}, {9, 17},  {4, 10},  {6, 12},
        {7, 14},  {4, 6},   {4, 7},   {12, 14}, {10, 14}, {6, 7},   {10, 12}, {6, 10},  {6, 17},
        {12, 17}, {7, 17},  {7, 10},  {12, 18}, {7, 12},  {10, 18}, {12, 20}, {10, 20}, {10, 12},
    };
    for (const auto& s : kSteps) Sort2(v, s[0], s[1]);
    return v[12];
}

double MedianOf(double* v, int count)
{
    if (count == 9) return Median9(v);
    if (count == 25) return Median25(v);
    std::nth_element(v, v + count / 2, v + count);
    return v[count / 2];
}

}  // namespace calpost
