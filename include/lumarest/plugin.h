/*
 * Lumarest plug-in SDK.
 *
 * A plug-in is a 32-bit Windows DLL that exports, undecorated, one function
 *
 *     void __cdecl RegisterModule(CommandEndpoint* endpoint);
 *
 * The host calls it once at start-up, on its main thread. The library itself
 * may be loaded on another of the host's threads, so DllMain and the
 * library's static constructors must not make windows or anything else that
 * belongs to a thread; do that in RegisterModule. Store your receive function in
 * endpoint->receive before returning and keep the endpoint pointer: it lives
 * as long as the process. Send commands with endpoint->send(&record) after
 * zeroing the record, setting `command` and setting `sender` to
 * endpoint->owner. The host delivers every command synchronously, on the
 * sending thread, to every other module registered for the name (listed under
 * "command-recv" in your "plugin.load" manifest), the host's own handler last.
 *
 * Text answers are either kept by the host (never free them) or C-heap copies
 * that you release with free() from msvcrt.dll; each command below says which.
 * Build your DLL against msvcrt.dll (the mingw-w64 default) so that blocks
 * cross the boundary safely.
 *
 * This header is plain C99 with C11 static assertions and also compiles as
 * C++; it needs nothing but the C standard headers.
 */
#ifndef LUMAREST_PLUGIN_H
#define LUMAREST_PLUGIN_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#define LUMAREST_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define LUMAREST_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

#if defined(_MSC_VER) || defined(__MINGW32__)
#define LUMAREST_CDECL __cdecl
#define LUMAREST_EXPORT __declspec(dllexport)
#else
#define LUMAREST_CDECL
#define LUMAREST_EXPORT
#endif

/*
 * The 88-byte command record. Senders zero the whole record before filling
 * it, so a field that a command does not use is always 0. The layout is the
 * contract between the host and every plug-in: never reorder it.
 */
typedef struct BASObserveData {
    uint32_t reserved0;
    uint32_t reserved1;
    uint32_t reserved2;
    const char* command; /* NUL-terminated ASCII command name */
    const void* arg;     /* per command: UTF-8 text, or UTF-16 for create commands */
    wchar_t* wideText;   /* UTF-16 argument or answer */
    int64_t value;       /* argument or answer; the "handled" mark of a close */
    void* object;        /* pointer argument or answer */
    uint32_t reserved9;
    uint32_t reserved10;
    uint32_t reserved11;
    void* data; /* command-specific block */
    uint32_t reserved13;
    int64_t count;  /* update answer: number of versions offered */
    void* window;   /* HWND: the view (size change) or the parent (create) */
    void* sender;   /* HMODULE of the sending module */
    int64_t value2; /* progress: total */
    int64_t value3; /* progress: amount done */
} BASObserveData;

typedef void(LUMAREST_CDECL* BASCommandFunction)(BASObserveData* record);

/* The 16-byte block that attaches one module to the bus. */
typedef struct CommandEndpoint {
    BASCommandFunction send;    /* set by the host: the broadcast */
    BASCommandFunction receive; /* set by the plug-in in RegisterModule */
    void* owner;                /* HMODULE of the owning module */
    uint32_t reserved;          /* 0 */
} CommandEndpoint;

/* The plug-in entry point, exported as "RegisterModule". */
typedef void(LUMAREST_CDECL* RegisterModuleFunction)(CommandEndpoint* endpoint);
#define LUMAREST_ENTRY_POINT_NAME "RegisterModule"

/* "LIBWINDOW_COMMAND_SIZE_CHANGE": `data` points to this block. */
typedef struct BASSizeChange {
    int32_t width;
    int32_t height;
} BASSizeChange;

