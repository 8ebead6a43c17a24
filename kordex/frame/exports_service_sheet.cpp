// The service property sheet's exports. The sheet itself (its pages, the
// viewer loader) is not part of this build of the library: KX_DialogH clears
// the calibration-directory override as the sheet would, says in an error box
// that the sheet is not available and returns the settings-changed flag
// unchanged, so a caller that binds every export still loads the library.
#include "frame/export_guard.h"
#include "frame/library.h"
#include "kordex.h"
#include "platform/message_box.h"

namespace {

constexpr const char* kSheetMissing = "The service property sheet is not available in this build of the library";

}  // namespace

extern "C" {

KX_API int32_t KX_DialogH(void* parent)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        kordex::Library& lib = kordex::Lib();
        lib.calibrationDirOverride.clear();
        lib.log.Plain(std::string("WRN: ") + kSheetMissing);
        platform::ShowErrorBox(lib.title, kSheetMissing, parent);
        return lib.settings.settingsChanged;
    });
}

KX_API int32_t KX_Dialog(void)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        return KX_DialogH(nullptr);
    });
}

}  // extern "C"
