/*
 * kordex.h -- the public C interface of the Kordex detector library.
 *
 * Kordex drives an intraoral X-ray sensor: it connects to the sensor, reads a
 * frame, calibrates it, cuts and rotates it into the delivered image and
 * enhances it. Callers use it only through the functions below, all with C
 * linkage and the prefixes KX_ (library services), KXACQ_ (acquisition),
 * KXC_ (calibration) and KXIP_ (image processing).
 *
 * Conventions
 * - Functions return 1 or 0, or a pointer or NULL. Nothing throws: a failure
 *   to get memory or a thread is logged ("ERR: <function> failed: ...") and
 *   the function returns its failure value.
 * - Text is UTF-8 (KX_IsUnicode() returns 0).
 * - Image and frame buffers belong to the caller, except the cut image that
 *   KXC_CutImage allocates when given no destination: release it with
 *   KX_Free.
 * - Pixels are 16-bit. Acquired frames hold 12-bit samples (0..4095) and
 *   0x8000 (-32768 as int16_t) where the read-out never delivered a pixel;
 *   calibration and processing treat samples as signed 16-bit values.
 * - Workers report through a status record owned by the library (valid from
 *   the start call to the close call) and the caller's callback, which runs
 *   on the worker thread. A callback that touches windows must post to its
 *   own thread.
 *
 * The library reads its settings from "kordex.ini" beside libkordex.so (or in
 * the parent directory, or the file named by the environment variable
 * KORDEX_INI) when it is loaded.
 */
#ifndef KORDEX_H
#define KORDEX_H

#include <stdint.h>

#if defined(__GNUC__)
#define KX_API __attribute__((visibility("default")))
#else
#define KX_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------
 * Status records and the callback
 * ------------------------------------------------------------------------ */

/* Report kinds of every status record: 0 information, 1 time-stamped
 * information, 2 error. Treat every kind above 1 as an error. */
enum {
    KX_REPORT_INFO = 0,
    KX_REPORT_TIMED = 1,
    KX_REPORT_ERROR = 2
};

/* Report events (codes): 1 aborted, 2 closed, 20 message, 21 start or
 * progress (0..100 while running, above 100 when done), 22 acquisition data
 * progress; a processing job's error reports carry -20. */
enum {
    KX_EVENT_ERROR = -20,
    KX_EVENT_ABORTED = 1,
    KX_EVENT_CLOSED = 2,
    KX_EVENT_MESSAGE = 20,
    KX_EVENT_PROGRESS = 21,
    KX_EVENT_DATA = 22
};

/* The callback of every activity. It receives the activity's status record
 * (AcqStatus*, CalibrationJob* or ProcessingJob*); its result is ignored. It runs on the
 * activity's worker thread (or one of its band threads), never two at once
 * for one activity, and must not block for long. */
typedef int32_t (*KX_Callback)(void* record);

/* The acquisition status record, also the acquisition handle. There is one
 * per library: an acquisition is exclusive. */
typedef struct AcqStatus {
    int32_t flags;        /* connect flags; bit 0 set = bright (X-ray) frame */
    int32_t kind;         /* kind of the last report (KX_REPORT_*) */
    int32_t event;        /* 1 aborted, 2 closed, 20 message, 21 frame started
                             or finished, 22 data progress */
    int32_t stage;        /* 0 abort/close, 1 connection, 3 read-out */
    char text[256];       /* text of the last report; empty for progress */
    int32_t width;        /* frame size at connect time */
    int32_t height;
    int16_t* frame;       /* caller's width x height buffer */
    int32_t lines;        /* highest end-of-line number seen + 1 */
    int32_t progress;     /* 0..100 while reading; 255 after a complete frame */
    KX_Callback callback; /* caller's callback; a consumer may set it to NULL
                             to stop further callbacks */
    void* context;        /* caller's context, returned untouched */
    int32_t state;        /* 0 running, 1 abort requested, -1 error reported */
    int32_t value;        /* an extra number of the report (0 here) */
} AcqStatus;

