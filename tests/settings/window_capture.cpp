#include "tests/settings/window_capture.h"

#include <objidl.h>
#include <gdiplus.h>

#include <vector>

#include "common/win_handle.h"
#include "ui/gdiplus_session.h"
#include "ui/png_file.h"

namespace {

// Copies the client area of a painted window, child controls included, from
// the window's own device context.
UniqueBitmap CaptureClientArea(HWND window, int& width, int& height) {
    RECT area = {};
    if (!GetClientRect(window, &area)) {
        return UniqueBitmap();
    }
    width = area.right - area.left;
    height = area.bottom - area.top;
    HDC source = GetDC(window);
    if (!source) {
        return UniqueBitmap();
    }
    HDC memory = CreateCompatibleDC(source);
    UniqueBitmap bitmap(CreateCompatibleBitmap(source, width, height));
    bool copied = false;
    if (memory && bitmap) {
        HGDIOBJ previous = SelectObject(memory, bitmap.get());
        copied = BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY) != 0;
        SelectObject(memory, previous);
    }
    if (memory) {
        DeleteDC(memory);
    }
    ReleaseDC(window, source);
    return copied ? std::move(bitmap) : UniqueBitmap();
}

}  // namespace

bool CaptureClientPixels(HWND window, std::vector<uint32_t>& pixels) {
    int width = 0;
    int height = 0;
    UniqueBitmap bitmap = CaptureClientArea(window, width, height);
    if (!bitmap) {
        return false;
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    pixels.assign(static_cast<size_t>(width) * height, 0);
    HDC screen = GetDC(nullptr);
    const int rows =
        GetDIBits(screen, bitmap.get(), 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return rows == height;
}

bool SaveClientAreaPng(HWND window, const std::wstring& path) {
    int width = 0;
    int height = 0;
    UniqueBitmap bitmap = CaptureClientArea(window, width, height);
    if (!bitmap) {
        return false;
    }

    GdiplusSession session;
    if (!session.ok()) {
        return false;
    }
    Gdiplus::Bitmap image(bitmap.get(), nullptr);
    return image.GetLastStatus() == Gdiplus::Ok && SavePng(image, path);
}
