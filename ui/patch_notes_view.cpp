#include "ui/patch_notes_view.h"

#include <algorithm>

#include "ui/images.h"
#include "ui/patch_notes_layout.h"
#include "ui/ui_font.h"
#include "ui/window_repaint.h"

namespace {

constexpr Gdiplus::ARGB kPanelFill = 0xB4141414;
constexpr Gdiplus::ARGB kTrackFill = 0x78000000;
constexpr Gdiplus::ARGB kThumbFill = 0xDCB4B4B4;
constexpr float kToggleLabelSize = 12.0f;  // points
constexpr float kUnavailableSize = 13.0f;  // points
constexpr int kBulletSize = 5;
constexpr int kBulletTop = 8;

Gdiplus::Rect ToGdiRect(const RECT& area) {
    return Gdiplus::Rect(static_cast<INT>(area.left), static_cast<INT>(area.top),
                         static_cast<INT>(area.right - area.left),
                         static_cast<INT>(area.bottom - area.top));
}

Gdiplus::RectF FloatRect(int left, int top, int width, int height) {
    return Gdiplus::RectF(static_cast<Gdiplus::REAL>(left), static_cast<Gdiplus::REAL>(top),
                          static_cast<Gdiplus::REAL>(width), static_cast<Gdiplus::REAL>(height));
}

// The GDI+ objects one paint of the view uses.
struct NotesPaint {
    NotesPaint()
        : family(UIFontFamily()),
          text(Gdiplus::Color(TextColor)),
          accent(Gdiplus::Color(AccentColor)),
          toggleBar(Gdiplus::Color(ControlFillColor)),
          frame(Gdiplus::Color(AccentColor), 1.0f) {
        format.SetTrimming(Gdiplus::StringTrimmingWord);
        format.SetFormatFlags(Gdiplus::StringFormatFlagsLineLimit);
    }

    // The height text takes in box; 0 without a font.
    float Measure(Gdiplus::Graphics& graphics, const std::wstring& line, float size, INT style,
                  const Gdiplus::RectF& box) {
        if (!family || line.empty()) {
            return 0.0f;
        }
        Gdiplus::Font font(family, size, style, Gdiplus::UnitPoint);
        Gdiplus::RectF measured;
        if (graphics.MeasureString(line.c_str(), static_cast<INT>(line.size()), &font, box, &format,
                                   &measured) != Gdiplus::Ok) {
            return 0.0f;
        }
        return measured.Height;
    }

    void Draw(Gdiplus::Graphics& graphics, const std::wstring& line, float size, INT style,
              const Gdiplus::RectF& box) {
        if (!family || line.empty()) {
            return;
        }
        Gdiplus::Font font(family, size, style, Gdiplus::UnitPoint);
        graphics.DrawString(line.c_str(), static_cast<INT>(line.size()), &font, box, &format,
                            &text);
    }

    const Gdiplus::FontFamily* family;
    Gdiplus::StringFormat format;
    Gdiplus::SolidBrush text;
    Gdiplus::SolidBrush accent;
    Gdiplus::SolidBrush toggleBar;
    Gdiplus::Pen frame;
};

// The picture at the size the view shows it at (FitPatchImage), scaled once:
// a paint then copies it, the same in every band, instead of scaling it
// again. The picture itself when it is shown at its own size or cannot be
// scaled.
std::shared_ptr<Gdiplus::Bitmap> AtShownSize(std::shared_ptr<Gdiplus::Bitmap> picture,
                                             int availableWidth) {
    if (!picture) {
        return nullptr;
    }
    const SIZE shown = FitPatchImage(static_cast<int>(picture->GetWidth()),
                                     static_cast<int>(picture->GetHeight()), availableWidth);
    if (shown.cx == static_cast<LONG>(picture->GetWidth()) &&
        shown.cy == static_cast<LONG>(picture->GetHeight())) {
        return picture;
    }
    auto scaled = std::make_shared<Gdiplus::Bitmap>(shown.cx, shown.cy, PixelFormat32bppARGB);
    if (scaled->GetLastStatus() != Gdiplus::Ok) {
        return picture;
    }
    Gdiplus::Graphics graphics(scaled.get());
    if (graphics.GetLastStatus() != Gdiplus::Ok ||
        graphics.DrawImage(picture.get(), Gdiplus::Rect(0, 0, shown.cx, shown.cy)) != Gdiplus::Ok) {
        return picture;
    }
    return scaled;
}

// Pixels that antialiasing may reach beyond a block's laid-out rows.
constexpr int kDrawSlack = 16;

}  // namespace

