#pragma once

#include <windows.h>

#include <utility>

#include "common/win_handle.h"

// Owners of what drawing with GDI holds besides its objects.

// Selects an object into a device context and puts back the object it
// replaced when it goes. Holds nothing when the selection failed.
class GdiSelection {
  public:
    GdiSelection() noexcept = default;
    GdiSelection(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(SelectObject(dc, object)) {
        if (previous_ == HGDI_ERROR) {
            previous_ = nullptr;
        }
    }
    ~GdiSelection() { reset(); }

    GdiSelection(const GdiSelection&) = delete;
    GdiSelection& operator=(const GdiSelection&) = delete;
    GdiSelection(GdiSelection&& other) noexcept
        : dc_(other.dc_), previous_(std::exchange(other.previous_, nullptr)) {}
    GdiSelection& operator=(GdiSelection&& other) noexcept {
        if (this != &other) {
            reset();
            dc_ = other.dc_;
            previous_ = std::exchange(other.previous_, nullptr);
        }
        return *this;
    }

    explicit operator bool() const noexcept { return previous_ != nullptr; }

    // Puts the previous object back now.
    void reset() noexcept {
        if (previous_ != nullptr) {
            SelectObject(dc_, std::exchange(previous_, nullptr));
        }
    }

  private:
    HDC dc_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

struct MemoryDcTraits {
    using Type = HDC;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type dc) noexcept { ::DeleteDC(dc); }
};

using UniqueMemoryDc = UniqueHandle<MemoryDcTraits>;  // from CreateCompatibleDC

// The device context of a window (GetDC), released with it.
class WindowDc {
  public:
    explicit WindowDc(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_ != nullptr) {
            ReleaseDC(window_, dc_);
        }
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC get() const noexcept { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};
