#pragma once

#include <windows.h>

extern const wchar_t kLauncherWindowClass[];

// Registers the launcher's window class for instance.
void RegisterLauncherWindowClass(HINSTANCE instance);

// Creates the launcher window (1280 x 720 at 100, 100); its creation message
// builds the screen of TheLauncher() and starts the background work.
HWND CreateLauncherWindow(HINSTANCE instance);

// The whole program: GDI+, the window and its message loop. Returns 0 after
// the window was closed, 1 when it could not be created.
int RunLauncher(HINSTANCE instance);
