#include "app/wheel_scroll.h"

#include <algorithm>

int32_t WheelScrollOffset(int32_t scrollOffset, int32_t contentHeight, int32_t viewHeight,
                          int wheelDelta) {
    const int64_t maximum = std::max<int64_t>(0, int64_t{contentHeight} - viewHeight);
    int64_t offset = int64_t{scrollOffset} - wheelDelta / 2;
    offset = std::min(offset, maximum);
    offset = std::max<int64_t>(offset, 0);
    return static_cast<int32_t>(offset);
}
