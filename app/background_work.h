#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/status_mailbox.h"
#include "common/message_box.h"

class Updater;

// What the background work takes from the outside world; tests replace them.
struct BackgroundWorkHooks {
    // GET of a path on the game web site into body.
    std::function<bool(const std::wstring& path, std::vector<uint8_t>& body)> fetchPage;
    // One update run of a prepared Updater.
    std::function<bool(Updater& updater)> runUpdate;
    // Hands a message to the main window; false when it could not be posted.
    std::function<bool(UINT message, WPARAM wParam, LPARAM lParam)> post;
    MessageBoxFunction messageBox;
    // Where status texts wait for the window (which takes them on
    // WM_LAUNCHER_STATUS); shared with it.
    std::shared_ptr<StatusMailbox> statusMailbox;

    // The production hooks for the main window: the game web site, the real
    // update, PostMessageW to window, the system's message box and the
    // window's status mailbox.
    static BackgroundWorkHooks ForWindow(HWND window, std::shared_ptr<StatusMailbox> mailbox);
};

// The worker's whole job, on the calling thread: patch notes, update run, the
// file-check fallback and one final state, every step reported through
// hooks.post. gameDirectory ends with a backslash.
void RunBackgroundWork(HWND window, const std::wstring& gameDirectory,
                       const BackgroundWorkHooks& hooks);

// The status text of a failed update blocked by a running program.
std::wstring RunningExecutableWarning(const std::wstring& runningExecutablePath);
