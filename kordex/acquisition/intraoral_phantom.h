// A synthetic intraoral phantom: the X-ray transmission (0..1) of three
// upper teeth -- enamel caps, dentin crowns and tapering roots with their
// pulp canals -- in alveolar bone with a trabecular texture, under soft
// tissue, with open air beyond the incisal edges.
//
// The scene is laid out as the delivered image shows it with the default
// geometry (the frame turned a quarter turn counter-clockwise): roots up,
// crowns down. It gives calibration and processing real structure to work
// on: sharp enamel edges, a wide dynamic range and an open-field region.
#pragma once

#include <vector>

namespace kordex {

// width x height transmissions in frame order (row by row).
std::vector<float> IntraoralPhantom(int width, int height);

}  // namespace kordex
