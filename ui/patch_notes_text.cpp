#include "ui/patch_notes_text.h"

#include "ui/ui_font.h"

NotesText::NotesText() : family_(UIFontFamily()) {
    format_.SetTrimming(Gdiplus::StringTrimmingWord);
    format_.SetFormatFlags(Gdiplus::StringFormatFlagsLineLimit);
}

float NotesText::Measure(Gdiplus::Graphics& graphics, const std::wstring& line, float size,
                         INT style, const Gdiplus::RectF& box) const {
    if (!family_ || line.empty()) {
        return 0.0f;
    }
    Gdiplus::Font font(family_, size, style, Gdiplus::UnitPoint);
    Gdiplus::RectF measured;
    if (graphics.MeasureString(line.c_str(), static_cast<INT>(line.size()), &font, box, &format_,
                               &measured) != Gdiplus::Ok) {
        return 0.0f;
    }
    return measured.Height;
}

void NotesText::Draw(Gdiplus::Graphics& graphics, const std::wstring& line, float size, INT style,
                     const Gdiplus::RectF& box, const Gdiplus::Brush& brush) const {
    if (!family_ || line.empty()) {
        return;
    }
    Gdiplus::Font font(family_, size, style, Gdiplus::UnitPoint);
    graphics.DrawString(line.c_str(), static_cast<INT>(line.size()), &font, box, &format_, &brush);
}

Gdiplus::RectF ToGdiRectF(const RECT& area) {
    return Gdiplus::RectF(static_cast<Gdiplus::REAL>(area.left),
                          static_cast<Gdiplus::REAL>(area.top),
                          static_cast<Gdiplus::REAL>(area.right - area.left),
                          static_cast<Gdiplus::REAL>(area.bottom - area.top));
}
