#include "ui/images.h"

#include <cstddef>
#include <cstring>

#include "common/win_handle.h"

namespace {

struct GlobalMemoryTraits {
    using Type = HGLOBAL;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type memory) noexcept { ::GlobalFree(memory); }
};
using UniqueGlobalMemory = UniqueHandle<GlobalMemoryTraits>;

struct ComRelease {
    void operator()(IUnknown* object) const noexcept { object->Release(); }
};
using UniqueStream = std::unique_ptr<IStream, ComRelease>;

// A stream over a movable copy of the bytes; the memory goes with the stream.
UniqueStream StreamOverCopy(const void* bytes, size_t size) {
    if (size == 0) {
        return nullptr;
    }
    UniqueGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, size));
    if (!memory) {
        return nullptr;
    }
    void* target = GlobalLock(memory.get());
    if (!target) {
        return nullptr;
    }
    std::memcpy(target, bytes, size);
    GlobalUnlock(memory.get());

    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory.get(), TRUE, &stream)) || !stream) {
        return nullptr;
    }
    memory.release();  // the stream frees it on its last release
    return UniqueStream(stream);
}

}  // namespace

bool LoadResourcePixels(uint16_t id, ArgbPixels& out) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
    if (!resource) {
        return false;
    }
    const DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    return bytes != nullptr && DecodeArtworkPng(static_cast<const uint8_t*>(bytes), size, out);
}

std::unique_ptr<Gdiplus::Bitmap> LoadResourceImage(uint16_t id) {
    ArgbPixels picture;
    if (!LoadResourcePixels(id, picture)) {
        return nullptr;
    }
    auto image =
        std::make_unique<Gdiplus::Bitmap>(picture.width, picture.height, PixelFormat32bppARGB);
    const Gdiplus::Rect all(0, 0, picture.width, picture.height);
    Gdiplus::BitmapData data = {};
    if (image->GetLastStatus() != Gdiplus::Ok ||
        image->LockBits(&all, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &data) !=
            Gdiplus::Ok) {
        return nullptr;
    }
    for (int y = 0; y < picture.height; ++y) {
        std::memcpy(static_cast<BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride,
                    &picture.pixels[static_cast<size_t>(y) * picture.width],
                    static_cast<size_t>(picture.width) * 4);
    }
    image->UnlockBits(&data);
    return image;
}

std::shared_ptr<Gdiplus::Bitmap> DecodePatchImage(const PatchImageData& data) {
    if (data.bytes.empty()) {
        return nullptr;
    }
    UniqueStream stream = StreamOverCopy(data.bytes.data(), data.bytes.size());
    if (!stream) {
        return nullptr;
    }
    Gdiplus::Image source(stream.get());
    if (source.GetLastStatus() != Gdiplus::Ok) {
        return nullptr;
    }
    const UINT width = source.GetWidth();
    const UINT height = source.GetHeight();
    if (width == 0 || height == 0 || static_cast<uint64_t>(width) * height > kMaxPatchImagePixels) {
        return nullptr;
    }
    auto bitmap = std::make_shared<Gdiplus::Bitmap>(static_cast<INT>(width),
                                                    static_cast<INT>(height), PixelFormat32bppARGB);
    if (bitmap->GetLastStatus() != Gdiplus::Ok) {
        return nullptr;
    }
    {
        Gdiplus::Graphics graphics(bitmap.get());
        if (graphics.GetLastStatus() != Gdiplus::Ok ||
            graphics.DrawImage(&source, 0, 0, static_cast<INT>(width), static_cast<INT>(height)) !=
                Gdiplus::Ok) {
            return nullptr;
        }
    }
    return bitmap;
}
