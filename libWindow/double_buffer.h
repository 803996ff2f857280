// Flicker-free painting: draw into a memory bitmap the size of an area of the
// target, and copy it onto the target in one blit when the buffer goes.
//
//   PaintDC paint(window);
//   RECT client; GetClientRect(window, &client);
//   DoubleBuffer buffer(paint.get(), client);
//   FillRect(buffer.get(), &client, brush);   // target coordinates
//
// Drawing uses the target's coordinates: the buffer's origin is moved to the
// area's top-left corner. When the memory DC or bitmap cannot be made, get()
// is the target itself and drawing goes straight to it.
#pragma once

#include <windows.h>

#include "gdi_owners.h"

class DoubleBuffer {
public:
    DoubleBuffer(HDC target, const RECT& area);
    // Copies the buffer onto the target.
    ~DoubleBuffer();
    DoubleBuffer(const DoubleBuffer&) = delete;
    DoubleBuffer& operator=(const DoubleBuffer&) = delete;

    HDC get() const { return memory_ ? memory_.get() : target_; }
    bool IsBuffered() const { return static_cast<bool>(memory_); }

private:
    HDC target_;
    RECT area_;
    MemoryDC memory_;
    UniqueBitmap bitmap_;
    HGDIOBJ previousBitmap_ = nullptr;
};
