/*
 * kordex-grab: takes one dark or bright frame from the sensor and writes it
 * as a raw file -- the quickest way to check that a sensor works.
 *
 *   kordex-grab [--bright] [--vreset N] [--log DIR] [--] OUTPUT.raw
 *   kordex-grab --help | --version
 *
 * It uses the public exports of libkordex.so only, exactly as an imaging
 * program would: KXACQ_Connect, KXACQ_StartFrame, KXACQ_Close (and
 * KXACQ_Abort on Ctrl-C). Every report of the library is printed on standard
 * error. The file holds FrameWidth x FrameHeight 16-bit little-endian
 * samples, as the sensor delivered them (before calibration). A bright frame
 * waits for the X-ray shot without limit; Ctrl-C aborts.
 *
 * Order of work: --help and --version are answered before anything else (no
 * export is called, so the library does not start and no sensor is
 * touched); then the arguments are checked, then the log directory and the
 * output are checked and the output opened, and only then is the sensor armed -- a shot is never wasted on a file that
 * cannot be written. A regular output file is written under a temporary name
 * in its directory and renamed into place when every byte is on disk, so a
 * failed or aborted run leaves an existing file as it was and no partial
 * frame. Other outputs (a device, a pipe) are opened as they are and
 * written directly. A frame of the virtual sensor is marked as simulated on
 * standard error.
 *
 * Exit status: 0 frame written; 1 acquisition failed or aborted, or the
 * output could not be opened or fully written; 2 wrong arguments (nothing
 * was done).
 */
#define _POSIX_C_SOURCE 200809L

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "kordex.h"

#ifndef KORDEX_TOOLS_VERSION
#error "KORDEX_TOOLS_VERSION (the project's four-part version) must be defined by the build"
#endif

#define PROGRAM "kordex-grab"

/* Exit status. */
enum {
    kExitWritten = 0,
    kExitFailed = 1, /* acquisition failed or aborted, or the output was not written */
    kExitUsage = 2   /* wrong arguments */
};

/* The range of --vreset: the nine bits the library uses; 0 and 511 mean the
 * VReset setting. */
enum { kVResetMin = 0, kVResetMax = 511 };

static const char kSynopsis[] =
    "usage: kordex-grab [--bright] [--vreset N] [--log DIR] [--] OUTPUT.raw\n"
    "       kordex-grab --help | --version\n";

static const char kHelp[] =
    "\n"
    "Takes one frame from the sensor through libkordex.so and writes it to OUTPUT.raw:\n"
    "FrameWidth x FrameHeight 16-bit little-endian samples as the sensor delivered\n"
    "them (before calibration). Every library report is printed on standard error.\n"
    "\n"
    "options:\n"
    "  --bright      a bright (X-ray) frame: waits for the shot; Ctrl-C aborts\n"
    "                (default: a dark frame)\n"
    "  --vreset N    reset voltage in units of 0.01 V for this frame (0..511;\n"
    "                0 and 511 use the VReset setting; default 0)\n"
    "  --log DIR     write the library's log to DIR/Log/kordex-grab00.log (DIR\n"
    "                must be a writable directory)\n"
    "  --            ends the options (for an output name that begins with -)\n"
    "  -h, --help    print this text and exit\n"
    "  --version     print the program's name and version and exit\n"
    "\n"
    "The output is opened before the sensor is armed. A regular file is replaced\n"
    "only by a complete frame. With the virtual sensor (SensorLink=virtual or\n"
    "KORDEX_SENSOR_LINK=virtual) the frame is simulated, and standard error says so.\n"
    "\n"
    "exit status:\n"
    "  0  frame written\n"
    "  1  acquisition failed or aborted, or the output could not be written\n"
    "  2  wrong arguments; nothing was done\n";

static const char kSimulatedText[] = "the frame comes from the virtual sensor: simulated, not a patient image";

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

static int Usage(const char* format, ...) __attribute__((format(printf, 1, 2)));

/* The problem, then the synopsis, on standard error. */
static int Usage(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    fputs(PROGRAM ": ", stderr);
    vfprintf(stderr, format, arguments);
    va_end(arguments);
    fprintf(stderr, "\n%s", kSynopsis);
    return kExitUsage;
}

/* --help and --version anywhere before a "--" win over everything else.
 * Returns the exit status, or -1 when neither is given. */
