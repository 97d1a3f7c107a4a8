#pragma once

#include <windows.h>

#include <memory>

// Messages the background worker posts to the main window. The payload of a
// patch-notes message belongs to the window from the moment it is posted.
constexpr UINT WM_LAUNCHER_STATUS = WM_APP + 1;      // no payload: texts wait in the StatusMailbox
constexpr UINT WM_LAUNCHER_PATCHNOTES = WM_APP + 2;  // lParam: new std::vector<PatchNoteBlock>
constexpr UINT WM_LAUNCHER_READY = WM_APP + 3;       // no payload

// Posts message with payload, which belongs to the receiver from then on;
// when the message cannot be posted (the window is gone) the payload is
// freed here. post has the form of PostMessageW for the main window.
template <typename Payload, typename Post>
void PostPayload(const Post& post, UINT message, std::unique_ptr<Payload> payload) {
    if (post(message, 0, reinterpret_cast<LPARAM>(payload.get()))) {
        payload.release();
    }
}
