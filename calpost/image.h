// The working image of the pipeline: width x height doubles, row-major.
//
// A plain record; the steps take it by reference and own nothing else. Sizes
// are ints (the exports take 32-bit sizes); element counts are size_t so
// products of the sizes never overflow.
#pragma once

#include <cstddef>
#include <vector>

namespace calpost {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<double> values;

    Image() = default;
    Image(int w, int h, double fill = 0.0)
        : width(w), height(h), values(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill)
    {
    }

    std::size_t Count() const { return values.size(); }
    double* Row(int y) { return values.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width); }
    const double* Row(int y) const
    {
        return values.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    }
    double& At(int x, int y) { return Row(y)[x]; }
    double At(int x, int y) const { return Row(y)[x]; }
};

}  // namespace calpost
