#include "ui/dib_buffer.h"

DibBuffer::DibBuffer(HDC target, int width, int height) : dc_(CreateCompatibleDC(target)) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    if (dc_ != nullptr) {
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    }
    if (bitmap_ == nullptr) {
        bits_ = nullptr;
        return;
    }
    old_ = SelectObject(dc_, bitmap_);
}

DibBuffer::~DibBuffer() {
    if (old_ != nullptr) {
        SelectObject(dc_, old_);
    }
    if (bitmap_ != nullptr) {
        DeleteObject(bitmap_);
    }
    if (dc_ != nullptr) {
        DeleteDC(dc_);
    }
}
