// Library-service exports: text build, log, home directory, the caller's
// settings keys and the release of library-allocated buffers.
#include <cstdlib>

#include "frame/export_guard.h"
#include "frame/library.h"
#include "kordex.h"
#include "platform/text.h"

using kordex::Lib;

extern "C" {

KX_API int32_t KX_IsUnicode(void)
{
    return 0;
}

KX_API void KX_LogOpen(const char* directory, int32_t generations, const char* name)
{
    kordex::GuardedVoid(__func__, [&] {
        kordex::Library& lib = Lib();
        lib.log.Open(directory ? std::string(directory) : lib.HomePath(), generations, name ? name : "");
    });
}

KX_API void KX_LogMsg(const char* text)
{
    kordex::GuardedVoid(__func__, [&] {
        Lib().log.File(text ? text : "");
    });
}

KX_API void KX_LogClose(void)
{
    kordex::GuardedVoid(__func__, [&] {
        Lib().log.Close();
    });
}

KX_API void KX_LogFlush(void)
{
    kordex::GuardedVoid(__func__, [&] {
        Lib().log.Flush();
    });
}

KX_API int32_t KX_GetHomeDirectory(char* buffer)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        if (!buffer) return 0;
        return static_cast<int32_t>(platform::CopyTruncated(buffer, 256, Lib().HomePath())) + 1;
    });
}

KX_API void KX_IniProfSetSection(const char* section)
{
    kordex::GuardedVoid(__func__, [&] {
        Lib().profile.SetSection(section ? section : "");
    });
}

KX_API const char* KX_IniProfGetStr(const char* key, const char* defaultText)
{
    return kordex::Guarded(__func__, static_cast<const char*>(nullptr), [&]() -> const char* {
        kordex::Library& lib = Lib();
        lib.iniValue[0] = '\0';
        if (key) {
            platform::CopyTruncated(lib.iniValue.data(), lib.iniValue.size(),
                                    lib.profile.ReadStringWriteBack(key, defaultText));
        }
        return lib.iniValue.data();
    });
}

KX_API void KX_Free(void* buffer)
{
    kordex::GuardedVoid(__func__, [&] {
        std::free(buffer);
    });
}

}  // extern "C"
