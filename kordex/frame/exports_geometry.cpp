// Frame geometry, detector address and calibration-directory exports.
//
// Geometry changes are checked before they take effect: a frame size or cut
// that leaves no image, a negative margin, or a side above 16384 keeps the
// previous geometry and logs a "WRN: " line, so no later allocation or
// division ever sees it.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "frame/export_guard.h"
#include "frame/frame_geometry.h"
#include "frame/library.h"
#include "kordex.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/text.h"

using kordex::Lib;

namespace {

constexpr std::size_t kDirectoryBuffer = 256;
constexpr std::size_t kDetectorAddrBuffer = 40;

int32_t ApplyOrWarn(const kordex::FrameGeometry& candidate, const char* what)
{
    kordex::Library& lib = Lib();
    std::string problem;
    if (kordex::ApplyGeometry(lib.settings.geometry, candidate, &problem)) return 1;
    lib.log.Plain(platform::Format("WRN: %s refused, geometry kept: %s", what, problem.c_str()));
    return 0;
}

int32_t NotImplemented()
{
    platform::ShowErrorBox(Lib().title, "Not implemented");
    return 0;
}

}  // namespace

extern "C" {

KX_API int32_t KXACQ_SetFrameDim(int32_t width, int32_t height)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        kordex::FrameGeometry g = Lib().settings.geometry;
        g.frameWidth = width;
        g.frameHeight = height;
        return ApplyOrWarn(g, "frame size");
    });
}

KX_API int32_t KXACQ_GetFrameDim(int32_t* width, int32_t* height)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        const kordex::FrameGeometry& g = Lib().settings.geometry;
        if (width) *width = g.frameWidth;
        if (height) *height = g.frameHeight;
        return 1;
    });
}

KX_API int32_t KXACQ_GetDetectorAddr(char* buffer)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        if (!buffer) return 0;
        return static_cast<int32_t>(platform::CopyTruncated(buffer, kDetectorAddrBuffer, Lib().settings.pid)) + 1;
    });
}

KX_API void KXACQ_SetDetectorAddr(const char* text)
{
    kordex::GuardedVoid(__func__, [&] {
        Lib().settings.pid = platform::Truncated(text ? text : "", kordex::kPidCapacity);
    });
}

KX_API int32_t KXACQ_IsRecentFrameOfsCal(void)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        return 0;
    });
}

KX_API int32_t KXACQ_SendCommand(int32_t, int32_t)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        return NotImplemented();
    });
}

KX_API int32_t KXACQ_SendCommandParam(int32_t, int32_t, int32_t, int32_t)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        return NotImplemented();
    });
}

KX_API int32_t KXC_GetImageDim(int32_t* cutWidth, int32_t* cutHeight)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        const kordex::FrameGeometry& g = Lib().settings.geometry;
        if (cutWidth) *cutWidth = g.cutWidth;
        if (cutHeight) *cutHeight = g.cutHeight;
        return (g.cutWidth != g.frameWidth || g.cutHeight != g.frameHeight) ? 1 : 0;
    });
}

KX_API int16_t* KXC_CutImage(const int16_t* frame, int16_t* destination)
{
    return kordex::Guarded(__func__, static_cast<int16_t*>(nullptr), [&]() -> int16_t* {
        if (!frame) return nullptr;
        const kordex::FrameGeometry& g = Lib().settings.geometry;
        if (!destination) {
            destination = static_cast<int16_t*>(
                std::malloc(static_cast<std::size_t>(g.cutWidth) * g.cutHeight * sizeof(int16_t)));
            if (!destination) return nullptr;
        }
        kordex::CutFrame(g, frame, destination);
        return destination;
    });
}

KX_API int32_t KXC_GetImgCutParams(int32_t params[6])
{
    return kordex::Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        if (!params) return 0;
        const kordex::FrameGeometry& g = Lib().settings.geometry;
        params[0] = g.cutLeft;
        params[1] = g.cutTop;
        params[2] = g.cutRight;
        params[3] = g.cutBottom;
        params[4] = g.rotation;
        params[5] = g.flip;
        return 1;
    });
}

KX_API int32_t KXC_SetImgCutParams(const int32_t params[6])
{
    return kordex::Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        if (!params) return 0;
        kordex::FrameGeometry g = Lib().settings.geometry;
        g.cutLeft = params[0];
        g.cutTop = params[1];
        g.cutRight = params[2];
        g.cutBottom = params[3];
        g.rotation = params[4];
        g.flip = params[5];
        return ApplyOrWarn(g, "cut parameters");
    });
}

KX_API int32_t KXC_GetCalibrationDirectory(char* buffer)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        if (!buffer) return 0;
        return static_cast<int32_t>(platform::CopyTruncated(buffer, kDirectoryBuffer, Lib().CalibrationDir())) + 1;
    });
}

KX_API int32_t KXC_SetCalibrationDirectory(const char* path)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        kordex::Library& lib = Lib();
        if (!path || !*path) {
            lib.calibrationDirOverride.clear();
            return 1;
        }
        // Room for the trailing "/" inside the 256-byte buffers of the callers.
        std::string dir = platform::Truncated(path, kDirectoryBuffer - 2);
        while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
        int code = 0;
        if (!platform::DirectoryExists(dir) && !platform::MakeDirectory(dir, &code)) {
            lib.log.Error(platform::Format("Can't create temporary calibration directory %s", dir.c_str()),
                          code, true);
            return 0;
        }
        lib.calibrationDirOverride = platform::WithTrailingSlash(dir);
        return 1;
    });
}

}  // extern "C"
