#pragma once

#include <windows.h>

#include <vector>

// A hidden message-only window owned by the test's thread, to receive what
// the launcher posts to its main window.
class TestWindow {
  public:
    TestWindow();
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND handle() const { return window_; }

    // Removes and returns the messages of the given kind waiting in the
    // thread's queue for this window.
    std::vector<MSG> TakeMessages(UINT message);

  private:
    HWND window_ = nullptr;
};
