// Small images for the viewer tests.
#pragma once

#include <cstdint>
#include <vector>

#include "grayscope/view/viewer_image.h"

namespace grayscope_test {

// width x height pixels with the values produced by value(x, y), statistics built.
template <typename F>
grayscope::ViewerImage MakeImage(int width, int height, F value)
{
    grayscope::ViewerImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.pixels[static_cast<std::size_t>(y) * width + x] = static_cast<std::int16_t>(value(x, y));
    grayscope::BuildStatistics(&image);
    return image;
}

}  // namespace grayscope_test
