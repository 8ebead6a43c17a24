/*
 * kordex_example: loads libkordex.so at run time, the way an imaging
 * application does, and asks it about its geometry and directories.
 *
 *   kordex_example [path-to-libkordex.so]
 *
 * Without an argument the library is looked for beside the program, then in
 * ../lib, then by the system search.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <libgen.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "kordex.h"

#define BIND(handle, name) ((void)(*(void**)(&name##_fn) = dlsym(handle, #name)), name##_fn != NULL)

static int32_t (*KX_IsUnicode_fn)(void);
static int32_t (*KX_GetHomeDirectory_fn)(char*);
static void (*KX_LogOpen_fn)(const char*, int32_t, const char*);
static void (*KX_LogMsg_fn)(const char*);
static void (*KX_LogClose_fn)(void);
static int32_t (*KXACQ_GetFrameDim_fn)(int32_t*, int32_t*);
static int32_t (*KXC_GetImageDim_fn)(int32_t*, int32_t*);
static int32_t (*KXC_GetCalibrationDirectory_fn)(char*);
static int16_t* (*KXC_CutImage_fn)(const int16_t*, int16_t*);
static void (*KX_Free_fn)(void*);

static void* load_library(const char* explicit_path)
{
    char self[PATH_MAX];
    char candidate[PATH_MAX + 32];
    void* handle;
    ssize_t n;

    if (explicit_path) return dlopen(explicit_path, RTLD_NOW);
    n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        self[n] = '\0';
        snprintf(candidate, sizeof candidate, "%s/libkordex.so", dirname(self));
        if ((handle = dlopen(candidate, RTLD_NOW)) != NULL) return handle;
        snprintf(candidate, sizeof candidate, "%s/../lib/libkordex.so", self);
        if ((handle = dlopen(candidate, RTLD_NOW)) != NULL) return handle;
    }
    return dlopen("libkordex.so", RTLD_NOW);
}

int main(int argc, char** argv)
{
    char home[256], cal[256];
    int32_t width = 0, height = 0, cutWidth = 0, cutHeight = 0;
    int16_t* frame;
    int16_t* image;
    void* lib = load_library(argc > 1 ? argv[1] : NULL);

    if (!lib) {
        fprintf(stderr, "can't load libkordex.so: %s\n", dlerror());
        return 1;
    }
    if (!BIND(lib, KX_IsUnicode) || !BIND(lib, KX_GetHomeDirectory) || !BIND(lib, KX_LogOpen) ||
        !BIND(lib, KX_LogMsg) || !BIND(lib, KX_LogClose) || !BIND(lib, KXACQ_GetFrameDim) ||
        !BIND(lib, KXC_GetImageDim) || !BIND(lib, KXC_GetCalibrationDirectory) ||
        !BIND(lib, KXC_CutImage) || !BIND(lib, KX_Free)) {
        fprintf(stderr, "libkordex.so lacks an export: %s\n", dlerror());
        return 1;
    }
    if (KX_IsUnicode_fn() != 0) {
        fprintf(stderr, "libkordex.so has the wrong text width\n");
        return 1;
    }

    KX_GetHomeDirectory_fn(home);
    KXC_GetCalibrationDirectory_fn(cal);
    KXACQ_GetFrameDim_fn(&width, &height);
    KXC_GetImageDim_fn(&cutWidth, &cutHeight);
    printf("home directory:        %s\n", home);
    printf("calibration directory: %s\n", cal);
    printf("sensor frame:          %d x %d\n", width, height);
    printf("delivered image:       %d x %d\n", cutWidth, cutHeight);

    /* A frame whose pixels count up; the cut turns and mirrors it. */
    frame = malloc((size_t)width * (size_t)height * sizeof *frame);
    if (!frame) return 1;
    for (int32_t i = 0; i < width * height; ++i) frame[i] = (int16_t)(i % 4096);
    image = KXC_CutImage_fn(frame, NULL);
    if (!image) return 1;
    printf("frame (0,0) = %d becomes image (%d,%d) = %d\n", frame[0], cutWidth - 1,
           cutHeight - 1, image[(size_t)cutWidth * (size_t)cutHeight - 1]);

    KX_LogOpen_fn(NULL, 0, "example");
    KX_LogMsg_fn("kordex_example ran");
    KX_LogClose_fn();
    printf("log written:           %sLog/example00.log\n", home);

    KX_Free_fn(image);
    free(frame);
    dlclose(lib);
    return 0;
}
