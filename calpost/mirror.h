// Mirrored borders: the index a filter reads outside a line of n samples.
//
// The line is mirrored about its end samples without repeating them (index -1
// reads 1, index n reads n - 2), so a mirrored line keeps the parity of every
// index -- the pyramid's expansion relies on that to keep its zero samples in
// place. Indices further out than one line length reflect again, so filters
// longer than the line stay inside it; a line of one sample reads that sample.
#pragma once

#include "calpost/image.h"

namespace calpost {

inline int Reflect(int index, int n)
{
    if (index >= 0 && index < n) return index;
    if (n <= 1) return 0;
    const long period = 2L * (n - 1);
    long i = index % period;
    if (i < 0) i += period;
    return static_cast<int>(i < n ? i : period - i);
}

// The image extended by p pixels on every side, the border mirrored as above.
Image ExtendMirrored(const Image& image, int p);

}  // namespace calpost