float UIPatchNotes::KnownHeight(size_t index, INT style, Gdiplus::REAL width) const {
    if (index >= measured_.size()) {
        return -1.0f;
    }
    const MeasuredText& known = measured_[index];
    const PatchNoteBlock& block = blocks[index];
    const bool same = known.text == block.text && known.fontSize == block.fontSize &&
                      known.style == style && known.width == width;
    return same ? known.height : -1.0f;
}

void UIPatchNotes::RememberHeight(size_t index, INT style, Gdiplus::REAL width, float height) {
    if (measured_.size() < blocks.size()) {
        measured_.resize(blocks.size());
    }
    const PatchNoteBlock& block = blocks[index];
    measured_[index] = {block.text, block.fontSize, style, width, height};
}

void UIPatchNotes::Draw(Gdiplus::Graphics& graphics) {
    {
        Gdiplus::SolidBrush panel{Gdiplus::Color(kPanelFill)};
        graphics.FillRectangle(&panel, ToGdiRect(bounds));
    }
    const Gdiplus::GraphicsState saved = graphics.Save();
    graphics.SetClip(ToGdiRect(bounds));

    // Rows this paint can show; blocks outside them are laid out, not drawn.
    Gdiplus::RectF shown;
    graphics.GetVisibleClipBounds(&shown);
    const auto isShown = [&shown](int top, int bottom) {
        return bottom + kDrawSlack > shown.Y && top - kDrawSlack < shown.Y + shown.Height;
    };

    NotesPaint paint;
    clickAreas.clear();
    const int origin = static_cast<int>(bounds.top) - scrollOffset;
    int y = origin + kNotesTopPadding;
    for (size_t index = 0; index < blocks.size(); ++index) {
        const PatchNoteBlock& block = blocks[index];
        y += block.spaceBefore;
        const int top = y;
        const int left = static_cast<int>(bounds.left) + kNotesIndentStep * block.indent;

        if (!block.image) {
            if (block.bullet) {
                graphics.FillEllipse(&paint.accent, left + kNotesTextInset, top + kBulletTop,
                                     kBulletSize, kBulletSize);
            }
            const int textStart = left + (block.bullet ? kNotesBulletTextInset : kNotesTextInset);
            const Gdiplus::RectF box = FloatRect(
                textStart, top, static_cast<int>(bounds.right) - kNotesTextRightMargin - textStart,
                kNotesTextBoxHeight);
            const INT style = block.bold ? Gdiplus::FontStyleBold : Gdiplus::FontStyleRegular;
            float height = KnownHeight(index, style, box.Width);
            if (height < 0) {
                height = paint.Measure(graphics, block.text, block.fontSize, style, box);
                RememberHeight(index, style, box.Width, height);
            }
            const int advance = TextBlockAdvance(height, block.bold);
            if (isShown(top, top + advance)) {
                paint.Draw(graphics, block.text, block.fontSize, style, box);
            }
            y = top + advance + block.spaceAfter;
            continue;
        }

        PatchImageData& image = *block.image;
        const int available = AvailableImageWidth(bounds, left);
        const int barLeft = left + kNotesTextInset;
        const int barWidth = std::min(kNotesToggleBarMaxWidth, available);
        graphics.FillRectangle(&paint.toggleBar, barLeft, top, barWidth, kNotesToggleBarHeight);
        graphics.DrawRectangle(&paint.frame, barLeft, top, barWidth, kNotesToggleBarHeight);
        paint.Draw(graphics, image.expanded ? L"[ - ] Hide image" : L"[ + ] Show image",
                   kToggleLabelSize, Gdiplus::FontStyleBold,
                   FloatRect(left + 30, top + 2, barWidth - 16, 24));
        clickAreas.push_back(
            {RECT{barLeft, top, barLeft + barWidth, top + kNotesToggleBarHeight}, block.image});

        if (!image.expanded) {
            y = top + kNotesCollapsedAdvance + block.spaceAfter;
            continue;
        }
        // A picture that cannot be decoded fails once; the window repaints on
        // every status text of an update.
        if (!image.bitmap && !image.undecodable) {
            image.bitmap = AtShownSize(decode(image), available);
            image.undecodable = !image.bitmap;
        }
        const int pictureTop = top + kNotesPictureTop;
        if (image.bitmap) {
            const SIZE drawn =
                FitPatchImage(static_cast<int>(image.bitmap->GetWidth()),
                              static_cast<int>(image.bitmap->GetHeight()), available);
            if (isShown(pictureTop, pictureTop + drawn.cy)) {
                graphics.DrawImage(image.bitmap.get(),
                                   Gdiplus::Rect(barLeft, pictureTop, drawn.cx, drawn.cy));
            }
            clickAreas.push_back(
                {RECT{barLeft, pictureTop, barLeft + drawn.cx, pictureTop + drawn.cy},
                 block.image});
            y = pictureTop + drawn.cy + kNotesPictureGap + block.spaceAfter;
        } else {
            paint.Draw(graphics, L"Image unavailable", kUnavailableSize, Gdiplus::FontStyleItalic,
                       FloatRect(barLeft, pictureTop, available, 24));
            clickAreas.push_back({RECT{barLeft, pictureTop, bounds.right - kNotesTextRightMargin,
                                       top + kNotesMissingImageAdvance},
                                  block.image});
            y = top + kNotesMissingImageAdvance + block.spaceAfter;
        }
    }
    contentHeight = y - origin;
    graphics.Restore(saved);

    RECT track;
    RECT thumb;
    if (GetScrollbarRects(track, thumb)) {
        Gdiplus::SolidBrush trackFill{Gdiplus::Color(kTrackFill)};
        Gdiplus::SolidBrush thumbFill{Gdiplus::Color(kThumbFill)};
        graphics.FillRectangle(&trackFill, ToGdiRect({bounds.right - 9, bounds.top + 6,
                                                      bounds.right - 6, bounds.bottom - 6}));
        graphics.FillRectangle(&thumbFill, ToGdiRect(thumb));
    }
}

