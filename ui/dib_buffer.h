#pragma once

#include <windows.h>

// A 32-bit top-down DIB section selected into a memory DC compatible with
// target (the screen when null). bits() is null when it could not be made.
class DibBuffer {
  public:
    DibBuffer(HDC target, int width, int height);
    ~DibBuffer();
    DibBuffer(const DibBuffer&) = delete;
    DibBuffer& operator=(const DibBuffer&) = delete;

    HDC dc() const { return dc_; }
    void* bits() const { return bits_; }

  private:
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    void* bits_ = nullptr;
};
