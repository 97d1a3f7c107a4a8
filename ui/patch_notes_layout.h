#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "patchnotes/patch_notes.h"

// Layout rules of the patch-notes view, kept apart from the drawing.

constexpr int kNotesTopPadding = 16;
constexpr int kNotesIndentStep = 22;
constexpr int kNotesTextInset = 22;        // text start from the content's left edge
constexpr int kNotesBulletTextInset = 37;  // the same after a bullet
constexpr int kNotesTextRightMargin = 20;
constexpr int kNotesTextBoxHeight = 1000;  // the most a text block can show
constexpr int kNotesMinTextAdvance = 22;
constexpr int kNotesBoldTextExtra = 8;  // added to a bold block's measured height
constexpr int kNotesTextExtra = 4;      // added to a regular block's
constexpr int kNotesBulletTop = 8;      // below the block top
constexpr int kNotesBulletSize = 5;
constexpr int kNotesToggleBarHeight = 28;
constexpr int kNotesToggleBarMaxWidth = 180;
constexpr int kNotesToggleLabelInset = 8;  // the label keeps this far from both ends of the bar
constexpr int kNotesToggleLabelTop = 2;
constexpr int kNotesToggleLabelHeight = 24;
constexpr int kNotesPictureTop = 34;  // below the toggle bar's top
constexpr int kNotesPictureMaxHeight = 480;
constexpr int kNotesPictureGap = 10;  // below a picture
constexpr int kNotesCollapsedAdvance = 38;
constexpr int kNotesMissingImageAdvance = 60;
constexpr int kNotesUnavailableTextHeight = 24;
// An image's width leaves the text inset on its left and the text margin on
// its right.
constexpr int kNotesImageMargins = kNotesTextInset + kNotesTextRightMargin;

// The scroll bar, from the view's right edge (pixels to the left of it) and
// from its top and bottom.
constexpr int kNotesTrackEnds = 6;  // the track keeps this far from the top and the bottom
constexpr int kNotesTrackLeft = 9;  // the painted track
constexpr int kNotesTrackWidth = 3;
constexpr int kNotesTrackHitLeft = 18;  // the track's hit area
constexpr int kNotesTrackHitRight = 3;
constexpr int kNotesThumbLeft = 14;
constexpr int kNotesThumbWidth = 10;
constexpr int kNotesMinThumbLength = 36;

// Where an image toggle (its bar, or its picture) was drawn in the last paint;
// a click there flips the image's expanded flag.
struct ClickArea {
    RECT rect = {0, 0, 0, 0};
    std::shared_ptr<PatchImageData> image;
};

// How the view shows one block.
enum class NotesBlockKind {
    Text,            // a text line, heading, list item or spacer
    CollapsedImage,  // the toggle bar alone
    Picture,         // the toggle bar and the picture below it
    NoPicture,       // the toggle bar and "Image unavailable"
};

// Where one block lands in the view, in client pixels.
struct NotesBlockPlace {
    size_t index = 0;  // into the view's blocks
    NotesBlockKind kind = NotesBlockKind::Text;
    RECT bullet = {};    // a text block's bullet dot; empty without one
    RECT text = {};      // a text block's layout box, or the box of "Image unavailable"
    int textBottom = 0;  // where a text block's laid-out rows end
    RECT bar = {};       // an image block's toggle bar
    RECT label = {};     // the box of the toggle bar's label
    RECT picture = {};   // where the picture is drawn
};

// The thin scroll bar at the view's right edge.
struct NotesScrollbar {
    RECT track = {};   // the track's hit area
    RECT groove = {};  // the painted track
    RECT thumb = {};
};

// Everything a paint of the view draws and what its clicks hit.
struct NotesLayout {
    std::vector<NotesBlockPlace> places;
    std::vector<ClickArea> clickAreas;
    int contentHeight = 0;  // from the top padding to the end of the last block
    bool hasScrollbar = false;
    NotesScrollbar scrollbar;
};

// Pixels a text block takes from its top (before its spaceAfter): the
// measured height plus 8 when bold or 4 otherwise, at least 22.
int TextBlockAdvance(float measuredHeight, bool bold);

// Width an image may take: bounds.right - the content's left edge - 42, at
// least 1.
int AvailableImageWidth(const RECT& bounds, int contentLeft);

// Size a bw x bh picture is drawn at: shrunk to fit availableWidth wide and
// 480 high with its aspect kept, never enlarged, at least 1 x 1.
SIZE FitPatchImage(int bw, int bh, int availableWidth);

// The scroll bar of a view with these bounds, or false when contentHeight
// fits its height.
bool ComputeScrollbar(const RECT& bounds, int contentHeight, int scrollOffset, NotesScrollbar& bar);

// The offset that puts the thumb's top at thumbTop (limited to the track).
int ThumbTopToOffset(const RECT& track, int thumbLength, int thumbTop, int contentHeight,
                     int viewHeight);

// The offset after one wheel message: 60 pixels a notch (delta 120), turning
// away from the user scrolls up, kept between 0 and contentHeight - viewHeight
// (0 when the content is shorter than the view).
int32_t WheelScrollOffset(int32_t scrollOffset, int32_t contentHeight, int32_t viewHeight,
                          int wheelDelta);