/*
 * Create commands. When the host lays out its view it sends each catalog
 * module the "command-create" of its manifest, with `window` = the view (the
 * parent for the module's window) and `data` = a placement block in the
 * view's client coordinates. A pane module answers its own window in
 * `window`; when it does not, the view itself stands for its pane.
 *
 *   "Recovery"  data: BASIconPlacement, top LUMAREST_PANE_TOP; value 0 ("Phone Rescue"),
 *               or 1 for a second pane ("Card Rescue") when the host has one.
 *   "Toolkit"   data: BASPlacement, top LUMAREST_PANE_TOP.
 *   "Title"     data: BASIconPlacement, top 0 and bottom
 *               LUMAREST_TITLE_BAND_BOTTOM; object: the
 *               BASPaneList of the panes made before; arg: the product version
 *               (UTF-8); wideText: the product title.
 *   "Comm"      data: the product identity, compact UTF-8 JSON
 *               {"alias":..,"version":..,"brand":..}.
 *
 * Everything the record points to is valid only during the send: copy what
 * you keep. The icon and the pane pictures stay valid for the life of the
 * process and are never freed by a module.
 */

/* The view's two rows, in its client coordinates at 96 DPI: the title band
 * ends above row 88 and the panes begin at row 89. On a display of another
 * DPI the host scales both (88 * dpi / 96, rounded) and so should a module
 * that works them out itself; the placement blocks are always in pixels. */
#define LUMAREST_TITLE_BAND_BOTTOM 88
#define LUMAREST_PANE_TOP 89

typedef struct BASPlacement {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
} BASPlacement;

typedef struct BASIconPlacement {
    void* icon; /* HICON of the application, 32 x 32, kept by the host */
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
} BASIconPlacement;

/* One section of the product: a pane made by a module. */
typedef struct BASPaneEntry {
    const wchar_t* title; /* translated section name */
    void* window;         /* HWND of the pane, a child of the view */
    void* image;          /* Gdiplus::Bitmap* of the section's picture; may be in an error state */
} BASPaneEntry;

/* The sections in display order, handed to the "Title" module in `object`. */
typedef struct BASPaneList {
    uint32_t count;
    BASPaneEntry* entries; /* count entries */
} BASPaneList;

