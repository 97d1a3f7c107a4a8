#pragma once

#include <windows.h>

#include "common/win_handle.h"
#include "common/gdi_owners.h"

// A 32-bit top-down DIB section selected into a memory DC compatible with
// target (the screen when null). bits() is null when it could not be made.
class DibBuffer {
  public:
    DibBuffer(HDC target, int width, int height);
    DibBuffer(const DibBuffer&) = delete;
    DibBuffer& operator=(const DibBuffer&) = delete;

    HDC dc() const { return dc_.get(); }
    void* bits() const { return bits_; }

  private:
    // Made in this order and let go in reverse: the selection is undone
    // before its bitmap and the DC are deleted.
    UniqueMemoryDc dc_;
    UniqueBitmap bitmap_;
    GdiSelection selection_;
    void* bits_ = nullptr;
};
