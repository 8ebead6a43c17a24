// PostPrc, the complete enhancement of one radiograph, as a sequence of
// named steps over one working image.
#pragma once

#include <cstdint>

#include "calpost/image.h"
#include "calpost/post_prc_params.h"

namespace calpost {

// Steps 1 and 2: the input as doubles, flipped vertically (row i takes row
// H-1-i).
void LoadFlipped(const std::uint16_t* input, int width, int height, Image& image);

// Steps 13 to 16: scaled to 0..255 by the maximum, flipped horizontally,
// rescaled to 0..32767 and stored truncated into out (width x height).
void FinishInto(Image& image, std::uint16_t* out);

// The whole pipeline from input to out (both width x height; out is the
// caller's). Sizes must be at least 1.
void RunPostPrc(const std::uint16_t* input, int width, int height, const PostPrcParams& params,
                std::uint16_t* out);

}  // namespace calpost
