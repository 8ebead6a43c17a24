// The detector library as Tessari sees it: libkordex.so loaded at run time
// and the 38 exports Tessari binds by name.
//
// Search order: libkordex.so in the program's own directory (in the build
// tree, where programs live in bin/ and libraries in lib/, the "../lib"
// folder beside it counts as the own directory), else the bare name through
// the system search. Every one of the 38 names must be found, and the library
// must use 8-bit text like Tessari (KX_IsUnicode() == 0).
#pragma once

#include <cstdint>
#include <string>

#include "kordex.h"
#include "platform/dynamic_library.h"

namespace tessari {

inline constexpr const char* kLibraryFileName = "libkordex.so";
inline constexpr const char* kLoadErrorTitle = "X-ray detector library's load error";
inline constexpr const char* kCharsetMismatch = "UNICODE/MBCS does not match";

struct KordexApi {
    int32_t (*KX_IsUnicode)(void) = nullptr;
    int32_t (*KX_DialogH)(void*) = nullptr;
    void (*KX_LogOpen)(const char*, int32_t, const char*) = nullptr;
    void (*KX_LogMsg)(const char*) = nullptr;
    void (*KX_LogClose)(void) = nullptr;
    void (*KX_LogFlush)(void) = nullptr;
    int32_t (*KX_GetHomeDirectory)(char*) = nullptr;
    void (*KX_IniProfSetSection)(const char*) = nullptr;
    const char* (*KX_IniProfGetStr)(const char*, const char*) = nullptr;
    int32_t (*KXACQ_SetFrameDim)(int32_t, int32_t) = nullptr;
    int32_t (*KXACQ_GetFrameDim)(int32_t*, int32_t*) = nullptr;
    AcqStatus* (*KXACQ_Connect)(int32_t, KX_Callback, void*, int16_t*, int32_t) = nullptr;
    int32_t (*KXACQ_SendCommand)(int32_t, int32_t) = nullptr;
    int32_t (*KXACQ_SendCommandParam)(int32_t, int32_t, int32_t, int32_t) = nullptr;
    int32_t (*KXACQ_StartFrame)(AcqStatus*) = nullptr;
    int32_t (*KXACQ_VendorCommand)(AcqStatus*, int32_t, int32_t, int32_t) = nullptr;
    int32_t (*KXACQ_Abort)(AcqStatus*) = nullptr;
    void (*KXACQ_Close)(AcqStatus*) = nullptr;
    int32_t (*KXACQ_GetDetectorAddr)(char*) = nullptr;
    void (*KXACQ_SetDetectorAddr)(const char*) = nullptr;
    int32_t (*KXC_GetImageDim)(int32_t*, int32_t*) = nullptr;
    int16_t* (*KXC_CutImage)(const int16_t*, int16_t*) = nullptr;
    CalibrationJob* (*KXC_Process)(uint32_t, KX_Callback, void*, int16_t*) = nullptr;
    int32_t (*KXC_Abort)(CalibrationJob*) = nullptr;
    void (*KXC_Close)(CalibrationJob*) = nullptr;
    int32_t (*KXC_GetCalibrationDirectory)(char*) = nullptr;
    int32_t (*KXC_SetCalibrationDirectory)(const char*) = nullptr;
    int32_t (*KXC_GetImgCutParams)(int32_t*) = nullptr;
    int32_t (*KXC_SetImgCutParams)(const int32_t*) = nullptr;
    ProcessingJob* (*KXIP_Process)(int32_t, KX_Callback, void*, int16_t*, int32_t) = nullptr;
    int32_t (*KXIP_Abort)(ProcessingJob*) = nullptr;
    void (*KXIP_Close)(ProcessingJob*) = nullptr;
    // The get-image family: bound because the library must provide it, not
    // called (Tessari drives the three stages itself).
    void (*KX_Set_Acquisition)(int32_t, int16_t*, int32_t, KX_Callback, void*) = nullptr;
    void (*KX_Set_Calibration)(uint32_t, int16_t*, int16_t*, KX_Callback, void*) = nullptr;
    void (*KX_Set_ImgProcess)(int32_t, int16_t*, int32_t, KX_Callback, void*) = nullptr;
    int32_t (*KX_GetImage)(void*) = nullptr;
    int32_t (*KX_GetImageSP)(void*, int32_t, int32_t, int32_t, int32_t) = nullptr;
    int32_t (*KX_GetImageCancel)(void) = nullptr;
};

// The number of exports bound, in the order they are looked up.
inline constexpr int kBoundExportCount = 38;
const char* const* BoundExportNames();

enum class LoadResult { Ok, LoadFailed, ExportMissing, CharsetMismatch };

// The loaded library and its bound exports.
class KordexLibrary {
public:
    // The path tried for programDir (ending in "/"): the library file in that
    // directory, else in "../lib" beside it, when it exists there; else the
    // bare file name for the system search.
    static std::string CandidatePath(const std::string& programDir);

    // Loads and binds. On failure *errorText holds the box text: the file
    // name, a line break and the system's text ("#%d" with the code when
    // there is none); "Can't find exported function \"name\""; or
    // kCharsetMismatch. The library is unloaded again after a failure.
    LoadResult Load(const std::string& path, std::string* errorText);
    void Unload();

    const KordexApi& Api() const { return api_; }

private:
    platform::DynamicLibrary library_;
    KordexApi api_;
};

}  // namespace tessari
