#pragma once

#include <cstdint>

// The patch-notes offset after one wheel message: 60 pixels a notch (delta
// 120), turning away from the user scrolls up, kept between 0 and
// contentHeight - viewHeight (0 when the content is shorter than the view).
int32_t WheelScrollOffset(int32_t scrollOffset, int32_t contentHeight, int32_t viewHeight,
                          int wheelDelta);