LUMAREST_STATIC_ASSERT(sizeof(void*) == 4, "the record layout needs 32-bit pointers");
LUMAREST_STATIC_ASSERT(sizeof(wchar_t) == 2, "wideText is UTF-16");
LUMAREST_STATIC_ASSERT(offsetof(BASObserveData, reserved0) == 0, "reserved0");
LUMAREST_STATIC_ASSERT(offsetof(BASObserveData, reserved1) == 4, "reserved1");
LUMAREST_STATIC_ASSERT(offsetof(BASObserveData, reserved2) == 8, "reserved2");
LUMAREST_STATIC_ASSERT(offsetof(BASObserveData, command) == 12, "command");
LUMAREST_STATIC_ASSERT(offsetof(BASObserveData, arg) == 16, "arg");
LUMAREST_STATIC_ASSERT(offsetof(BASObserveData, wideText) == 20, "wideText");
LUMAREST_STATIC_ASSERT(offsetof(BASObserveData, value) == 24, "value");
LUMAREST_STATIC_ASSERT(offsetof(BASObserveData, object) == 32, "object");
LUMAREST_STATIC_ASSERT(offsetof(BASObserveData, reserved9) == 36, "reserved9");
LUMAREST_STATIC_ASSERT(offsetof(BASObserveData, reserved10) == 40, "reserved10");
LUMAREST_STATIC_ASSERT(offsetof(BASObserveData, reserved11) == 44, "reserved11");
LUMAREST_STATIC_ASSERT(offsetof(BASObserveData, data) == 48, "data");
LUMAREST_STATIC_ASSERT(offsetof(BASObserveData, reserved13) == 52, "reserved13");
LUMAREST_STATIC_ASSERT(offsetof(BASObserveData, count) == 56, "count");
LUMAREST_STATIC_ASSERT(offsetof(BASObserveData, window) == 64, "window");
LUMAREST_STATIC_ASSERT(offsetof(BASObserveData, sender) == 68, "sender");
LUMAREST_STATIC_ASSERT(offsetof(BASObserveData, value2) == 72, "value2");
LUMAREST_STATIC_ASSERT(offsetof(BASObserveData, value3) == 80, "value3");
LUMAREST_STATIC_ASSERT(sizeof(BASObserveData) == 88, "the record is 88 bytes");
LUMAREST_STATIC_ASSERT(offsetof(CommandEndpoint, send) == 0, "send");
LUMAREST_STATIC_ASSERT(offsetof(CommandEndpoint, receive) == 4, "receive");
LUMAREST_STATIC_ASSERT(offsetof(CommandEndpoint, owner) == 8, "owner");
LUMAREST_STATIC_ASSERT(offsetof(CommandEndpoint, reserved) == 12, "reserved");
LUMAREST_STATIC_ASSERT(sizeof(CommandEndpoint) == 16, "the endpoint is 16 bytes");
LUMAREST_STATIC_ASSERT(sizeof(BASSizeChange) == 8, "two 32-bit integers");
LUMAREST_STATIC_ASSERT(offsetof(BASPlacement, left) == 0, "left");
LUMAREST_STATIC_ASSERT(offsetof(BASPlacement, bottom) == 12, "bottom");
LUMAREST_STATIC_ASSERT(sizeof(BASPlacement) == 16, "four 32-bit integers");
LUMAREST_STATIC_ASSERT(offsetof(BASIconPlacement, icon) == 0, "icon");
LUMAREST_STATIC_ASSERT(offsetof(BASIconPlacement, left) == 4, "left");
LUMAREST_STATIC_ASSERT(offsetof(BASIconPlacement, top) == 8, "top");
LUMAREST_STATIC_ASSERT(offsetof(BASIconPlacement, right) == 12, "right");
LUMAREST_STATIC_ASSERT(offsetof(BASIconPlacement, bottom) == 16, "bottom");
LUMAREST_STATIC_ASSERT(sizeof(BASIconPlacement) == 20, "an icon and four 32-bit integers");
LUMAREST_STATIC_ASSERT(offsetof(BASPaneEntry, title) == 0, "title");
LUMAREST_STATIC_ASSERT(offsetof(BASPaneEntry, window) == 4, "window");
LUMAREST_STATIC_ASSERT(offsetof(BASPaneEntry, image) == 8, "image");
LUMAREST_STATIC_ASSERT(sizeof(BASPaneEntry) == 12, "three pointers");
/*
 * High-DPI displays. The host draws everything at the DPI of the display
 * that shows its main window (96 = 100 %, 144 = 150 %) and so should every
 * pane: ask "LIBPLATFORM_COMMAND_GET_DPI" when you create your windows and
 * receive "LIBWINDOW_COMMAND_DPI_CHANGE" (list it under "command-recv") to
 * hear of a change; the view's "LIBWINDOW_COMMAND_SIZE_CHANGE" follows it.
 * Sizes designed at 96 DPI scale by dpi / 96.
 *
 * Fonts. "LIBPLATFORM_COMMAND_FIND_FONT" answers a font the host made and
 * keeps for the process, so that modules draw with the host's families and
 * its fall-backs for a family that is missing: data points to a
 * BASFontRequest, the answer in object is a Gdiplus::Font* (never free it),
 * or NULL when no font could be made (draw no text then).
 */
typedef struct BASFontRequest {
    const wchar_t* family; /* e.g. L"Arial" */
    float pixelSize;       /* the em height in your drawing's pixels */
    int32_t bold;          /* 0 regular, 1 bold */
} BASFontRequest;

LUMAREST_STATIC_ASSERT(offsetof(BASFontRequest, family) == 0, "family");
LUMAREST_STATIC_ASSERT(offsetof(BASFontRequest, pixelSize) == 4, "pixelSize");
LUMAREST_STATIC_ASSERT(offsetof(BASFontRequest, bold) == 8, "bold");
LUMAREST_STATIC_ASSERT(sizeof(BASFontRequest) == 12, "a pointer, a float and a 32-bit integer");
LUMAREST_STATIC_ASSERT(offsetof(BASPaneList, count) == 0, "count");
LUMAREST_STATIC_ASSERT(offsetof(BASPaneList, entries) == 4, "entries");
LUMAREST_STATIC_ASSERT(sizeof(BASPaneList) == 8, "a count and a pointer");

