// Prepares the drawn artwork as the launcher shows it, with the launcher's
// own drawing, and writes the results as PNG files:
//   scale_artwork.exe ART_FOLDER
// - the backdrop: the background drawn to the window's size with the notes
//   panel over it (MakeBackdrop);
// - a tile per icon: the icon drawn into its 48-pixel square over the
//   backdrop, as its button draws it.
// The launcher embeds these, so that its first frame needs no decoding of
// large pictures, no scaling and no blending for them, and looks exactly as
// when it drew the pictures itself. make-artwork.sh runs it under Wine.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/launcher_ui.h"
#include "app/screen_paint.h"
#include "ui/gdiplus_session.h"
#include "ui/png_file.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fwprintf(stderr, L"usage: scale_artwork ART_FOLDER\n");
        return 2;
    }
    GdiplusSession gdiplus;
    const std::wstring folder = argv[1];
    auto load = [&](const wchar_t* name) {
        return std::make_unique<Gdiplus::Bitmap>((folder + L"\\" + name).c_str());
    };
    // The backdrop: the background drawn to the window's size, the panel over it.
    const auto background = load(L"background.jpg");
    if (background->GetLastStatus() != Gdiplus::Ok) {
        std::fwprintf(stderr, L"cannot read background.jpg in %ls\n", folder.c_str());
        return 1;
    }
    Backdrop backdrop = MakeBackdrop(background.get(), kLauncherWidth, kLauncherHeight);
    Gdiplus::Bitmap window(kLauncherWidth, kLauncherHeight, kLauncherWidth * 4,
                           PixelFormat32bppARGB, reinterpret_cast<BYTE*>(backdrop.pixels.data()));
    bool ok = SavePng(window, folder + L"\\backdrop-1280x720.png");
    // Each icon drawn over the backdrop as its button draws it, then cut out:
    // an opaque tile, which the button draws without any blending.
    const wchar_t* const icons[kScreenIcons] = {L"emblem", L"community", L"document", L"social",
                                                L"certificate"};
    {
        Gdiplus::Graphics graphics(&window);
        graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        for (int i = 0; i < kScreenIcons; ++i) {
            const auto icon = load((std::wstring(icons[i]) + L".png").c_str());
            const RECT area = IconArea(i);
            ok = ok && icon->GetLastStatus() == Gdiplus::Ok &&
                 graphics.DrawImage(icon.get(),
                                    Gdiplus::Rect(area.left, area.top, area.right - area.left,
                                                  area.bottom - area.top)) == Gdiplus::Ok;
        }
    }
    for (int i = 0; ok && i < kScreenIcons; ++i) {
        const RECT area = IconArea(i);
        const Gdiplus::Rect square(area.left, area.top, area.right - area.left,
                                   area.bottom - area.top);
        std::unique_ptr<Gdiplus::Bitmap> tile(window.Clone(square, PixelFormat32bppARGB));
        ok = tile && SavePng(*tile, folder + L"\\" + icons[i] + L"-tile.png");
    }
    if (!ok) {
        std::fwprintf(stderr, L"could not prepare the artwork in %ls\n", folder.c_str());
    }
    return ok ? 0 : 1;
}
