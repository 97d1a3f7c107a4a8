#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <string>

// The text of one paint of the patch-notes view: the UI font family and one
// string format that shows only whole lines, the last one ending at a word.
// Made for the frame and dropped at its end.
class NotesText {
  public:
    NotesText();
    NotesText(const NotesText&) = delete;
    NotesText& operator=(const NotesText&) = delete;

    // The height line takes in box; 0 without a font.
    float Measure(Gdiplus::Graphics& graphics, const std::wstring& line, float size, INT style,
                  const Gdiplus::RectF& box) const;
    void Draw(Gdiplus::Graphics& graphics, const std::wstring& line, float size, INT style,
              const Gdiplus::RectF& box, const Gdiplus::Brush& brush) const;

  private:
    const Gdiplus::FontFamily* family_;
    Gdiplus::StringFormat format_;
};

// area (client pixels) as the box text is laid out in.
Gdiplus::RectF ToGdiRectF(const RECT& area);
