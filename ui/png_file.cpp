#include "ui/png_file.h"

#include <cwchar>
#include <vector>

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

bool SavePng(Gdiplus::Image& image, const std::wstring& path) {
    CLSID encoder;
    return FindPngEncoder(&encoder) && image.Save(path.c_str(), &encoder, nullptr) == Gdiplus::Ok;
}
