#include "ui/progress_bar.h"

#include "ui/single_precision.h"

namespace {

constexpr Gdiplus::ARGB kTrackFill = 0xD214181B;
constexpr Gdiplus::ARGB kOutline = 0x96737D84;
constexpr Gdiplus::ARGB kBarFill = 0xFF00A0DC;

}  // namespace

void UIProgressBar::Draw(Gdiplus::Graphics& graphics) {
    const INT left = static_cast<INT>(bounds.left);
    const INT top = static_cast<INT>(bounds.top);
    const INT w = static_cast<INT>(bounds.right - bounds.left);
    const INT h = static_cast<INT>(bounds.bottom - bounds.top);
    Gdiplus::SolidBrush track{Gdiplus::Color(kTrackFill)};
    Gdiplus::Pen outline(Gdiplus::Color(kOutline), 1.0f);
    graphics.FillRectangle(&track, left, top, w, h);
    graphics.DrawRectangle(&outline, left, top, w, h);

    const INT filled = static_cast<INT>(SinglePrecision(static_cast<float>(w) * progress));
    if (filled > 0) {
        Gdiplus::SolidBrush bar{Gdiplus::Color(kBarFill)};
        graphics.FillRectangle(&bar, left, top, filled, h);
    }
}
