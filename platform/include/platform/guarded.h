// Guarded: the door of an export that lets no exception out. The body runs
// inside; an exception (memory, or a thread that cannot be had) goes to
// report(name, what) and the export returns its failure value.
#pragma once

#include <exception>

namespace platform {

template <typename Result, typename Body, typename Report>
Result Guarded(const char* name, Result failure, Body&& body, Report&& report) noexcept
{
    try {
        return body();
    } catch (const std::exception& e) {
        report(name, e.what());
    } catch (...) {
        report(name, "unknown exception");
    }
    return failure;
}

// The same for a body without a result.
template <typename Body, typename Report>
void GuardedVoid(const char* name, Body&& body, Report&& report) noexcept
{
    Guarded(
        name, 0,
        [&] {
            body();
            return 0;
        },
        report);
}

}  // namespace platform
