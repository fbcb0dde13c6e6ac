#include "ui/gdi.h"

namespace vestrel {

MemoryCanvas::MemoryCanvas(HDC like, int width, int height) : width_(width), height_(height) {
    if (width <= 0 || height <= 0)
        return;
    dc_ = CreateCompatibleDC(like);
    if (!dc_)
        return;
    bitmap_ = CreateCompatibleBitmap(like, width, height);
    if (bitmap_)
        previous_ = SelectObject(dc_, bitmap_);
}

MemoryCanvas::~MemoryCanvas() {
    if (dc_ && previous_)
        SelectObject(dc_, previous_);
    if (bitmap_)
        DeleteObject(bitmap_);
    if (dc_)
        DeleteDC(dc_);
}

void MemoryCanvas::CopyTo(HDC target, int x, int y) const {
    CopyTo(target, x, y, width_, height_);
}

void MemoryCanvas::CopyTo(HDC target, int x, int y, int width, int height) const {
    if (*this)
        BitBlt(target, x, y, width, height, dc_, 0, 0, SRCCOPY);
}

}  // namespace vestrel
