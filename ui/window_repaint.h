#pragma once

#include <windows.h>

// Asks for the whole client area of window to be painted again. The
// background is not erased first: every paint covers the whole area.
inline void RepaintWindow(HWND window) {
    InvalidateRect(window, nullptr, FALSE);
}
