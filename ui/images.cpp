#include "ui/images.h"

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

std::unique_ptr<Gdiplus::Bitmap> LoadResourceImage(uint16_t id) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
    if (!resource) {
        return nullptr;
    }
    const DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    if (!loaded || size == 0) {
        return nullptr;
    }
    const void* bytes = LockResource(loaded);
    if (!bytes) {
        return nullptr;
    }
    UniqueStream stream = StreamOverCopy(bytes, size);
    if (!stream) {
        return nullptr;
    }
    auto image = std::make_unique<Gdiplus::Bitmap>(stream.get());
    // The image keeps its own reference to the stream for as long as it needs it.
    stream.reset();
    if (image->GetLastStatus() != Gdiplus::Ok) {
        return nullptr;
    }
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
