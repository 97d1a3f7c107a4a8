#pragma once

#include <windows.h>

#include "common/win_handle.h"

// Owner of a window: destroys it unless it was released first. A window that
// goes by other means (the user closes it) is released by its own procedure
// when WM_DESTROY arrives, so that the owner does not destroy it again.
struct WindowTraits {
    using Type = HWND;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type window) noexcept { ::DestroyWindow(window); }
};

using UniqueWindow = UniqueHandle<WindowTraits>;
