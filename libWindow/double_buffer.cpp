#include "double_buffer.h"

DoubleBuffer::DoubleBuffer(HDC target, const RECT& area) : target_(target), area_(area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (!target || width <= 0 || height <= 0) return;
    MemoryDC memory(target);
    UniqueBitmap bitmap(CreateCompatibleBitmap(target, width, height));
    if (!memory || !bitmap) return;
    previousBitmap_ = SelectObject(memory.get(), bitmap.get());
    // The viewport, not the window origin, carries the shift: GDI+ honours
    // the viewport origin of the DC it draws on.
    SetViewportOrgEx(memory.get(), -area.left, -area.top, nullptr);
    memory_ = std::move(memory);
    bitmap_ = std::move(bitmap);
}

DoubleBuffer::~DoubleBuffer() {
    if (!memory_) return;
    SetViewportOrgEx(memory_.get(), 0, 0, nullptr);
    BitBlt(target_, area_.left, area_.top, area_.right - area_.left, area_.bottom - area_.top, memory_.get(), 0, 0,
           SRCCOPY);
    // The bitmap must leave the DC before either is deleted.
    SelectObject(memory_.get(), previousBitmap_);
}
