// Starts the library when libkordex.so is loaded, before any export runs; the
// library object's destructor shuts it down when the library is unloaded.
#include "frame/library.h"

namespace {

[[gnu::constructor]] void StartLibrary()
{
    kordex::Lib();
}

}  // namespace
