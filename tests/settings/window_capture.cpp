#include "tests/settings/window_capture.h"

#include <objidl.h>
#include <gdiplus.h>

#include <vector>

#include "common/win_handle.h"

namespace {

bool FindPngEncoder(CLSID* encoder) {
    UINT count = 0;
    UINT bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) {
        return false;
    }
    std::vector<unsigned char> buffer(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) {
        return false;
    }
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(codecs[i].MimeType, L"image/png") == 0) {
            *encoder = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

class GdiplusSession {
  public:
    GdiplusSession() {
        Gdiplus::GdiplusStartupInput input;
        ok_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession() {
        if (ok_) {
            Gdiplus::GdiplusShutdown(token_);
        }
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    bool ok() const { return ok_; }

  private:
    ULONG_PTR token_ = 0;
    bool ok_ = false;
};

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
    CLSID encoder;
    if (!session.ok() || !FindPngEncoder(&encoder)) {
        return false;
    }
    Gdiplus::Bitmap image(bitmap.get(), nullptr);
    return image.GetLastStatus() == Gdiplus::Ok &&
           image.Save(path.c_str(), &encoder, nullptr) == Gdiplus::Ok;
}