static int Informational(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--") == 0) break;
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            printf("%s%s", kSynopsis, kHelp);
            return kExitWritten;
        }
        if (strcmp(argv[i], "--version") == 0) {
            printf("%s %s\n", PROGRAM, KORDEX_TOOLS_VERSION);
            return kExitWritten;
        }
    }
    return -1;
}

/* A whole decimal number in min..max, nothing before or after it. */
static int ParseNumber(const char* text, long min, long max, int32_t* value)
{
    char* end = NULL;
    errno = 0;
    const long v = strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || v < min || v > max) return 0;
    *value = (int32_t)v;
    return 1;
}

/* The output file: opened before the sensor is armed. */
typedef struct Output {
    const char* path;
    char* temporary; /* the file written, renamed to path at the end; NULL when written directly */
    int fd;
} Output;

/* Opens the output, or prints why not. A path that exists as something other
 * than a regular file (a device, a pipe, a link) is opened as it is. Anything
 * else gets a temporary file beside it, which also proves the directory is
 * writable. */
static int OpenOutput(Output* out, const char* path)
{
    out->path = path;
    out->temporary = NULL;
    out->fd = -1;
    struct stat info;
    const int exists = lstat(path, &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
        out->fd = open(path, O_WRONLY | O_CLOEXEC);
    } else if (exists && access(path, W_OK) != 0) {
        out->fd = -1; /* a read-only file is not replaced behind its owner's back */
    } else {
        const char* slash = strrchr(path, '/');
        const size_t dirLength = slash ? (size_t)(slash - path) + 1 : 0;
        const char* name = slash ? slash + 1 : path;
        out->temporary = malloc(dirLength + strlen(name) + 9);
        if (out->temporary == NULL) {
            fprintf(stderr, PROGRAM ": no memory\n");
            return 0;
        }
        sprintf(out->temporary, "%.*s.%s.XXXXXX", (int)dirLength, path, name);
        out->fd = mkstemp(out->temporary);
        if (out->fd >= 0) {
            /* mkstemp makes the file private; the frame keeps the mode of the
             * file it replaces, or gets the usual one. */
            const mode_t mask = umask(0);
            umask(mask);
            fchmod(out->fd, exists ? info.st_mode & 07777 : 0666 & ~mask);
        }
    }
    if (out->fd < 0) {
        const int error = errno;
        free(out->temporary);
        out->temporary = NULL;
        fprintf(stderr, PROGRAM ": can't create %s: %s\n", path, strerror(error));
        return 0;
    }
    return 1;
}

/* Closes the output without a frame: the temporary file goes, an existing
 * file stays as it was. */
static void DiscardOutput(Output* out)
{
    if (out->fd >= 0) close(out->fd);
    out->fd = -1;
    if (out->temporary != NULL) {
        unlink(out->temporary);
        free(out->temporary);
        out->temporary = NULL;
    }
}

/* Writes all bytes; 0 with errno set on failure (ENOSPC for a write that
 * stops short without a reason). */
static int WriteAll(int fd, const unsigned char* bytes, size_t count)
{
    while (count > 0) {
        const ssize_t n = write(fd, bytes, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return 0;
        }
        bytes += n;
        count -= (size_t)n;
    }
    return 1;
}

/* Writes the frame and puts it in place, or prints why not (and discards
 * the output). Samples are written little-endian, whatever the host. */
static int WriteOutput(Output* out, const int16_t* frame, size_t pixels)
{
    unsigned char* bytes = malloc(pixels * 2);
    if (bytes == NULL) {
        fprintf(stderr, PROGRAM ": no memory to write %s\n", out->path);
        DiscardOutput(out);
        return 0;
    }
    for (size_t i = 0; i < pixels; ++i) {
        const uint16_t v = (uint16_t)frame[i];
        bytes[2 * i] = (unsigned char)(v & 0xFF);
        bytes[2 * i + 1] = (unsigned char)(v >> 8);
    }
    int error = 0;
    struct stat info;
    if (fstat(out->fd, &info) != 0) error = errno;
    /* A link to a regular file is written through: cut what it held. */
    if (!error && out->temporary == NULL && S_ISREG(info.st_mode) && ftruncate(out->fd, 0) != 0) error = errno;
    if (!error && !WriteAll(out->fd, bytes, pixels * 2)) error = errno;
    if (!error && S_ISREG(info.st_mode) && fsync(out->fd) != 0) error = errno;
    free(bytes);
    if (close(out->fd) != 0 && !error) error = errno;
    out->fd = -1;
    if (!error && out->temporary != NULL && rename(out->temporary, out->path) != 0) error = errno;
    if (error) {
        fprintf(stderr, PROGRAM ": can't write %s: %s\n", out->path, strerror(error));
        DiscardOutput(out);
        return 0;
    }
    free(out->temporary);
    out->temporary = NULL;
    return 1;
}

