#pragma once

#include <windows.h>

#include <cstdint>

// Layout rules of the patch-notes view, kept apart from the drawing.

constexpr int kNotesTopPadding = 16;
constexpr int kNotesIndentStep = 22;
constexpr int kNotesTextInset = 22;        // text start from the content's left edge
constexpr int kNotesBulletTextInset = 37;  // the same after a bullet
constexpr int kNotesTextRightMargin = 20;
constexpr int kNotesTextBoxHeight = 1000;  // the most a text block can show
constexpr int kNotesMinTextAdvance = 22;
constexpr int kNotesToggleBarHeight = 28;
constexpr int kNotesToggleBarMaxWidth = 180;
constexpr int kNotesPictureTop = 34;  // below the toggle bar's top
constexpr int kNotesPictureMaxHeight = 480;
constexpr int kNotesCollapsedAdvance = 38;
constexpr int kNotesMissingImageAdvance = 60;
constexpr int kNotesPictureGap = 10;
constexpr int kNotesMinThumbLength = 36;

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
// fits its height. track is the hit area of the track, thumb the thumb.
bool ComputeScrollbar(const RECT& bounds, int contentHeight, int scrollOffset, RECT& track,
                      RECT& thumb);

// The offset that puts the thumb's top at thumbTop (limited to the track).
int ThumbTopToOffset(const RECT& track, int thumbLength, int thumbTop, int contentHeight,
                     int viewHeight);

// The offset after one wheel message: 60 pixels a notch (delta 120), turning
// away from the user scrolls up, kept between 0 and contentHeight - viewHeight
// (0 when the content is shorter than the view).
int32_t WheelScrollOffset(int32_t scrollOffset, int32_t contentHeight, int32_t viewHeight,
                          int wheelDelta);
