#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

// The family every element draws its text with: "Segoe UI" where the system
// has it, else the first installed of a few common sans-serif families, else
// the system's generic sans-serif family. Null only when none of them exists;
// callers then draw no text. Made per frame, like every GDI+ drawing object.
std::unique_ptr<Gdiplus::FontFamily> CreateUIFontFamily();