/*
 * Command names. "to host": the host answers or acts; "to plug-ins": the host
 * sends it to modules that list it under "command-recv"; "both": either way.
 *
 * Windows belong to the host's main thread. A command sent from another
 * thread that shows or changes a window is carried out there while the send
 * waits:
 *   until the user answers: LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE,
 *     LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE, LIBPLATFORM_COMMAND_OPEN_ABOUT,
 *     LIBPLATFORM_COMMAND_OPEN_SETTING;
 *   only while the window is shown: LIBPLATFORM_COMMAND_CHECK_FOR_UPDATE,
 *     LIBCOMM_COMMAND_START_SERVER_FINISH, LIBCOMM_COMMAND_ANDROID_STATUS_RECV.
 * So a module must never hold up the main thread (in a window procedure or a
 * receive function the host calls there) waiting for a thread of its own that
 * sends one of these: neither would ever go on. Sent from the main thread they
 * run at once. Every other command is answered on the sending thread, or
 * handed to the main thread without waiting.
 */

/* to host: toggle the main window between the work area and its former place. */
#define LIBPLATFORM_COMMAND_PRESS_MAX_OR_RESET "LIBPLATFORM_COMMAND_PRESS_MAX_OR_RESET"
/* to host: run the about dialog. */
#define LIBPLATFORM_COMMAND_OPEN_ABOUT "LIBPLATFORM_COMMAND_OPEN_ABOUT"
/* to host: in arg a UTF-8 key; out object a UTF-8 URL kept by the host ("" when unknown). */
#define LIBPLATFORM_COMMAND_FIND_URL "LIBPLATFORM_COMMAND_FIND_URL"
/* to host: in arg a UTF-8 image name; out object a Gdiplus::Bitmap* kept by the host, or NULL. */
#define LIBPLATFORM_COMMAND_FIND_IMAGE "LIBPLATFORM_COMMAND_FIND_IMAGE"
/* to host: the user asked for an update check. */
#define LIBPLATFORM_COMMAND_CHECK_FOR_UPDATE "LIBPLATFORM_COMMAND_CHECK_FOR_UPDATE"
/* to host: run the settings dialog. */
#define LIBPLATFORM_COMMAND_OPEN_SETTING "LIBPLATFORM_COMMAND_OPEN_SETTING"
/* both: the host asks for update information; answer with value, count and data filled;
   a failed answer (value 0) gives its reason in value2. */
#define LIBCOMM_COMMAND_CHECK_FOR_UPDATE "LIBCOMM_COMMAND_CHECK_FOR_UPDATE"
/* both: the host starts a download; answer value 2 = progress (value3 done, value2 total),
   1 = finished (wideText: installer path, a malloc'ed copy the host frees; object: a file
   HANDLE open on the installer that lets nobody write or delete it, which the host closes
   once it has started the installer), 6 = failed (value2: the reason). */
#define LIBCOMM_COMMAND_DOWNLOAD_UPDATE "LIBCOMM_COMMAND_DOWNLOAD_UPDATE"
/* Reasons of a failed update check or download, in value2. */
#define LIBCOMM_UPDATE_FAILED_NETWORK 0          /* no answer, or none within the deadlines */
#define LIBCOMM_UPDATE_FAILED_UNVERIFIED 1       /* not signed by a trusted key, or refused */
#define LIBCOMM_UPDATE_FAILED_MISMATCH 2         /* the installer is not of the feed's size and SHA-256 */
#define LIBCOMM_UPDATE_FAILED_UNTRUSTED_SERVER 3 /* the secure connection or its certificate was refused */
/* to plug-ins: the user cancelled the download. */
#define LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL "LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL"
/* both: the host asks the device server to stop; sent back when it has, and the host installs. */
#define LIBCOMM_COMMAND_EXIT_SERVER "LIBCOMM_COMMAND_EXIT_SERVER"
/* both: relayed by the host on its main thread to every module that receives it; value passed on. */
#define LIBCOMM_COMMAND_READY_START_SERVER "LIBCOMM_COMMAND_READY_START_SERVER"
/* to host: the device server crashed; value is passed on to the restart. */
#define LIBCOMM_COMMAND_SERVER_CRASH "LIBCOMM_COMMAND_SERVER_CRASH"
/* to host: accepted and ignored. */
#define LIBCOMM_COMMAND_START_SERVICE_FAIL "LIBCOMM_COMMAND_START_SERVICE_FAIL"
/* to host: value 0 (removed) or 20 (disconnected); arg UTF-8 JSON describing the device. */
#define LIBCOMM_COMMAND_ANDROID_STATUS_RECV "LIBCOMM_COMMAND_ANDROID_STATUS_RECV"
/* to host: the device server is up. */
#define LIBCOMM_COMMAND_START_SERVER_FINISH "LIBCOMM_COMMAND_START_SERVER_FINISH"
/* to host: out wideText the product title, a malloc'ed copy: free() it. */
#define LIBPLATFORM_COMMAND_GET_PRODUCT_ALIAS "LIBPLATFORM_COMMAND_GET_PRODUCT_ALIAS"
/* to host: out wideText the second title, a malloc'ed copy: free() it. */
#define LIBPLATFORM_COMMAND_GET_APP_NAME "LIBPLATFORM_COMMAND_GET_APP_NAME"
/* to host: out wideText the device service path, kept by the host (may be empty). */
#define LIBCOMM_COMMAND_GET_ANDROID_SERVICE_PATH "LIBCOMM_COMMAND_GET_ANDROID_SERVICE_PATH"
/* to host: out wideText the device server path, kept by the host (may be empty). */
#define LIBCOMM_COMMAND_GET_ANDROID_SERVER_PATH "LIBCOMM_COMMAND_GET_ANDROID_SERVER_PATH"
/* to host: value3 done and value2 total set when non-zero, value failures added,
   object a UTF-16 status text shown when non-NULL. Any thread. */