/* The calibration status record returned by KXC_Process. */
typedef struct CalibrationJob {
    uint32_t flags;       /* step bits given to KXC_Process */
    int32_t kind;         /* kind of the last report */
    int32_t code;         /* 20 step message, 21 milestone or progress,
                             1 abort, 2 closed */
    char text[256];       /* text of the last report ("" when none) */
    int32_t frameWidth;   /* sensor frame size at start */
    int32_t frameHeight;
    int32_t imageWidth;   /* cut and rotated image size at start */
    int32_t imageHeight;
    int32_t progress;     /* per cent of counted steps, 255 on success */
    int16_t* frame;       /* caller's frame; it receives the result when the worker ends */
    int32_t reserved;
    KX_Callback callback; /* caller's callback, may be NULL */
    void* context;        /* third argument of KXC_Process */
    int32_t abortWord;    /* 0; 1 after KXC_Abort; -1 after a step error */
    int32_t runningWord;  /* 1 running; -1 after an abort request; 0 ended */
    void* thread;         /* the worker (opaque) */
} CalibrationJob;

/* The processing status record returned by KXIP_Process. */
typedef struct ProcessingJob {
    int32_t flags;        /* stage bits of the job */
    int32_t kind;         /* kind of the last report */
    int32_t code;         /* 21 stage or progress, 20 log line, -20 error,
                             1 abort, 2 closed */
    char text[256];       /* latest report line */
    int32_t width;        /* cut image size at the time of the call */
    int32_t height;
    int32_t progress;     /* 0..100 while running, 255 on success */
    int32_t mode;         /* the mode number actually used */
    int16_t* image;       /* caller's image; it receives the result when the worker ends */
    KX_Callback callback; /* caller's callback, may be NULL */
    void* window;         /* caller's window (a QWidget*) or NULL */
    int32_t abortState;   /* 0 normal, 1 abort requested, -1 failed */
    int32_t runningState; /* 1 running, 0 finished, -1 after an abort report */
    void* thread;         /* the worker (opaque) */
} ProcessingJob;

#if defined(__cplusplus)
static_assert(sizeof(void*) != 8 || sizeof(AcqStatus) == 320, "AcqStatus layout");
static_assert(sizeof(void*) != 8 || sizeof(CalibrationJob) == 336, "CalibrationJob layout");
static_assert(sizeof(void*) != 8 || sizeof(ProcessingJob) == 328, "ProcessingJob layout");
#else
_Static_assert(sizeof(void*) != 8 || sizeof(AcqStatus) == 320, "AcqStatus layout");
_Static_assert(sizeof(void*) != 8 || sizeof(CalibrationJob) == 336, "CalibrationJob layout");
_Static_assert(sizeof(void*) != 8 || sizeof(ProcessingJob) == 328, "ProcessingJob layout");
#endif

/* ------------------------------------------------------------------------
 * Library services
 * ------------------------------------------------------------------------ */

/* 0: the text interface is 8-bit (UTF-8). A caller refuses a library whose
 * answer does not match its own text build. */
KX_API int32_t KX_IsUnicode(void);

/* Opens the log "<directory>/Log/<name>00.log", keeping earlier runs as
 * generations 01..<generations>. directory NULL = the home directory;
 * generations <= 0 = 10; name NULL = "". A second open while one is open
 * only writes an error line into the open log. */
KX_API void KX_LogOpen(const char* directory, int32_t generations, const char* name);
/* One line to the log file only (no prefix); a line whose first 40 bytes
 * repeat the previous line's is counted, not written. NULL = "". */
KX_API void KX_LogMsg(const char* text);
KX_API void KX_LogClose(void);
KX_API void KX_LogFlush(void);

/* Copies the home directory (with a trailing "/") into buffer, which holds at
 * least 256 bytes; returns its length + 1 (0 for a NULL buffer). */
KX_API int32_t KX_GetHomeDirectory(char* buffer);

/* Selects the section of the library's settings file that later
 * KX_IniProfGetStr calls read. */
KX_API void KX_IniProfSetSection(const char* section);
/* Reads key from the current section; a missing key is written with the
 * default (a lone backslash when the default is empty, the key name when the
 * default is NULL). Returns a 512-byte buffer owned by the library and
 * overwritten by the next call; never NULL. */
KX_API const char* KX_IniProfGetStr(const char* key, const char* defaultText);

/* Releases a buffer the library allocated for the caller (KXC_CutImage with
 * no destination). NULL is ignored. */
KX_API void KX_Free(void* buffer);

