/*
 * kordex-grab: takes one dark or bright frame from the sensor and writes it
 * as a raw file -- the quickest way to check that a sensor works.
 *
 *   kordex-grab [--bright] [--vreset N] [--log DIR] OUTPUT.raw
 *
 * It uses the public exports of libkordex.so only, exactly as an imaging
 * program would: KXACQ_Connect, KXACQ_StartFrame, KXACQ_Close (and
 * KXACQ_Abort on Ctrl-C). Every report of the library is printed on standard
 * error. The file holds FrameWidth x FrameHeight 16-bit little-endian
 * samples, as the sensor delivered them (before calibration). A bright frame
 * waits for the X-ray shot without limit; Ctrl-C aborts.
 *
 * Exit status: 0 frame written, 1 acquisition failed or aborted, 2 usage or
 * file error.
 */
#include <signal.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "kordex.h"

static atomic_int finished;    /* 1 complete frame, -1 error */
static atomic_int interrupted; /* set by Ctrl-C */

static int32_t OnReport(void* record)
{
    const AcqStatus* s = (const AcqStatus*)record;
    if (s->text[0] != '\0') fprintf(stderr, "%s\n", s->text);
    if (s->kind >= KX_REPORT_ERROR) atomic_store(&finished, -1);
    else if (s->event == KX_EVENT_PROGRESS && s->progress > 100) atomic_store(&finished, 1);
    return 0;
}

static void OnInterrupt(int signal_number)
{
    (void)signal_number;
    atomic_store(&interrupted, 1);
}

static int Usage(void)
{
    fprintf(stderr, "usage: kordex-grab [--bright] [--vreset N] [--log DIR] OUTPUT.raw\n");
    return 2;
}

int main(int argc, char** argv)
{
    int32_t flags = 0;
    int32_t vReset = 0;
    const char* logDir = NULL;
    const char* output = NULL;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--bright") == 0) {
            flags |= 1;
        } else if (strcmp(argv[i], "--vreset") == 0 && i + 1 < argc) {
            vReset = (int32_t)strtol(argv[++i], NULL, 10);
        } else if (strcmp(argv[i], "--log") == 0 && i + 1 < argc) {
            logDir = argv[++i];
        } else if (argv[i][0] == '-' || output != NULL) {
            return Usage();
        } else {
            output = argv[i];
        }
    }
    if (output == NULL) return Usage();

    int32_t width = 0, height = 0;
    KXACQ_GetFrameDim(&width, &height);
    const size_t pixels = (size_t)width * (size_t)height;
    int16_t* frame = (int16_t*)calloc(pixels, sizeof(int16_t));
    if (frame == NULL) {
        fprintf(stderr, "kordex-grab: no memory for a %d x %d frame\n", width, height);
        return 2;
    }
    signal(SIGINT, OnInterrupt);
    if (logDir != NULL) KX_LogOpen(logDir, 0, "kordex-grab");

    int result = 1;
    AcqStatus* acquisition = KXACQ_Connect(flags, OnReport, NULL, frame, vReset);
    if (acquisition != NULL && KXACQ_StartFrame(acquisition)) {
        if (flags & 1) fprintf(stderr, "waiting for the X-ray shot (Ctrl-C aborts)\n");
        const struct timespec tick = {0, 10 * 1000 * 1000};
        while (atomic_load(&finished) == 0) {
            if (atomic_load(&interrupted)) {
                KXACQ_Abort(acquisition);
                break;
            }
            nanosleep(&tick, NULL);
        }
        if (atomic_load(&finished) == 1) result = 0;
    }
    KXACQ_Close(acquisition);
    if (logDir != NULL) KX_LogClose();

    if (result == 0) {
        FILE* file = fopen(output, "wb");
        /* Samples are written little-endian, whatever the host. */
        for (size_t i = 0; file != NULL && i < pixels; ++i) {
            const uint16_t v = (uint16_t)frame[i];
            const unsigned char bytes[2] = {(unsigned char)(v & 0xFF), (unsigned char)(v >> 8)};
            if (fwrite(bytes, 1, 2, file) != 2) break;
        }
        if (file == NULL || fclose(file) != 0) {
            fprintf(stderr, "kordex-grab: can't write %s\n", output);
            result = 2;
        } else {
            fprintf(stderr, "%s: %d x %d frame written\n", output, width, height);
        }
    }
    free(frame);
    return result;
}
