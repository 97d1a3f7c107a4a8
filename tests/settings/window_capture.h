#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Saves the client area of a painted window, child controls included, as a
// PNG file. The pixels come from the window's own device context, so other
// windows in front of it do not show.
bool SaveClientAreaPng(HWND window, const std::wstring& path);

// The client area's pixels (32-bit, top row first), captured the same way.
bool CaptureClientPixels(HWND window, std::vector<uint32_t>& pixels);
