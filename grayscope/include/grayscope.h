/* Grayscope: the 16-bit raw image viewer library (libgrayscope.so).
 *
 * A host opens viewer windows ("views") on a folder of headerless 16-bit raw
 * frames, tells the library where the detector's bad-pixel maps are, and the
 * user browses frames, reads grey values, histograms and profiles, exports
 * 8-bit bitmaps and edits the manual bad-pixel mask.
 *
 * Threads: every export is called on the host's user-interface thread (the
 * thread of its QApplication). When no QApplication exists yet, the first
 * view creates one in the calling thread. Nothing throws out of an export.
 *
 * Draw modes of a view (context menu): "Halftone" scales smoothly, "Fast"
 * drops rows and columns; "keeps Black" and "keeps White" give every screen
 * pixel the smallest or largest 8-bit level of the block of image pixels it
 * covers (the viewer computes this min/max reduction itself, rows first, then
 * columns), so a one-pixel dark or bright line stays visible when the image
 * is scaled down.
 *
 * Settings: the viewer keeps its own INI file beside the host program (the
 * program's path with the file name lower-cased and its extension replaced by
 * ".ini"; for a program called "rundll32" the library's own path is used).
 *
 * Host protocol for a modeless view:
 *  1. Fill a ViewDescriptor (modal 0, frame width and height, a directory
 *     plus "*.raw" as mask, the host's QWidget* as parent) and call
 *     GSC_CreateView; it returns the view handle.
 *  2. Optionally forward key presses of the application to
 *     GSC_PreTranslateMessage (for example from an application event filter)
 *     and consume the event when it returns 1. Without forwarding, the views
 *     still handle their function keys themselves.
 *  3. When the user closes the view (OK / Cancel), the view does not destroy
 *     itself: it posts exactly one event of type GSC_MSG_VIEW_CLOSED (11023)
 *     to its parent widget (see grayscope_event.h: GscViewMessage carries
 *     wParam = GSC_VIEW_CLOSED_MAGIC and lParam = the view handle). The host
 *     answers by calling GSC_DestroyView with that handle, e.g. in
 *     QObject::event / customEvent of the parent:
 *
 *         if (e->type() == QEvent::Type(GSC_MSG_VIEW_CLOSED)) {
 *             auto* m = static_cast<GscViewMessage*>(e);
 *             if (m->wParam == GSC_VIEW_CLOSED_MAGIC) GSC_DestroyView(m->lParam);
 *         }
 *
 *     A view without parent posts the event to the application object. A
 *     modal view simply ends and GSC_CreateView returns its end code.
 *  4. GSC_SetBPM, GSC_ChangeBPMFrame and GSC_ChangeBPMCut may be called at
 *     any time.
 */
#ifndef GRAYSCOPE_H
#define GRAYSCOPE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The event type a closed modeless view posts to its parent, and its wParam. */
#define GSC_MSG_VIEW_CLOSED 0x2B0F
#define GSC_VIEW_CLOSED_MAGIC 0xACDBBDCAu

/* Copied whole by GSC_CreateView; the caller keeps ownership of its copy. */
typedef struct ViewDescriptor {
    int32_t modal;     /* nonzero: modal dialog, destroyed when it closes */
    int32_t width;     /* frame width for the file list; 0 or less: see below */
    int32_t height;    /* frame height */
    char mask[256];    /* directory and wildcard, for example "/data/CAL/" followed by "*.raw"; may be empty */
    char select[80];   /* file name to select first (prefix match, 79 characters used) */
    void* parent;      /* a QWidget* or null (no parent) */
    char reserved[8];  /* zero */
} ViewDescriptor;
/* Start rules: mask non-empty and both numbers positive: taken as given;
   mask non-empty and both 0 or less: the last used width and height; anything
   else: width, height and mask of the newest mask-history entry. */

/* One per library, shared by all views; copied by GSC_SetBPM. */
typedef struct BpmDescriptor {
    char directory[256]; /* directory holding "BPM.raw" and "BPMM.raw" (any case),
                            with trailing "/"; empty: no bad-pixel map */
    int32_t width;       /* frame width of the maps */
    int32_t height;      /* frame height of the maps */
    int32_t cutLeft;     /* columns cut at the left frame edge */
    int32_t cutTop;      /* rows cut at the top */
    int32_t cutRight;    /* columns cut at the right */
    int32_t cutBottom;   /* rows cut at the bottom */
} BpmDescriptor;

#ifdef __cplusplus
static_assert(sizeof(ViewDescriptor) == 368, "ViewDescriptor layout");
static_assert(offsetof(ViewDescriptor, mask) == 12, "ViewDescriptor layout");
static_assert(offsetof(ViewDescriptor, select) == 268, "ViewDescriptor layout");
static_assert(offsetof(ViewDescriptor, parent) == 352, "ViewDescriptor layout");
static_assert(offsetof(ViewDescriptor, reserved) == 360, "ViewDescriptor layout");
static_assert(sizeof(BpmDescriptor) == 280, "BpmDescriptor layout");
static_assert(offsetof(BpmDescriptor, cutBottom) == 276, "BpmDescriptor layout");
#endif

#define GSC_API __attribute__((visibility("default")))

/* Creates a view from a copy of *descriptor (null: an all-zero modeless
   descriptor). Modeless: returns the view handle (registered in the library's
   registry of at most 128 views; a 129th view works but gets no bad-pixel
   news). Modal: runs the dialog, destroys the view and returns its end code
   (1 OK, 0 Cancel). A modal view blocks its owner -- the parent window, or
   without a parent the host's active window at the call -- and that
   window's ancestors; the bad-pixel mask editor it opens and windows of
   other hierarchies stay usable. */
GSC_API intptr_t GSC_CreateView(const ViewDescriptor* descriptor);

/* Runs a modal view with modal = 1 and everything else zero (no parent, the
   newest mask-history entry). Returns the end code. */
GSC_API intptr_t GSC_CreateViewDefault(void);

/* Destroys the window of a view handle returned by GSC_CreateView, removes
   it from the registry and frees it. Null and unknown handles are ignored. */
GSC_API void GSC_DestroyView(void* view);

/* Offers a key press to the views: event is a QEvent* (QEvent::KeyPress;
   other events are ignored). Handled only while at least one view is
   registered and the key belongs to a view or the bad-pixel mask editor.
   Returns 1 when consumed, else 0. */
GSC_API int32_t GSC_PreTranslateMessage(void* event);

/* Copies *bpm (null clears it). With a directory and width, height >= 1 the
   bad-pixel mask editor object is created (its window on first showing);
   otherwise an existing editor is destroyed. Returns 1 when an editor exists
   afterwards, else 0. */
GSC_API int32_t GSC_SetBPM(const BpmDescriptor* bpm);

/* Updates the map directory (null: keep), width and height (negative: keep).
   With an editor: the views re-evaluate their "BP&M" button, the editor
   reloads both maps and is detached and hidden. Without an editor and with a
   nonzero cut value: views showing an image of the map size repaint.
   Returns the number of registered views. */
GSC_API int32_t GSC_ChangeBPMFrame(const char* directory, int32_t width, int32_t height);

/* Sets the cut values (negative: keep) and repaints every view whose image
   has the map size. Returns the number of registered views. */
GSC_API int32_t GSC_ChangeBPMCut(int32_t left, int32_t top, int32_t right, int32_t bottom);

/* 0: this build uses 8-bit (UTF-8) strings. */
GSC_API int32_t GSC_IsUnicode(void);

#ifdef __cplusplus
}
#endif

#endif /* GRAYSCOPE_H */
