#include "tests/ui/canvas.h"

#include <cstdio>
#include <cstdlib>

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

int Channel(Gdiplus::ARGB colour, int shift) {
    return static_cast<int>((colour >> shift) & 0xFF);
}

}  // namespace

Canvas::Canvas(int width, int height) : bitmap_(width, height, PixelFormat32bppARGB) {
    graphics_ = std::make_unique<Gdiplus::Graphics>(&bitmap_);
    graphics_->Clear(Gdiplus::Color(0, 0, 0, 0));
    graphics_->SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
}

Gdiplus::ARGB Canvas::Pixel(int x, int y) {
    graphics_->Flush(Gdiplus::FlushIntentionSync);
    Gdiplus::Color colour;
    bitmap_.GetPixel(x, y, &colour);
    return colour.GetValue();
}

int Canvas::CountNear(const RECT& rect, Gdiplus::ARGB colour, int tolerance) {
    graphics_->Flush(Gdiplus::FlushIntentionSync);
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            Gdiplus::Color pixel;
            bitmap_.GetPixel(x, y, &pixel);
            if (NearColour(pixel.GetValue(), colour, tolerance)) {
                ++count;
            }
        }
    }
    return count;
}

bool NearColour(Gdiplus::ARGB actual, Gdiplus::ARGB expected, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        if (std::abs(Channel(actual, shift) - Channel(expected, shift)) > tolerance) {
            return false;
        }
    }
    return true;
}

std::string ColourText(Gdiplus::ARGB colour) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(colour));
    return text;
}

std::vector<uint8_t> MakePngBytes(int width, int height, Gdiplus::ARGB left, Gdiplus::ARGB right) {
    Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppARGB);
    {
        Gdiplus::Graphics graphics(&bitmap);
        Gdiplus::SolidBrush leftBrush{Gdiplus::Color(left)};
        Gdiplus::SolidBrush rightBrush{Gdiplus::Color(right)};
        graphics.FillRectangle(&leftBrush, 0, 0, (width + 1) / 2, height);
        graphics.FillRectangle(&rightBrush, (width + 1) / 2, 0, width / 2, height);
    }
    CLSID encoder;
    IStream* stream = nullptr;
    std::vector<uint8_t> bytes;
    if (!FindPngEncoder(&encoder) || FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) {
        return bytes;
    }
    if (bitmap.Save(stream, &encoder, nullptr) == Gdiplus::Ok) {
        HGLOBAL memory = nullptr;
        if (SUCCEEDED(GetHGlobalFromStream(stream, &memory))) {
            STATSTG stat = {};
            stream->Stat(&stat, STATFLAG_NONAME);
            const auto* data = static_cast<const uint8_t*>(GlobalLock(memory));
            if (data) {
                bytes.assign(data, data + stat.cbSize.QuadPart);
                GlobalUnlock(memory);
            }
        }
    }
    stream->Release();
    return bytes;
}

bool SavePng(Gdiplus::Image& image, const std::wstring& path) {
    CLSID encoder;
    return FindPngEncoder(&encoder) && image.Save(path.c_str(), &encoder, nullptr) == Gdiplus::Ok;
}
