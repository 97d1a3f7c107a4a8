#pragma once

#include <windows.h>

#include "ui/artwork_png.h"

class LauncherUI;
namespace Gdiplus {
class Image;
class Bitmap;
}  // namespace Gdiplus

// What lies under the elements of every frame.
using Backdrop = ArgbPixels;

// The backdrop of width x height: background drawn to that size (a dark grey
// without one) and the translucent panel behind the patch notes over it.
Backdrop MakeBackdrop(Gdiplus::Image* background, int width, int height);

// Paints the part inside area of the launcher screen, width x height, into
// target: a fresh frame starting from the backdrop, every visible element
// that reaches into the part over it, copied band by band; nothing outside
// the part is touched. GDI+ must be running.
void PaintLauncher(LauncherUI& launcher, HDC target, int width, int height, const RECT& area);
