#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

// Hands the worker's status texts to the window with at most one
// WM_LAUNCHER_STATUS message in flight. A download reports every network
// read; posting each would wake the window tens of thousands of times, while
// it only ever shows the newest text. So a text waits here, and a progress
// text ("Downloading... 7% ...") replaces the waiting one of the same step;
// any other text queues behind it, so the last text of every step reaches
// the window, in order.
class StatusMailbox {
  public:
    // Posts WM_LAUNCHER_STATUS to the window; false when it could not.
    using PostFunction = std::function<bool()>;

    // Worker side: leaves text for the window and posts a message unless one
    // is already on its way. When the post fails (the window is gone) the
    // waiting texts are dropped.
    void Put(const std::wstring& text, const PostFunction& post);

    // Window side, on WM_LAUNCHER_STATUS: every waiting text, oldest first.
    // The next Put posts again.
    std::vector<std::wstring> Take();

  private:
    std::mutex mutex_;
    std::vector<std::wstring> waiting_;
    bool posted_ = false;
};
