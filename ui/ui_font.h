#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

// The family every element draws its text with: "Segoe UI" where the system
// has it, else the first installed of a few common sans-serif families, else
// the system's generic sans-serif family. Null only when none of them exists;
// callers then draw no text. Looked up once (the first look-up costs the
// first frame about 10 ms under Wine) and kept until ReleaseUIFontFamily;
// any thread may ask.
const Gdiplus::FontFamily* UIFontFamily();

// Drops the family looked up; GdiplusSession does it before GDI+ shuts down.
void ReleaseUIFontFamily();
