#include "ui/label.h"

#include "ui/ui_font.h"

void UILabel::Draw(Gdiplus::Graphics& graphics) {
    const Gdiplus::FontFamily* family = UIFontFamily();
    if (!family || text.empty()) {
        return;
    }
    Gdiplus::Font font(family, fontSize, Gdiplus::FontStyleRegular, Gdiplus::UnitPoint);
    Gdiplus::SolidBrush brush{Gdiplus::Color(TextColor)};
    const Gdiplus::RectF area(static_cast<Gdiplus::REAL>(bounds.left),
                              static_cast<Gdiplus::REAL>(bounds.top),
                              static_cast<Gdiplus::REAL>(bounds.right - bounds.left),
                              static_cast<Gdiplus::REAL>(bounds.bottom - bounds.top));
    graphics.DrawString(text.c_str(), static_cast<INT>(text.size()), &font, area, nullptr, &brush);
}
