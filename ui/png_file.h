#pragma once

// PNG files written with GDI+'s own encoder, for the artwork tool
// (resources/scale_artwork.cpp) and for pictures of what the launcher drew.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <string>

// The class id of GDI+'s PNG encoder; false when GDI+ has none.
bool FindPngEncoder(CLSID* encoder);

// Writes image as a PNG file.
bool SavePng(Gdiplus::Image& image, const std::wstring& path);
