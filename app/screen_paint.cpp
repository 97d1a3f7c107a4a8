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

void PaintLauncher(LauncherUI& launcher, HDC target, int width, int height) {
    PaintLauncher(launcher, target, width, height, RECT{0, 0, width, height});
}

void PaintLauncher(LauncherUI& launcher, HDC target, int width, int height, const RECT& area) {
    const RECT window = {0, 0, width, height};
    RECT part = {};
    if (!IntersectRect(&part, &window, &area)) {
        return;
    }
    const int partWidth = part.right - part.left;
    const int partHeight = part.bottom - part.top;
    DibBuffer buffer(target, partWidth, partHeight);
    if (buffer.bits() == nullptr) {
        return;
    }
    // The backdrop never changes: each frame starts as a copy of it.
    const Backdrop* backdrop = launcher.CurrentBackdrop();
    Backdrop grey;
    if (!backdrop || backdrop->width != width || backdrop->height != height) {
        grey = MakeBackdrop(nullptr, width, height);
        backdrop = &grey;
    }
    uint32_t* pixels = static_cast<uint32_t*>(buffer.bits());
    for (int y = part.top; y < part.bottom; ++y) {
        std::memcpy(pixels + static_cast<size_t>(y - part.top) * partWidth,
                    &backdrop->pixels[static_cast<size_t>(y) * width + part.left],
                    static_cast<size_t>(partWidth) * 4);
    }
    Gdiplus::Bitmap frame = Over(pixels, partWidth, partHeight);
    {
        Gdiplus::Graphics graphics(&frame);
        graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        graphics.TranslateTransform(static_cast<Gdiplus::REAL>(-part.left),
                                    static_cast<Gdiplus::REAL>(-part.top));
        RECT overlap = {};
        for (UIElement* element : launcher.elements) {
            if (element->visible && IntersectRect(&overlap, &element->bounds, &part)) {
                element->Draw(graphics);
            }
        }
    }
    GdiFlush();
    // The background scaled to the window leaves its last column and row
    // translucent. They show over black, so that every frame shows them
    // alike, whatever an earlier frame left beneath them.
    for (int y = part.top; y < part.bottom; ++y) {
        uint32_t* row = pixels + static_cast<size_t>(y - part.top) * partWidth;
        if (y == height - 1) {
            std::transform(row, row + partWidth, row, OverBlack);
        } else if (part.right == width) {
            row[partWidth - 1] = OverBlack(row[partWidth - 1]);
        }
    }
    BitBlt(target, part.left, part.top, partWidth, partHeight, buffer.dc(), 0, 0, SRCCOPY);
}
