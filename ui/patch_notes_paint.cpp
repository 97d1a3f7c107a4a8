#include "ui/patch_notes_paint.h"

#include "ui/element.h"

namespace {

constexpr Gdiplus::ARGB kPanelFill = 0xB4141414;
constexpr Gdiplus::ARGB kTrackFill = 0x78000000;
constexpr Gdiplus::ARGB kThumbFill = 0xDCB4B4B4;
constexpr float kToggleLabelSize = 12.0f;  // points
constexpr float kUnavailableSize = 13.0f;  // points

// Pixels that antialiasing may reach beyond a block's laid-out rows.
constexpr int kDrawSlack = 16;

Gdiplus::Rect ToGdiRect(const RECT& area) {
    return Gdiplus::Rect(static_cast<INT>(area.left), static_cast<INT>(area.top),
                         static_cast<INT>(area.right - area.left),
                         static_cast<INT>(area.bottom - area.top));
}

// The brushes and the pen of one paint of the blocks, and the rows it shows.
struct BlockPaint {
    explicit BlockPaint(Gdiplus::Graphics& target)
        : graphics(target),
          text(Gdiplus::Color(TextColor)),
          accent(Gdiplus::Color(AccentColor)),
          toggleBar(Gdiplus::Color(ControlFillColor)),
          frame(Gdiplus::Color(AccentColor), 1.0f) {
        graphics.GetVisibleClipBounds(&shown);
    }

    bool IsShown(LONG top, LONG bottom) const {
        return bottom + kDrawSlack > shown.Y && top - kDrawSlack < shown.Y + shown.Height;
    }

    Gdiplus::Graphics& graphics;
    Gdiplus::RectF shown;
    Gdiplus::SolidBrush text;
    Gdiplus::SolidBrush accent;
    Gdiplus::SolidBrush toggleBar;
    Gdiplus::Pen frame;
};

void PaintText(BlockPaint& paint, const NotesText& text, const PatchNoteBlock& block,
               const NotesBlockPlace& place) {
    if (!IsRectEmpty(&place.bullet)) {
        const Gdiplus::Rect dot = ToGdiRect(place.bullet);
        paint.graphics.FillEllipse(&paint.accent, dot.X, dot.Y, dot.Width, dot.Height);
    }
    if (paint.IsShown(place.text.top, place.textBottom)) {
        const INT style = block.bold ? Gdiplus::FontStyleBold : Gdiplus::FontStyleRegular;
        text.Draw(paint.graphics, block.text, block.fontSize, style, ToGdiRectF(place.text),
                  paint.text);
    }
}

void PaintImage(BlockPaint& paint, const NotesText& text, const PatchImageData& image,
                const NotesBlockPlace& place) {
    const Gdiplus::Rect bar = ToGdiRect(place.bar);
    paint.graphics.FillRectangle(&paint.toggleBar, bar.X, bar.Y, bar.Width, bar.Height);
    paint.graphics.DrawRectangle(&paint.frame, bar.X, bar.Y, bar.Width, bar.Height);
    text.Draw(paint.graphics, image.expanded ? L"[ - ] Hide image" : L"[ + ] Show image",
              kToggleLabelSize, Gdiplus::FontStyleBold, ToGdiRectF(place.label), paint.text);
    if (place.kind == NotesBlockKind::Picture) {
        if (paint.IsShown(place.picture.top, place.picture.bottom)) {
            paint.graphics.DrawImage(image.bitmap.get(), ToGdiRect(place.picture));
        }
    } else if (place.kind == NotesBlockKind::NoPicture) {
        text.Draw(paint.graphics, L"Image unavailable", kUnavailableSize, Gdiplus::FontStyleItalic,
                  ToGdiRectF(place.text), paint.text);
    }
}

}  // namespace

void PaintPatchNotes(Gdiplus::Graphics& graphics, const NotesText& text, const RECT& bounds,
                     const std::vector<PatchNoteBlock>& blocks, const NotesLayout& layout) {
    {
        Gdiplus::SolidBrush panel{Gdiplus::Color(kPanelFill)};
        graphics.FillRectangle(&panel, ToGdiRect(bounds));
    }
    const Gdiplus::GraphicsState saved = graphics.Save();
    graphics.SetClip(ToGdiRect(bounds));
    {
        BlockPaint paint(graphics);
        for (const NotesBlockPlace& place : layout.places) {
            const PatchNoteBlock& block = blocks[place.index];
            if (place.kind == NotesBlockKind::Text) {
                PaintText(paint, text, block, place);
            } else {
                PaintImage(paint, text, *block.image, place);
            }
        }
    }
    graphics.Restore(saved);

    if (layout.hasScrollbar) {
        Gdiplus::SolidBrush trackFill{Gdiplus::Color(kTrackFill)};
        Gdiplus::SolidBrush thumbFill{Gdiplus::Color(kThumbFill)};
        graphics.FillRectangle(&trackFill, ToGdiRect(layout.scrollbar.groove));
        graphics.FillRectangle(&thumbFill, ToGdiRect(layout.scrollbar.thumb));
    }
}