/* The service property sheet for engineers. Not part of this build: shows an
 * error box saying so (parent: a QWidget* or NULL) and returns the
 * settings-changed flag (0 unless set earlier). It first clears a
 * calibration-directory override set with KXC_SetCalibrationDirectory.
 * KX_Dialog() is KX_DialogH(NULL). */
KX_API int32_t KX_DialogH(void* parent);
KX_API int32_t KX_Dialog(void);

/* ------------------------------------------------------------------------
 * Acquisition
 * ------------------------------------------------------------------------ */

/* Sets the sensor frame size and re-derives the cut geometry. A size that
 * leaves no image or exceeds 16384 on a side is refused (the previous
 * geometry stays, a "WRN: " log line says why): returns 0, else 1. */
KX_API int32_t KXACQ_SetFrameDim(int32_t width, int32_t height);
/* The current frame size; either pointer may be NULL. Returns 1. */
KX_API int32_t KXACQ_GetFrameDim(int32_t* width, int32_t* height);

/* Copies the detector address (the sensor's USB product id as hexadecimal
 * text) into buffer, which holds at least 40 bytes; returns its length + 1. */
KX_API int32_t KXACQ_GetDetectorAddr(char* buffer);
/* Stores at most 39 characters of text as the detector address. */
KX_API void KXACQ_SetDetectorAddr(const char* text);
/* Always 0: the sensor keeps no offset-calibrated frame of its own. */
KX_API int32_t KXACQ_IsRecentFrameOfsCal(void);
/* Not supported: show the error box "Not implemented" and return 0. */
KX_API int32_t KXACQ_SendCommand(int32_t command, int32_t value);
KX_API int32_t KXACQ_SendCommandParam(int32_t command, int32_t value1, int32_t value2, int32_t value3);

/* Connects to the sensor and prepares it for one frame: finds the device
 * whose path carries the PID setting (as four hex digits), opens it and sets
 * up the reset voltage. flags bit 0 set = bright (X-ray) frame, clear = dark
 * frame. callback (may be NULL) receives the AcqStatus on every report, in
 * the reporting thread (the caller's thread during connect, the read-out
 * thread during the frame); context is stored untouched. frame: the caller's
 * FrameWidth x FrameHeight buffer that the read-out fills (it must stay valid
 * until KXACQ_Close). vResetOverride: reset voltage in units of 0.01 V; its
 * low 9 bits are used, 0 and 511 meaning the VReset setting.
 * Returns the acquisition handle (the library's AcqStatus, valid until
 * KXACQ_Close), or NULL after an error report: "Can't request class ..."
 * (no USB support), "PID2001 no interface #n (check connection)", "PID2001
 * wrong interface #n (check USB-drivers)", "Can't create file <path> (device
 * is used)" or a failed "vendor cmd ..." of the set-up (the acquisition is
 * then closed, with its close report). An acquisition still open is closed
 * first. The sensor link is USB, or the virtual sensor with SensorLink =
 * virtual (or KORDEX_SENSOR_LINK=virtual). */
KX_API AcqStatus* KXACQ_Connect(int32_t flags, KX_Callback callback, void* context, int16_t* frame,
                                int32_t vResetOverride);
/* Starts the frame: for a dark frame (and a bright one with Bright61) waits
 * 2000 ms and sends the start request, then starts the read-out thread,
 * which fills the frame with 0x8000 and reports: event 21 (start, progress
 * 0), event 22 after every received page (lines and progress 0..100), then
 * event 21 with progress 255 on a complete frame, or an error report
 * ("Time-out in read-out operation", "Premature EOF", "Transport stream
 * parsing code #n", each followed by " Read n words SOL=n"). A dark frame
 * whose first page does not come within the read time-out (15 s) fails with
 * "Time-out in read-out operation"; a bright frame waits for the X-ray shot
 * without limit. Before the completion, "WRN: frame delivered with n
 * undelivered pixels" names pixels still 0x8000, and "WRN: stream lines up to
 * n exceed the frame height h" a stream taller than the frame. The rows of the
 * frame are written as their pages arrive. Returns 1, or 0 for a handle that
 * is not the library's record, a failed start request or a read-out that
 * cannot be started ("Can't start the read-out: ..."). */
