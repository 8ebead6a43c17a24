// Start-up and shutdown of libgrayscope.so: the settings path and the library
// flags are read when the library is loaded; at unload the flags are written
// back and the bad-pixel mask editor is destroyed.
#include "grayscope/ui/library_state.h"

namespace {

struct LibraryLifetime {
    LibraryLifetime() { grayscope::Lib(); }
    ~LibraryLifetime() { grayscope::ShutdownLibrary(); }
};

const LibraryLifetime lifetime;

}  // namespace
