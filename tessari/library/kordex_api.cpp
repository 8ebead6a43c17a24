// The exports are bound in one table of (name, slot) pairs, so the order of
// the look-up and the list of names cannot drift apart.
#include "library/kordex_api.h"

#include <cstring>

#include "platform/paths.h"

namespace tessari {

namespace {

#define TESSARI_EXPORTS(X)                                                                                           \
    X(KX_IsUnicode) X(KX_DialogH) X(KX_LogOpen) X(KX_LogMsg) X(KX_LogClose) X(KX_LogFlush) X(KX_GetHomeDirectory)      \
    X(KX_IniProfSetSection) X(KX_IniProfGetStr) X(KXACQ_SetFrameDim) X(KXACQ_GetFrameDim) X(KXACQ_Connect)            \
    X(KXACQ_SendCommand) X(KXACQ_SendCommandParam) X(KXACQ_StartFrame) X(KXACQ_VendorCommand) X(KXACQ_Abort)          \
    X(KXACQ_Close) X(KXACQ_GetDetectorAddr) X(KXACQ_SetDetectorAddr) X(KXC_GetImageDim) X(KXC_CutImage)               \
    X(KXC_Process) X(KXC_Abort) X(KXC_Close) X(KXC_GetCalibrationDirectory) X(KXC_SetCalibrationDirectory)            \
    X(KXC_GetImgCutParams) X(KXC_SetImgCutParams) X(KXIP_Process) X(KXIP_Abort) X(KXIP_Close) X(KX_Set_Acquisition)  \
    X(KX_Set_Calibration) X(KX_Set_ImgProcess) X(KX_GetImage) X(KX_GetImageSP) X(KX_GetImageCancel)

#define TESSARI_NAME(name) #name,
constexpr const char* kNames[] = {TESSARI_EXPORTS(TESSARI_NAME)};
static_assert(sizeof kNames / sizeof kNames[0] == kBoundExportCount);

template <typename F>
bool Bind(const platform::DynamicLibrary& library, const char* name, F& slot)
{
    void* symbol = library.Symbol(name);
    if (symbol == nullptr) return false;
    std::memcpy(&slot, &symbol, sizeof slot);
    return true;
}

}  // namespace

const char* const* BoundExportNames()
{
    return kNames;
}

std::string KordexLibrary::CandidatePath(const std::string& programDir)
{
    const std::string own = programDir + kLibraryFileName;
    if (platform::FileExists(own)) return own;
    const std::string buildTree = programDir + "../lib/" + kLibraryFileName;
    if (platform::FileExists(buildTree)) return buildTree;
    return kLibraryFileName;
}

LoadResult KordexLibrary::Load(const std::string& path, std::string* errorText)
{
    std::string systemText;
    if (!library_.Open(path, &systemText)) {
        if (errorText) *errorText = path + "\n" + (systemText.empty() ? "#0" : systemText);
        return LoadResult::LoadFailed;
    }
    const char* missing = nullptr;
#define TESSARI_BIND(name) \
    if (missing == nullptr && !Bind(library_, #name, api_.name)) missing = #name;
    TESSARI_EXPORTS(TESSARI_BIND)
#undef TESSARI_BIND
    if (missing != nullptr) {
        if (errorText) *errorText = std::string("Can't find exported function \"") + missing + "\"";
        Unload();
        return LoadResult::ExportMissing;
    }
    if (api_.KX_IsUnicode() != 0) {
        if (errorText) *errorText = kCharsetMismatch;
        Unload();
        return LoadResult::CharsetMismatch;
    }
    return LoadResult::Ok;
}

void KordexLibrary::Unload()
{
    api_ = KordexApi{};
    library_.Close();
}

}  // namespace tessari
