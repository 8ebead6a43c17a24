// The mirrored extension of an image, built once per step that needs one.
#include "calpost/mirror.h"

namespace calpost {

Image ExtendMirrored(const Image& image, int p)
{
    Image out(image.width + 2 * p, image.height + 2 * p);
    for (int y = 0; y < out.height; ++y) {
        const double* src = image.Row(Reflect(y - p, image.height));
        double* dst = out.Row(y);
        for (int x = 0; x < p; ++x) dst[x] = src[Reflect(x - p, image.width)];
        for (int x = 0; x < image.width; ++x) dst[p + x] = src[x];
        for (int x = p + image.width; x < out.width; ++x) dst[x] = src[Reflect(x - p, image.width)];
    }
    return out;
}

}  // namespace calpost
