#include "app/main_window.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <windowsx.h>

#include <memory>

#include "app/launcher_messages.h"
#include "app/launcher_ui.h"
#include "app/screen_paint.h"
#include "app/startup_trace.h"
#include "ui/element.h"
#include "ui/gdiplus_session.h"
#include "ui/images.h"
#include "ui/patch_notes_view.h"
#include "ui/window_repaint.h"

const wchar_t kLauncherWindowClass[] = L"VantoraLauncher";

namespace {

void OnPaint(HWND window, LauncherUI& launcher) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client = {};
    GetClientRect(window, &client);
    PaintLauncher(launcher, dc, client.right - client.left, client.bottom - client.top,
                  paint.rcPaint);
    EndPaint(window, &paint);
    MarkStartupStep("first frame painted");
}

void OnMouseMove(HWND window, LauncherUI& launcher, int x, int y) {
    bool changed = false;
    for (UIElement* element : launcher.elements) {
        if (!element->visible) {
            continue;
        }
        const bool wasHovered = element->hovered;
        element->OnMouseMove(x, y);
        changed = changed || element->hovered != wasHovered;
    }
    if (changed) {
        RepaintWindow(window);
    }
}

void OnLeftButtonDown(HWND window, LauncherUI& launcher, int x, int y) {
    for (UIElement* element : launcher.elements) {
        if (element->visible) {
            element->OnMouseDown(x, y);
        }
    }
    for (UIElement* element : launcher.elements) {
        if (element->visible && element->HitTest(x, y)) {
            return;
        }
    }
    // No caption: a press on the bare background moves the window.
    SendMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void OnLeftButtonUp(LauncherUI& launcher, int x, int y) {
    // A click may hide later elements (the resolution list), so visibility is
    // read when each element is reached.
    for (UIElement* element : launcher.elements) {
        if (element->visible) {
            element->OnMouseUp(x, y);
        }
    }
}

void OnMouseWheel(HWND window, LauncherUI& launcher, WPARAM wParam, LPARAM lParam) {
    POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(window, &point);
    UIPatchNotes* view = launcher.patchNotesView;
    if (view == nullptr || !view->HitTest(point.x, point.y)) {
        return;
    }
    if (view->ScrollByWheel(GET_WHEEL_DELTA_WPARAM(wParam))) {
        RepaintWindow(window);
    }
}

LRESULT CALLBACK LauncherWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LauncherUI& launcher = TheLauncher();
    const int x = GET_X_LPARAM(lParam);
    const int y = GET_Y_LPARAM(lParam);
    switch (message) {
        case WM_CREATE:
            launcher.Initialize(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_PAINT:
            OnPaint(window, launcher);
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(window, launcher, x, y);
            return 0;
        case WM_LBUTTONDOWN:
            OnLeftButtonDown(window, launcher, x, y);
            return 0;
        case WM_LBUTTONUP:
            OnLeftButtonUp(launcher, x, y);
            return 0;
        case WM_MOUSEWHEEL:
            OnMouseWheel(window, launcher, wParam, lParam);
            return 0;
        case WM_LAUNCHER_STATUS:
            launcher.OnStatusMessage();
            return 0;
        case WM_TIMER:
            if (wParam == kStatusPaintTimer) {
                launcher.OnStatusPaintTimer();
                return 0;
            }
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_LAUNCHER_PATCHNOTES:
            launcher.OnPatchNotesMessage(lParam);
            return 0;
        case WM_LAUNCHER_READY:
            launcher.OnReadyMessage();
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

void RegisterLauncherWindowClass(HINSTANCE instance) {
    WNDCLASSW windowClass = {};
    windowClass.style = 0;
    windowClass.lpfnWndProc = LauncherWindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kProgramIconId),
                                                      IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = nullptr;
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = kLauncherWindowClass;
    RegisterClassW(&windowClass);
}

HWND CreateLauncherWindow(HINSTANCE instance) {
    return CreateWindowExW(WS_EX_COMPOSITED, kLauncherWindowClass, L"Vantora Online",
                           WS_POPUP | WS_VISIBLE, 100, 100, kLauncherWidth, kLauncherHeight,
                           nullptr, nullptr, instance, nullptr);
}

int RunLauncher(HINSTANCE instance) {
    MarkStartupStep("entry");
    GdiplusSession gdiplus;
    MarkStartupStep("GDI+ started");
    RegisterLauncherWindowClass(instance);
    HWND window = CreateLauncherWindow(instance);
    MarkStartupStep("window created");
    if (window == nullptr) {
        // Nothing to show and nothing to close: do not linger as a hidden process.
        TheLauncher().ReleaseScreen();
        return 1;
    }
    ShowWindow(window, SW_SHOW);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // The pictures and elements hold GDI+ objects: release them while GDI+ runs.
    TheLauncher().ReleaseScreen();
    return 0;
}