#define LIBPLATFORM_COMMAND_NOTIFY_PROGRESS "LIBPLATFORM_COMMAND_NOTIFY_PROGRESS"
/* to host: as NOTIFY_PROGRESS, then the progress is marked finished. */
#define LIBPLATFORM_COMMAND_NOTIFY_PROGRESS_FINISH "LIBPLATFORM_COMMAND_NOTIFY_PROGRESS_FINISH"
/* to host: arg UTF-8 owner name, wideText folder to offer, object end callback
   void __cdecl (*)(uint32_t context, int64_t datum), value its datum. */
#define LIBPLATFORM_COMMAND_START_PROGRESS "LIBPLATFORM_COMMAND_START_PROGRESS"
/* to host: arg the canceller's UTF-8 name; stops a running progress of that owner. */
#define LIBPLATFORM_COMMAND_CANCEL_PROGRESS "LIBPLATFORM_COMMAND_CANCEL_PROGRESS"
/* to host: out wideText the dated temporary folder (created), a malloc'ed copy: free() it. */
#define LIBPLATFORM_COMMAND_GET_TEMP_DIR "LIBPLATFORM_COMMAND_GET_TEMP_DIR"
/* to host: out value the complete-version number. */
#define LIBPLATFORM_COMMAND_GET_COMPLETE_VERSION "LIBPLATFORM_COMMAND_GET_COMPLETE_VERSION"
/* to host: wideText the message, low 32 bits of value the client width in pixels at 96 DPI
   (the host scales it to its display). */
#define LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE "LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE"
/* to host: as the alert; out value 1 when the user confirmed, else 0. */
#define LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE "LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE"
/* to plug-ins: the main window is closing; set value non-zero to keep it open. */
#define LIBPLATFORM_COMMAND_CLOSE_ENSURE "LIBPLATFORM_COMMAND_CLOSE_ENSURE"
/* to host: out value the DPI of the display that shows the main window (96 = 100 %). */
#define LIBPLATFORM_COMMAND_GET_DPI "LIBPLATFORM_COMMAND_GET_DPI"
/* to host: in data a BASFontRequest*; out object a Gdiplus::Font* kept by the host, or NULL. */
#define LIBPLATFORM_COMMAND_FIND_FONT "LIBPLATFORM_COMMAND_FIND_FONT"
/* to plug-ins: the main window moved to a display of another DPI; value the new DPI.
   The view's size change follows. */
#define LIBWINDOW_COMMAND_DPI_CHANGE "LIBWINDOW_COMMAND_DPI_CHANGE"
/* to plug-ins: the view was resized; window is the view, data a BASSizeChange*. */
#define LIBWINDOW_COMMAND_SIZE_CHANGE "LIBWINDOW_COMMAND_SIZE_CHANGE"

#ifdef __cplusplus
}
#endif

#endif /* LUMAREST_PLUGIN_H */
