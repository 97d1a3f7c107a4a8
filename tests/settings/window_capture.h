#pragma once

#include <windows.h>

#include <string>

// Saves the client area of a painted window, child controls included, as a
// PNG file. The pixels come from the window's own device context, so other
// windows in front of it do not show.
bool SaveClientAreaPng(HWND window, const std::wstring& path);
