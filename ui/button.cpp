#include "ui/button.h"

#include "ui/ui_font.h"

namespace {

constexpr Gdiplus::ARGB kFillHovered = 0xFF3A4248;
constexpr Gdiplus::ARGB kFillDisabled = 0xFF232323;
constexpr Gdiplus::ARGB kBorderNormal = 0x96737D84;
constexpr Gdiplus::REAL kCornerBox = 12.0f;  // bounding square of each corner arc
constexpr Gdiplus::REAL kTextSize = 13.0f;   // pixels

}  // namespace

void UIButton::Draw(Gdiplus::Graphics& graphics) {
    const Gdiplus::REAL x = static_cast<Gdiplus::REAL>(bounds.left);
    const Gdiplus::REAL y = static_cast<Gdiplus::REAL>(bounds.top);
    const Gdiplus::REAL w = static_cast<Gdiplus::REAL>(bounds.right - bounds.left);
    const Gdiplus::REAL h = static_cast<Gdiplus::REAL>(bounds.bottom - bounds.top);

    const Gdiplus::ARGB fill =
        enabled ? (hovered ? kFillHovered : ControlFillColor) : kFillDisabled;
    Gdiplus::SolidBrush fillBrush{Gdiplus::Color(fill)};
    Gdiplus::Pen border(Gdiplus::Color(hovered ? AccentColor : kBorderNormal),
                        hovered ? 2.0f : 1.0f);

    Gdiplus::GraphicsPath path;
    path.AddArc(x, y, kCornerBox, kCornerBox, 180.0f, 90.0f);
    path.AddArc(x + w - kCornerBox, y, kCornerBox, kCornerBox, 270.0f, 90.0f);
    path.AddArc(x + w - kCornerBox, y + h - kCornerBox, kCornerBox, kCornerBox, 0.0f, 90.0f);
    path.AddArc(x, y + h - kCornerBox, kCornerBox, kCornerBox, 90.0f, 90.0f);
    path.CloseFigure();
    graphics.FillPath(&fillBrush, &path);
    graphics.DrawPath(&border, &path);

    const Gdiplus::FontFamily* family = UIFontFamily();
    if (!family || text.empty()) {
        return;
    }
    Gdiplus::Font font(family, kTextSize, Gdiplus::FontStyleBold, Gdiplus::UnitPixel);
    Gdiplus::SolidBrush textBrush{Gdiplus::Color(TextColor)};
    Gdiplus::StringFormat format;
    format.SetAlignment(Gdiplus::StringAlignmentCenter);
    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    const Gdiplus::RectF area(x, y, w, h);
    graphics.DrawString(text.c_str(), static_cast<INT>(text.size()), &font, area, &format,
                        &textBrush);
}

void UIButton::OnMouseUp(int x, int y) {
    if (enabled && HitTest(x, y) && onClick) {
        onClick();
    }
}
