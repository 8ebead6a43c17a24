// Guarded: no exception leaves an export. Every export runs its body inside
// Guarded or GuardedVoid; an exception (memory or a thread that cannot be
// had) is logged as an error line naming the export, and the export returns
// its failure value.
#pragma once

#include "platform/guarded.h"

namespace kordex {

// Writes "ERR: <name> failed: <what>" to the log (standard error when even
// that fails). Never throws.
void ReportExportFailure(const char* name, const char* what) noexcept;

template <typename Result, typename Body>
Result Guarded(const char* name, Result failure, Body&& body) noexcept
{
    return platform::Guarded(name, failure, body, ReportExportFailure);
}

template <typename Body>
void GuardedVoid(const char* name, Body&& body) noexcept
{
    platform::GuardedVoid(name, body, ReportExportFailure);
}

}  // namespace kordex
