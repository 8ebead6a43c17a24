// Acquisition exports: thin doors into the library's AcquisitionSession.
// The handle arguments are the one AcqStatus record; KXACQ_Abort and
// KXACQ_VendorCommand act on the library's acquisition whatever they are
// given, as there is only one.
#include "acquisition/acquisition_session.h"
#include "frame/export_guard.h"
#include "kordex.h"

using kordex::Acquisition;

extern "C" {

KX_API AcqStatus* KXACQ_Connect(int32_t flags, KX_Callback callback, void* context, int16_t* frame,
                                int32_t vResetOverride)
{
    return kordex::Guarded(__func__, static_cast<AcqStatus*>(nullptr), [&]() -> AcqStatus* {
        return Acquisition().Connect(flags, callback, context, frame, vResetOverride);
    });
}

KX_API int32_t KXACQ_StartFrame(AcqStatus* handle)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        return Acquisition().StartFrame(handle);
    });
}

KX_API int32_t KXACQ_Abort(AcqStatus*)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        return Acquisition().Abort();
    });
}

KX_API void KXACQ_Close(AcqStatus* handle)
{
    kordex::GuardedVoid(__func__, [&] {
        if (handle == nullptr) return;
        Acquisition().Close();
    });
}

KX_API int32_t KXACQ_VendorCommand(AcqStatus*, int32_t request, int32_t value, int32_t index)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        return Acquisition().VendorCommand(request, value, index);
    });
}

}  // extern "C"
