// Flicker-free painting: draw into a memory bitmap the size of an area of the
// target, and copy it onto the target in one blit when the buffer goes.
//
// A window that paints double-buffered names one entry in its map,
//
//   MSG_WM_PAINT_BUFFERED(DrawClient)
//   void DrawClient(HDC dc, const RECT& updateRect);
//
// which answers WM_ERASEBKGND as done (the paint covers every pixel, so an
// erase would only flash) and, on WM_PAINT, buffers only the update rectangle
// of the paint: dc takes client coordinates, and what is drawn outside
// updateRect is clipped away. GDI+ drawers make their Graphics on dc.
#pragma once

#include <windows.h>

#include "gdi_owners.h"
#include "message_map.h"

class DoubleBuffer {
public:
    // area in the target's coordinates; an empty area buffers nothing.
    DoubleBuffer(HDC target, const RECT& area);
    // Copies the buffer onto the target.
    ~DoubleBuffer();
    DoubleBuffer(const DoubleBuffer&) = delete;
    DoubleBuffer& operator=(const DoubleBuffer&) = delete;

    // The buffer, moved so that drawing uses the target's coordinates; the
    // target itself when no buffer could be made (drawing then goes straight
    // to it rather than not at all).
    HDC get() const { return memory_ ? memory_.get() : target_; }

private:
    HDC target_;
    RECT area_;
    MemoryDC memory_;
    UniqueBitmap bitmap_;
    HGDIOBJ previousBitmap_ = nullptr;
};

// BeginPaint to EndPaint with the update rectangle buffered: the copy lands
// before EndPaint.
class BufferedPaint {
public:
    explicit BufferedPaint(HWND window) : paint_(window), buffer_(paint_.get(), paint_.UpdateRect()) {}

    HDC get() const { return buffer_.get(); }
    const RECT& UpdateRect() const { return paint_.UpdateRect(); }

private:
    PaintDC paint_;  // declared first: it is ended after the buffer's copy
    DoubleBuffer buffer_;
};

// See the top of this file.
#define MSG_WM_PAINT_BUFFERED(func)                                \
    MSG_MAP_ENTRY_(message == WM_ERASEBKGND, result = TRUE)        \
    MSG_MAP_ENTRY_(                                                \
        message == WM_PAINT, result = 0; {                         \
            const BufferedPaint bufferedPaint(window);             \
            func(bufferedPaint.get(), bufferedPaint.UpdateRect()); \
        })
