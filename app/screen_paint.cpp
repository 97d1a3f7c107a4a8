#include "app/screen_paint.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "app/launcher_ui.h"
#include "ui/dib_buffer.h"
#include "ui/element.h"

namespace {

constexpr Gdiplus::ARGB kFallbackBackground = 0xFF0F0F0F;
constexpr Gdiplus::ARGB kPanelFill = 0xB4000000;

// A GDI+ bitmap that draws into pixels it does not own.
Gdiplus::Bitmap Over(void* pixels, int width, int height) {
    return Gdiplus::Bitmap(width, height, width * 4, PixelFormat32bppARGB,
                           static_cast<BYTE*>(pixels));
}

// A straight ARGB pixel as it shows over black: premultiplied.
uint32_t OverBlack(uint32_t pixel) {
    const uint32_t alpha = pixel >> 24;
    const uint32_t red = (((pixel >> 16) & 0xFF) * alpha + 127) / 255;
    const uint32_t green = (((pixel >> 8) & 0xFF) * alpha + 127) / 255;
    const uint32_t blue = ((pixel & 0xFF) * alpha + 127) / 255;
    return alpha << 24 | red << 16 | green << 8 | blue;
}

// Rows a paint buffer holds at most: 1280 x 90 pixels take 450 KiB.
constexpr int kBandRows = 90;

// Paints band (window pixels) into buffer's top rows: the backdrop and every
// visible element that reaches into it. The background scaled to the window
// leaves its last column and row translucent. They show over black, so that
// every frame shows them alike, whatever an earlier frame left beneath them.
void PaintBand(LauncherUI& launcher, const Backdrop& backdrop, const DibBuffer& buffer,
               const RECT& band) {
    const int width = backdrop.width;
    const int height = backdrop.height;
    const int bandWidth = band.right - band.left;
    const int bandHeight = band.bottom - band.top;
    uint32_t* pixels = static_cast<uint32_t*>(buffer.bits());
    for (int y = band.top; y < band.bottom; ++y) {
        std::memcpy(pixels + static_cast<size_t>(y - band.top) * bandWidth,
                    &backdrop.pixels[static_cast<size_t>(y) * width + band.left],
                    static_cast<size_t>(bandWidth) * 4);
    }
    Gdiplus::Bitmap frame = Over(pixels, bandWidth, bandHeight);
    {
        Gdiplus::Graphics graphics(&frame);
        graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        graphics.TranslateTransform(static_cast<Gdiplus::REAL>(-band.left),
                                    static_cast<Gdiplus::REAL>(-band.top));
        RECT overlap = {};
        for (UIElement* element : launcher.elements) {
            if (element->visible && IntersectRect(&overlap, &element->bounds, &band)) {
                element->Draw(graphics);
            }
        }
    }
    GdiFlush();
    for (int y = band.top; y < band.bottom; ++y) {
        uint32_t* row = pixels + static_cast<size_t>(y - band.top) * bandWidth;
        if (y == height - 1) {
            std::transform(row, row + bandWidth, row, OverBlack);
        } else if (band.right == width) {
            row[bandWidth - 1] = OverBlack(row[bandWidth - 1]);
        }
    }
}

}  // namespace

Backdrop MakeBackdrop(Gdiplus::Image* background, int width, int height) {
    Backdrop backdrop;
    backdrop.width = width;
    backdrop.height = height;
    backdrop.pixels.assign(static_cast<size_t>(width) * height, 0);
    Gdiplus::Bitmap target = Over(backdrop.pixels.data(), width, height);
    Gdiplus::Graphics graphics(&target);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    if (background) {
        graphics.DrawImage(background, 0, 0, width, height);
    } else {
        Gdiplus::SolidBrush fallback{Gdiplus::Color(kFallbackBackground)};
        graphics.FillRectangle(&fallback, 0, 0, width, height);
    }
    Gdiplus::SolidBrush panel{Gdiplus::Color(kPanelFill)};
    graphics.FillRectangle(&panel, 90, 80, 650, 500);
    return backdrop;
}

void PaintLauncher(LauncherUI& launcher, HDC target, int width, int height, const RECT& area) {
    const RECT window = {0, 0, width, height};
    RECT part = {};
    if (!IntersectRect(&part, &window, &area)) {
        return;
    }
    // The backdrop never changes: each frame starts as a copy of it.
    const Backdrop* backdrop = launcher.CurrentBackdrop();
    Backdrop grey;
    if (!backdrop || backdrop->width != width || backdrop->height != height) {
        grey = MakeBackdrop(nullptr, width, height);
        backdrop = &grey;
    }
    // A large part is painted in bands of rows through one small buffer;
    // every pixel is written once, with its final value.
    const int partWidth = part.right - part.left;
    const int bandHeight = std::min<int>(kBandRows, part.bottom - part.top);
    DibBuffer buffer(target, partWidth, bandHeight);
    if (buffer.bits() == nullptr) {
        return;
    }
    for (LONG top = part.top; top < part.bottom; top += bandHeight) {
        const RECT band = {part.left, top, part.right,
                           std::min<LONG>(top + bandHeight, part.bottom)};
        PaintBand(launcher, *backdrop, buffer, band);
        BitBlt(target, band.left, band.top, partWidth, band.bottom - band.top, buffer.dc(), 0, 0,
               SRCCOPY);
    }
}
