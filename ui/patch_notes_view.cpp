#include "ui/patch_notes_view.h"

#include <algorithm>
#include <utility>

#include "ui/images.h"
#include "ui/patch_notes_paint.h"
#include "ui/patch_notes_text.h"
#include "ui/window_repaint.h"

namespace {

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
    const NotesText text;
    NotesLayout layout = LayOut(graphics, text);
    PaintPatchNotes(graphics, text, bounds, blocks, layout);
    contentHeight = layout.contentHeight;
    clickAreas = std::move(layout.clickAreas);
}

NotesLayout UIPatchNotes::LayOut(Gdiplus::Graphics& graphics, const NotesText& text) {
    NotesLayout layout;
    const int origin = static_cast<int>(bounds.top) - scrollOffset;
    int y = origin + kNotesTopPadding;
    for (size_t index = 0; index < blocks.size(); ++index) {
        const PatchNoteBlock& block = blocks[index];
        y += block.spaceBefore;
        const int left = static_cast<int>(bounds.left) + kNotesIndentStep * block.indent;
        NotesBlockPlace place;
        place.index = index;
        y = block.image ? PlaceImage(index, left, y, place, layout.clickAreas)
                        : PlaceText(graphics, text, index, left, y, place);
        y += block.spaceAfter;
        layout.places.push_back(place);
    }
    layout.contentHeight = y - origin;
    layout.hasScrollbar =
        ComputeScrollbar(bounds, layout.contentHeight, scrollOffset, layout.scrollbar);
    return layout;
}

int UIPatchNotes::PlaceText(Gdiplus::Graphics& graphics, const NotesText& text, size_t index,
                            int left, int top, NotesBlockPlace& place) {
    const PatchNoteBlock& block = blocks[index];
    if (block.bullet) {
        const int dotLeft = left + kNotesTextInset;
        const int dotTop = top + kNotesBulletTop;
        place.bullet = {dotLeft, dotTop, dotLeft + kNotesBulletSize, dotTop + kNotesBulletSize};
    }
    const int textStart = left + (block.bullet ? kNotesBulletTextInset : kNotesTextInset);
    place.text = {textStart, top, bounds.right - kNotesTextRightMargin, top + kNotesTextBoxHeight};
    const Gdiplus::RectF box = ToGdiRectF(place.text);
    const INT style = block.bold ? Gdiplus::FontStyleBold : Gdiplus::FontStyleRegular;
    float height = KnownHeight(index, style, box.Width);
    if (height < 0) {
        height = text.Measure(graphics, block.text, block.fontSize, style, box);
        RememberHeight(index, style, box.Width, height);
    }
    place.textBottom = top + TextBlockAdvance(height, block.bold);
    return place.textBottom;
}

int UIPatchNotes::PlaceImage(size_t index, int left, int top, NotesBlockPlace& place,
                             std::vector<ClickArea>& areas) {
    const std::shared_ptr<PatchImageData>& shared = blocks[index].image;
    PatchImageData& image = *shared;
    const int available = AvailableImageWidth(bounds, left);
    const int barLeft = left + kNotesTextInset;
    const int barWidth = std::min(kNotesToggleBarMaxWidth, available);
    place.bar = {barLeft, top, barLeft + barWidth, top + kNotesToggleBarHeight};
    const int labelTop = top + kNotesToggleLabelTop;
    place.label = {barLeft + kNotesToggleLabelInset, labelTop,
                   barLeft + barWidth - kNotesToggleLabelInset, labelTop + kNotesToggleLabelHeight};
    areas.push_back({place.bar, shared});
    if (!image.expanded) {
        place.kind = NotesBlockKind::CollapsedImage;
        return top + kNotesCollapsedAdvance;
    }
    // A picture that cannot be decoded fails once; the window repaints on
    // every status text of an update.
    if (!image.bitmap && !image.undecodable) {
        image.bitmap = AtShownSize(decode(image), available);
        image.undecodable = !image.bitmap;
    }
    const int pictureTop = top + kNotesPictureTop;
    if (image.bitmap) {
        const SIZE drawn = FitPatchImage(static_cast<int>(image.bitmap->GetWidth()),
                                         static_cast<int>(image.bitmap->GetHeight()), available);
        place.kind = NotesBlockKind::Picture;
        place.picture = {barLeft, pictureTop, barLeft + drawn.cx, pictureTop + drawn.cy};
        areas.push_back({place.picture, shared});
        return pictureTop + drawn.cy + kNotesPictureGap;
    }
    place.kind = NotesBlockKind::NoPicture;
    place.text = {barLeft, pictureTop, barLeft + available,
                  pictureTop + kNotesUnavailableTextHeight};
    const int bottom = top + kNotesMissingImageAdvance;
    areas.push_back(
        {RECT{barLeft, pictureTop, bounds.right - kNotesTextRightMargin, bottom}, shared});
    return bottom;
}

bool UIPatchNotes::GetScrollbarRects(RECT& track, RECT& thumb) const {
    NotesScrollbar bar;
    if (!ComputeScrollbar(bounds, contentHeight, scrollOffset, bar)) {
        return false;
    }
    track = bar.track;
    thumb = bar.thumb;
    return true;
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