KX_API int32_t KXACQ_StartFrame(AcqStatus* handle);
/* Asks the running acquisition to stop: reports the error "Abort acquisition"
 * (event 1) and ends the read-out without a final report. Any thread may
 * call it. Returns 1. */
KX_API int32_t KXACQ_Abort(AcqStatus* handle);
/* Ends the acquisition (always call it, also after errors and aborts; NULL
 * is ignored): waits up to 3000 ms for the read-out; when it ended with a
 * delivered frame and no error was reported, keeps the frame as
 * "$a_rawdark.raw"/"$a_rawbright.raw" in the calibration directory
 * (SaveTempAcqFrame) and in the log folder (LogAcqFramesNumDark/Bright, at
 * most 99 generations); closes the device and reports event 2 "Acquisition
 * closed" (or "WRN: Acquisition closed by timeout"). After the return the
 * library neither writes the caller's frame nor calls the callback for this
 * acquisition, even when a read-out left running after a time-out goes on
 * until its next check. */
KX_API void KXACQ_Close(AcqStatus* handle);
/* Sends one vendor request (request code, value, index) to the open sensor;
 * handle is ignored. Returns 1, or 0 after the error report
 * "vendor cmd <request>,<value>,<index>" (no device open, or the device
 * refused it). */
KX_API int32_t KXACQ_VendorCommand(AcqStatus* handle, int32_t request, int32_t value, int32_t index);

/* ------------------------------------------------------------------------
 * Geometry and calibration directory
 * ------------------------------------------------------------------------ */

/* The cut image size (after cut margins and rotation); either pointer may be
 * NULL. Returns 1 when it differs from the frame size, else 0. */
KX_API int32_t KXC_GetImageDim(int32_t* cutWidth, int32_t* cutHeight);
/* Cuts, rotates and flips a frame (frame width x height) into destination
 * (cut width x cut height). With destination NULL a buffer is allocated and
 * returned: release it with KX_Free. The frame is left unchanged. Returns
 * NULL when frame is NULL or the allocation fails. */
KX_API int16_t* KXC_CutImage(const int16_t* frame, int16_t* destination);
/* params receives cut left, top, right, bottom, rotation, flip. Returns 1. */
KX_API int32_t KXC_GetImgCutParams(int32_t params[6]);
/* Sets the same six values and re-derives the geometry. Values that leave no
 * image (or negative margins) are refused as in KXACQ_SetFrameDim: 0. */
KX_API int32_t KXC_SetImgCutParams(const int32_t params[6]);
/* Copies the calibration directory (with a trailing "/") into buffer, which
 * holds at least 256 bytes; returns its length + 1. */
KX_API int32_t KXC_GetCalibrationDirectory(char* buffer);
/* NULL or "" returns to the default "<home>/CAL/"; else stores the path and
 * creates the directory when it does not exist. On failure reports "Can't
 * create temporary calibration directory %s" with the system error and an
 * error box and returns 0; else 1. */
KX_API int32_t KXC_SetCalibrationDirectory(const char* path);

/* Calibration of one frame on a worker thread of its own. The worker
 * calibrates a copy of the frame taken in this call and writes the result
 * back into the caller's frame when it ends (before "Calibration done"); after
 * KXC_Close has returned the library never touches the frame again, even when
 * the close timed out.
 *
 * flags: bit 0 offset (subtracts "dark.raw"), bit 1 gain (the points
 * "A??_?????.raw"), bit 2 bad-pixel correction ("BPM.raw", "BPMM.raw"), bit 3
 * standalone despeckle, all from the calibration directory; bit 30 allows
 * the hardware-dark offset; bit 31 sends the step dumps (SaveTempCalFrames)
 * cut and rotated to the image folder. The saturation replacement runs
 * whenever Cal_RepValue differs from Cal_SatValue, and outline pixels of a
 * sensor with cut corners become 0.
 * callback: called with the CalibrationJob on every report, on the worker
 * thread (or a band thread), never twice at once; may be NULL. Reports: kind
 * 0/1 information, 2 error; code 21 start, progress (no text; progress holds
 * the per cent of the steps 0..100) and "Calibration done" (progress 255),
 * 20 step messages, 1 "Abort calibration", 2 closed.
 * context: kept in the record for the caller.
 * frame: the caller's FrameWidth x FrameHeight frame of signed 16-bit pixels;
 * it must stay valid until KXC_Close returns.
 * Returns the job record (owned by the library until KXC_Close), or NULL when
 * frame is NULL or the worker cannot be started (an error line is logged). */