bool UIPatchNotes::GetScrollbarRects(RECT& track, RECT& thumb) const {
    return ComputeScrollbar(bounds, contentHeight, scrollOffset, track, thumb);
}

void UIPatchNotes::OnMouseDown(int x, int y) {
    hovered = HitTest(x, y);
    RECT track;
    RECT thumb;
    const POINT point = {x, y};
    if (!GetScrollbarRects(track, thumb) || !PtInRect(&track, point)) {
        return;
    }
    const int thumbLength = thumb.bottom - thumb.top;
    if (PtInRect(&thumb, point)) {
        dragOffset = y - thumb.top;
    } else {
        dragOffset = thumbLength / 2;
        ScrollThumbTo(y - dragOffset);
    }
    dragging = true;
    Invalidate();
}

bool UIPatchNotes::OnMouseMove(int x, int y) {
    hovered = HitTest(x, y);
    RECT track;
    RECT thumb;
    if (dragging && GetScrollbarRects(track, thumb)) {
        ScrollThumbTo(y - dragOffset);
        Invalidate();
    }
    return hovered;
}

void UIPatchNotes::OnMouseUp(int x, int y) {
    if (dragging) {
        dragging = false;
        return;
    }
    if (!HitTest(x, y)) {
        return;
    }
    RECT track;
    RECT thumb;
    const POINT point = {x, y};
    if (GetScrollbarRects(track, thumb) && PtInRect(&track, point)) {
        return;
    }
    for (const ClickArea& area : clickAreas) {
        if (PtInRect(&area.rect, point)) {
            area.image->expanded = !area.image->expanded;
            Invalidate();
            return;
        }
    }
}

void UIPatchNotes::SetBlocks(std::vector<PatchNoteBlock> newBlocks) {
    blocks = std::move(newBlocks);
    scrollOffset = 0;
    Invalidate();
}

bool UIPatchNotes::ScrollByWheel(int wheelDelta) {
    const int32_t offset = WheelScrollOffset(scrollOffset, contentHeight, Height(), wheelDelta);
    if (offset == scrollOffset) {
        return false;
    }
    scrollOffset = offset;
    return true;
}

void UIPatchNotes::ScrollThumbTo(int thumbTop) {
    RECT track;
    RECT thumb;
    if (!GetScrollbarRects(track, thumb)) {
        return;
    }
    scrollOffset =
        ThumbTopToOffset(track, thumb.bottom - thumb.top, thumbTop, contentHeight, Height());
}

void UIPatchNotes::Invalidate() const {
    if (window) {
        RepaintWindow(window);
    }
}
