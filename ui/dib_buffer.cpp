#include "ui/dib_buffer.h"

DibBuffer::DibBuffer(HDC target, int width, int height) : dc_(CreateCompatibleDC(target)) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    if (dc_) {
        bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits_, nullptr, 0));
    }
    if (!bitmap_) {
        bits_ = nullptr;
        return;
    }
    selection_ = GdiSelection(dc_.get(), bitmap_.get());
}
