// The viewer's parsers of outside input: mask entries and marker texts as
// typed or read from the settings file, and raw frame contents with any
// dimensions (autocomplete, statistics, truncation, histogram resampling,
// marker statistics and the grey map).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "grayscope/view/frame_load.h"
#include "grayscope/view/grey_map.h"
#include "grayscope/view/histogram_plot.h"
#include "grayscope/view/marker.h"
#include "grayscope/view/mask_entry.h"
#include "grayscope/view/truncation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const grayscope::MaskEntry entry = grayscope::ParseMaskEntry(text);
    std::vector<std::string> history(22, "1x1 / *.raw");
    grayscope::UpdateHistory(&history, entry.width, entry.height, entry.mask);
    const grayscope::MarkerShape shape = grayscope::DecodeMarker(grayscope::EncodeMarkerText(text));

    if (size < 8)
        return 0;
    // First four bytes: width and height hints; the rest: samples.
    int w = data[0] + 1;
    int h = data[1] + 1;
    const int tenths = static_cast<std::int8_t>(data[2]) * 8;
    const std::int64_t count = static_cast<std::int64_t>(size - 4) / 2;
    if (!grayscope::AutocompleteDimensions(count, &w, &h) || count == 0)
        return 0;
    grayscope::ViewerImage image;
    image.width = w;
    image.height = h;
    image.pixels.resize(static_cast<std::size_t>(count));
    std::memcpy(image.pixels.data(), data + 4, static_cast<std::size_t>(count) * 2);
    grayscope::BuildStatistics(&image);
    const int black = grayscope::TruncatedPoint(&image, tenths, grayscope::Side::Black);
    const int white = grayscope::TruncatedPoint(&image, -tenths, grayscope::Side::White);
    std::vector<std::uint8_t> levels;
    grayscope::MapGrey(image, black, white, grayscope::kTopLevelPlain, &levels);
    grayscope::ResampleHistogram(image, image.min - 3, image.max + data[3], 2 + data[3] % 300);
    grayscope::ComputeMarkerStatistics(image, shape, data[3] % w, data[2] % h);
    return 0;
}