KX_API CalibrationJob* KXC_Process(uint32_t flags, KX_Callback callback, void* context, int16_t* frame);
/* Asks the job to stop at its next step or row; reports "Abort calibration"
 * while it runs. Returns 0 for NULL (or a record that is not a job), else 1. */
KX_API int32_t KXC_Abort(CalibrationJob* job);
/* Waits up to 2000 ms for the worker, reports "Calibration closed" (or
 * "WRN: Calibration closed by time-out", after which the worker is told to
 * stop and no report reaches the caller any more) and releases the record.
 * NULL is ignored. */
KX_API void KXC_Close(CalibrationJob* job);

/* ------------------------------------------------------------------------
 * Image processing
 * ------------------------------------------------------------------------ */

/* Turns a calibrated, cut image into the finished radiograph on a worker
 * thread of its own, under a numbered processing mode (the settings section
 * "IP<mode>"). The worker processes a copy of the image taken in this call and
 * writes the result back into the caller's image when it ends (before "IP
 * done"); after KXIP_Close has returned the library never touches the image
 * again, even when the close timed out.
 * flags: 1 despeckle, 2 grey-scale remap, 4 unsharp mask; the equalisation
 *   and final contrast always run (flags 0 runs only them). Ignored by the
 *   auxiliary modes (300 and above).
 * callback: called with the ProcessingJob on every report, on the worker
 *   thread (never two at once); may be NULL. Reports: "IP start ..." and
 *   "IP done" (code 21, progress 255 at the end), stage lines (code 20),
 *   progress refreshes (code 21, progress 0..100), errors (kind 2).
 * window: the caller's window (a QWidget*) or NULL; stored in the record.
 * image: the caller's cut-size image (see KXC_GetImageDim), signed 16-bit,
 *   owned by the caller; it must stay valid until KXIP_Close returns.
 * mode: 0 = the setting IPDefaultModeNumber; 1..299 the standard chain;
 *   300 and above run one auxiliary processor instead of the standard chain:
 *     300..399  the internal auxiliary chain (inversion, truncation, 5x5
 *               despeckle, directional smoothing, median shift, adaptive
 *               and plain unsharp masks, equalisation, gamma); result
 *               0..4095;
 *     400..499  Calpost's PostPrc, loaded for each job from libcalpost.so
 *               beside this library, else in the home directory, else by
 *               the system's library search; result 0..32767;
 *     500..     Toneforge's ImgProc_IntraOral (linked); result 0..4095.
 *   A negative mode is refused with an error log line.
 *   An auxiliary job reports (kind, code): (1, 21) "Aux IP [IP<n>] started",
 *   (0, 20) "Mode name: <caption>", then (1, 21) "Aux IP done" with progress
 *   255 -- or one error (2, -20): "Aux IP [IP<n>] does not exist" (the
 *   section has no Caption), "Aux IP can't load <path>" (the path tried),
 *   "Aux IP can't find procedure PostPrc in the DLL" or "Aux IP internal
 *   fault". The cut-off corners of a sensor with Descramble 3 are filled
 *   smoothly for the processor and set to 0 after a success.
 * Returns the job record, owned by the library until KXIP_Close, or NULL
 * (no image, a refused mode, or no thread could be started; logged). */
KX_API ProcessingJob* KXIP_Process(int32_t flags, KX_Callback callback, void* window, int16_t* image, int32_t mode);
/* Requests the abort: 0 for NULL (or an unknown record), else 1. While the
 * worker runs it reports "Abort IP" (kind 2, code 1); an aborted auxiliary
 * job ends without "Aux IP done". Any thread. */
KX_API int32_t KXIP_Abort(ProcessingJob* job);
/* Waits for the worker -- up to 4000 ms for a standard job, 5000 ms for an
 * auxiliary one (mode 300 and above) -- and reports, with code 2, "IP
 * closed" or "WRN: IP closed by timeout" (auxiliary: "Aux IP closed" or
 * "WRN: Aux IP closed by timeout"). After a time-out the worker is told to
 * stop and its later reports are dropped. Frees the record. NULL is ignored.
 * Must not be called from the job's own callback. */
