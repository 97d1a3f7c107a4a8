#include "ui/patch_notes_layout.h"

#include <algorithm>

#include "ui/single_precision.h"

int TextBlockAdvance(float measuredHeight, bool bold) {
    const int extra = bold ? kNotesBoldTextExtra : kNotesTextExtra;
    return std::max(kNotesMinTextAdvance, extra + static_cast<int>(measuredHeight));
}

int AvailableImageWidth(const RECT& bounds, int contentLeft) {
    return std::max(1, static_cast<int>(bounds.right) - contentLeft - kNotesImageMargins);
}

SIZE FitPatchImage(int bw, int bh, int availableWidth) {
    bw = std::max(1, bw);
    bh = std::max(1, bh);
    float scale = std::min(SinglePrecision(static_cast<float>(availableWidth) / bw), 1.0f);
    scale = std::min(SinglePrecision(static_cast<float>(kNotesPictureMaxHeight) / bh), scale);
    SIZE drawn;
    drawn.cx = std::max(1, static_cast<int>(SinglePrecision(bw * scale)));
    drawn.cy = std::max(1, static_cast<int>(SinglePrecision(bh * scale)));
    return drawn;
}

bool ComputeScrollbar(const RECT& bounds, int contentHeight, int scrollOffset,
                      NotesScrollbar& bar) {
    const int h = static_cast<int>(bounds.bottom - bounds.top);
    if (contentHeight <= h) {
        return false;
    }
    const int trackLength = std::max(h - 2 * kNotesTrackEnds, 1);
    const int thumbLength =
        std::min(std::max(h * h / contentHeight, kNotesMinThumbLength), trackLength);
    const long long travel = std::max(trackLength - thumbLength, 1);
    // Collapsing an image can leave the offset past the new end of the
    // content; the thumb then rests at the end of its track instead of
    // running off it over whatever lies below the view.
    const long long shownOffset = std::clamp(scrollOffset, 0, contentHeight - h);
    const LONG trackTop = bounds.top + kNotesTrackEnds;
    const LONG trackBottom = bounds.bottom - kNotesTrackEnds;
    const LONG thumbTop =
        trackTop + static_cast<LONG>(travel * shownOffset / std::max(contentHeight - h, 1));
    bar.track = {bounds.right - kNotesTrackHitLeft, trackTop, bounds.right - kNotesTrackHitRight,
                 trackBottom};
    bar.groove = {bounds.right - kNotesTrackLeft, trackTop,
                  bounds.right - kNotesTrackLeft + kNotesTrackWidth, trackBottom};
    bar.thumb = {bounds.right - kNotesThumbLeft, thumbTop,
                 bounds.right - kNotesThumbLeft + kNotesThumbWidth, thumbTop + thumbLength};
    return true;
}

int ThumbTopToOffset(const RECT& track, int thumbLength, int thumbTop, int contentHeight,
                     int viewHeight) {
    const int a = static_cast<int>(track.top);
    const int b = static_cast<int>(track.bottom);
    const long long along = std::max(a, std::min(thumbTop, b - thumbLength)) - a;
    const long long range = std::max(contentHeight - viewHeight, 0);
    return static_cast<int>(along * range / std::max(b - a - thumbLength, 1));
}

int32_t WheelScrollOffset(int32_t scrollOffset, int32_t contentHeight, int32_t viewHeight,
                          int wheelDelta) {
    const int64_t maximum = std::max<int64_t>(0, int64_t{contentHeight} - viewHeight);
    int64_t offset = int64_t{scrollOffset} - wheelDelta / 2;
    offset = std::min(offset, maximum);
    offset = std::max<int64_t>(offset, 0);
    return static_cast<int32_t>(offset);
}
