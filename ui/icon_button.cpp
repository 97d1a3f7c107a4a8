#include "ui/icon_button.h"

namespace {

constexpr Gdiplus::ARGB kHoverFrame = 0x78FFFFFF;

}  // namespace

void UIIconButton::Draw(Gdiplus::Graphics& graphics) {
    if (!icon) {
        return;
    }
    const Gdiplus::Rect area(static_cast<INT>(bounds.left), static_cast<INT>(bounds.top),
                             static_cast<INT>(bounds.right - bounds.left),
                             static_cast<INT>(bounds.bottom - bounds.top));
    graphics.DrawImage(icon, area);
    if (hovered) {
        Gdiplus::Pen frame(Gdiplus::Color(kHoverFrame), 1.0f);
        graphics.DrawRectangle(&frame, area);
    }
}

void UIIconButton::OnMouseUp(int x, int y) {
    if (HitTest(x, y) && onClick) {
        onClick();
    }
}
