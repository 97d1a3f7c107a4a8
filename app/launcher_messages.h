#pragma once

#include <windows.h>

// Messages the background worker posts to the main window. The payload of a
// status or patch-notes message belongs to the window from the moment it is
// posted.
constexpr UINT WM_LAUNCHER_STATUS = WM_APP + 1;      // lParam: new std::wstring
constexpr UINT WM_LAUNCHER_PATCHNOTES = WM_APP + 2;  // lParam: new std::vector<PatchNoteBlock>
constexpr UINT WM_LAUNCHER_READY = WM_APP + 3;       // no payload