KX_API void KXIP_Close(ProcessingJob* job);

/* ------------------------------------------------------------------------
 * Get-image sequence
 *
 * The one-call radiograph: store the three stages, then call KX_GetImage,
 * KX_GetImageSP or KX_GetImageA. The library shows a modal window that runs
 * acquisition -> calibration -> processing on the caller's buffers (a stage
 * whose buffer is NULL is skipped; a failed stage ends the sequence), shows
 * progress and lets the user cancel. It returns 1 when every stage succeeded,
 * 2 when one failed or the user cancelled. After a failure that was not a
 * cancel, the first error text is shown in an error box titled "IntraOral
 * Detector" (owned by the parent window when one is given).
 *
 * Buffers stay the caller's: they must stay valid until the get-image call
 * returns. The stored stages stay in the library until changed (they are
 * copied when a window starts). Callbacks run on the activities' worker
 * threads (the acquisition's also in the calling thread while it connects),
 * exactly as with KXACQ_Connect, KXC_Process and KXIP_Process; the window
 * sees every report first.
 *
 * Windows: parent is a QWidget* or NULL. The window runs in the calling
 * thread. A host with a QApplication must call from that application's
 * thread; a host without one gets a QApplication created for the call (the
 * offscreen platform when neither DISPLAY nor WAYLAND_DISPLAY is set). Only
 * one get-image window runs at a time: a second call while one runs returns
 * 2 at once with an error log line.
 * ------------------------------------------------------------------------ */

/* Stores the acquisition stage: flags as for KXACQ_Connect (bit 0 bright
 * frame; bit 1 or bit 2 set: the preview window locks Cancel once image data
 * arrives), the FrameWidth x FrameHeight frame buffer (NULL skips the stage),
 * a reserved value, the callback and its context. */
KX_API void KX_Set_Acquisition(int32_t flags, int16_t* frame, int32_t reserved, KX_Callback callback, void* context);
/* Stores the calibration stage: flags as for KXC_Process, the frame-sized
 * image calibrated in place (NULL skips the stage; normally the acquisition's
 * frame buffer), the cut-image buffer (cut width x cut height, see
 * KXC_GetImageDim; NULL = no cut) that receives the calibrated image cut,
 * turned and mirrored, the callback and its context. */
KX_API void KX_Set_Calibration(uint32_t flags, int16_t* image, int16_t* cutImage, KX_Callback callback,
                               void* context);
/* Stores the processing stage: flags as for KXIP_Process, the cut-size image
 * processed in place (NULL skips the stage), the processing mode (0 =
 * IPDefaultModeNumber), the callback and a context handed to KXIP_Process as
 * its window argument. */
KX_API void KX_Set_ImgProcess(int32_t flags, int16_t* image, int32_t mode, KX_Callback callback, void* context);

/* KX_GetImageSP(parent, 0, 0, 0, 0): the preview window as a dialog at the
 * screen position (0, 0). */
KX_API int32_t KX_GetImage(void* parent);
/* The preview window, which draws the frame line by line as it arrives.
 * With x >= 0, y >= 0, width > 0 and height > 0 it is embedded: borderless,
 * at that rectangle (in the parent's coordinates when a parent is given,
 * else on the screen), the preview filling it, without controls. Otherwise
 * it is a dialog with the preview, the value boxes "3% Min", "3% Max",
 * "Rows", a progress bar and Cancel, moved to the screen position (x, y)
 * when both are 0 or more. Returns 1 or 2. */
KX_API int32_t KX_GetImageSP(void* parent, int32_t x, int32_t y, int32_t width, int32_t height);
/* The banner window: large state texts, no controls. With x <= 0 and
 * y <= 0 it is centred on the parent (or the screen); otherwise placed at
 * the screen position (x, y). Dragging moves it; a double click asks "Do you
 * want to cancel?"; Escape cancels. Returns 1 or 2. */
KX_API int32_t KX_GetImageA(void* parent, int32_t x, int32_t y);
/* Asks the running get-image window to cancel (any thread): returns 1 when a
 * request was posted, 0 when no window runs. The window aborts its running
 * stage and returns 2 without an error box. */
KX_API int32_t KX_GetImageCancel(void);

#ifdef __cplusplus
}
#endif

#endif /* KORDEX_H */
