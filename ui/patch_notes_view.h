#pragma once

#include "ui/element.h"
#include "ui/images.h"
#include "ui/patch_notes_layout.h"
#include "patchnotes/patch_notes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class NotesText;

// The patch-notes panel: word-wrapped text blocks, bullets, headings and
// collapsible images over a translucent fill, with a thin scroll bar. Every
// paint lays out everything first (decoding the pictures it shows), then
// draws what the paint can show from that layout and remembers where the
// toggles landed.
class UIPatchNotes : public UIElement {
  public:
    UIPatchNotes() = default;
    explicit UIPatchNotes(const RECT& area) : UIElement(area) {}

    void Draw(Gdiplus::Graphics& graphics) override;
    bool OnMouseMove(int x, int y) override;  // drags the scroll thumb
    void OnMouseDown(int x, int y) override;  // grabs the thumb or jumps along the track
    void OnMouseUp(int x, int y) override;    // ends a drag or toggles an image

    // The track's hit area and the thumb, in client pixels. False when the
    // content fits the view and there is no scroll bar.
    bool GetScrollbarRects(RECT& track, RECT& thumb) const;

    // Replaces the content whole, scrolls to the top and repaints.
    void SetBlocks(std::vector<PatchNoteBlock> newBlocks);

    // Scrolls by a mouse-wheel delta (120 a notch, 60 pixels), kept between
    // the top and the end of the content. True when the offset changed; the
    // caller repaints then.
    bool ScrollByWheel(int wheelDelta);

    std::vector<PatchNoteBlock> blocks;
    int32_t scrollOffset = 0;   // content pixels scrolled above the view's top
    int32_t contentHeight = 0;  // height of the laid-out content, written by Draw
    HWND window = nullptr;      // invalidated after input; may be null
    std::vector<ClickArea> clickAreas;
    bool dragging = false;
    int32_t dragOffset = 0;                       // thumb top to pointer when the drag began
    PatchImageDecoder decode = DecodePatchImage;  // tests count the attempts

  private:
    // A text block's measured height, kept while its text, size, style and
    // width stay the same: a paint in bands lays the notes out once per band.
    struct MeasuredText {
        std::wstring text;
        float fontSize = 0.0f;
        INT style = 0;
        Gdiplus::REAL width = 0.0f;
        float height = -1.0f;
    };
    // The remembered height of blocks[index] in a box width wide; -1 when it
    // must be measured.
    float KnownHeight(size_t index, INT style, Gdiplus::REAL width) const;
    void RememberHeight(size_t index, INT style, Gdiplus::REAL width, float height);
    std::vector<MeasuredText> measured_;

    // Where every block lands at the current offset, its click areas, the
    // content height and the scroll bar.
    NotesLayout LayOut(Gdiplus::Graphics& graphics, const NotesText& text);
    // Place blocks[index] with its top at top and its content's left edge at
    // left; each gives the bottom of what the block shows.
    int PlaceText(Gdiplus::Graphics& graphics, const NotesText& text, size_t index, int left,
                  int top, NotesBlockPlace& place);
    int PlaceImage(size_t index, int left, int top, NotesBlockPlace& place,
                   std::vector<ClickArea>& areas);

    int Height() const { return static_cast<int>(bounds.bottom - bounds.top); }
    void ScrollThumbTo(int thumbTop);
    void Invalidate() const;
};