/* Whether the library takes its frames from the virtual sensor: the
 * environment variable KORDEX_SENSOR_LINK when set, else the setting
 * SensorLink of [Settings] -- the library's own rule. */
static int VirtualSensor(void)
{
    const char* link = getenv("KORDEX_SENSOR_LINK");
    if (link == NULL || link[0] == '\0') {
        KX_IniProfSetSection("Settings");
        link = KX_IniProfGetStr("SensorLink", "usb");
    }
    while (*link == ' ' || *link == '\t') ++link;
    return strncasecmp(link, "virtual", 7) == 0 && (link[7] == '\0' || link[7] == ' ' || link[7] == '\t');
}

int main(int argc, char** argv)
{
    const int informational = Informational(argc, argv);
    if (informational >= 0) return informational;

    int32_t flags = 0;
    int32_t vReset = 0;
    const char* logDir = NULL;
    const char* output = NULL;
    int options = 1;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (options && strcmp(arg, "--") == 0) {
            options = 0;
        } else if (options && strcmp(arg, "--bright") == 0) {
            flags |= 1;
        } else if (options && strcmp(arg, "--vreset") == 0) {
            if (i + 1 >= argc) return Usage("%s needs a number", arg);
            if (!ParseNumber(argv[++i], kVResetMin, kVResetMax, &vReset))
                return Usage("--vreset: \"%s\" is not a whole number from %d to %d", argv[i], kVResetMin, kVResetMax);
        } else if (options && strcmp(arg, "--log") == 0) {
            if (i + 1 >= argc) return Usage("%s needs a directory", arg);
            logDir = argv[++i];
        } else if (options && arg[0] == '-' && arg[1] != '\0') {
            return Usage("unknown option \"%s\"", arg);
        } else if (output != NULL) {
            return Usage("one output file only: \"%s\" is one too many", arg);
        } else {
            output = arg;
        }
    }
    if (output == NULL) return Usage("no output file given");

    /* The library would skip a log it cannot create without a word. */
    if (logDir != NULL) {
        struct stat info;
        int error = 0;
        if (stat(logDir, &info) != 0) error = errno;
        else if (!S_ISDIR(info.st_mode)) error = ENOTDIR;
        else if (access(logDir, W_OK | X_OK) != 0) error = errno;
        if (error != 0) {
            fprintf(stderr, PROGRAM ": can't open the log in %s: %s\n", logDir, strerror(error));
            return kExitFailed;
        }
    }
    Output out;
    if (!OpenOutput(&out, output)) return kExitFailed;

    int32_t width = 0, height = 0;
    KXACQ_GetFrameDim(&width, &height);
    const size_t pixels = (size_t)width * (size_t)height;
    int16_t* frame = (int16_t*)calloc(pixels, sizeof(int16_t));
    if (frame == NULL) {
        fprintf(stderr, PROGRAM ": no memory for a %d x %d frame\n", width, height);
        DiscardOutput(&out);
        return kExitFailed;
    }
    signal(SIGINT, OnInterrupt);
    if (logDir != NULL) KX_LogOpen(logDir, 0, PROGRAM);

    int result = kExitFailed;
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
        if (atomic_load(&finished) == 1) result = kExitWritten;
    }
    KXACQ_Close(acquisition);
    if (logDir != NULL) KX_LogClose();

    if (result == kExitWritten) {
        if (VirtualSensor()) fprintf(stderr, PROGRAM ": %s\n", kSimulatedText);
        if (WriteOutput(&out, frame, pixels))
            fprintf(stderr, "%s: %d x %d frame written\n", output, width, height);
        else
            result = kExitFailed;
    } else {
        DiscardOutput(&out);
    }
    free(frame);
    return result;
}
