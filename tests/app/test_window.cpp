#include "tests/app/test_window.h"

TestWindow::TestWindow() {
    window_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
}

TestWindow::~TestWindow() {
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
}

std::vector<MSG> TestWindow::TakeMessages(UINT message) {
    std::vector<MSG> taken;
    MSG msg;
    while (PeekMessageW(&msg, window_, message, message, PM_REMOVE)) {
        taken.push_back(msg);
    }
    return taken;
}
