#include "frame/export_guard.h"

#include <cstdio>

#include "frame/library.h"
#include "platform/text.h"

namespace kordex {

void ReportExportFailure(const char* name, const char* what) noexcept
{
    try {
        Lib().log.Error(platform::Format("%s failed: %s", name, what), 0);
        Lib().log.Flush();
    } catch (...) {
        std::fprintf(stderr, "ERR: %s failed: %s\n", name, what);
    }
}

}  // namespace kordex
