#include "ui/patch_notes_layout.h"

#include <gtest/gtest.h>

TEST(WheelScroll, SixtyPixelsANotchWithinTheContent) {
    struct Case {
        int32_t offset, content, view, delta, expected;
    };
    const Case cases[] = {
        {0, 2000, 440, -120, 60},                                      // towards the user: down
        {120, 2000, 440, 120, 60},                                     // away from the user: up
        {0, 2000, 440, 120, 0},                                        // already at the top
        {1540, 2000, 440, -120, 1560}, {1560, 2000, 440, -120, 1560},  // at the end
        {0, 300, 440, -120, 0},  // content shorter than the view
        {0, 2000, 440, -1, 0},   // half a pixel truncates toward zero
        {0, 2000, 440, -3, 1},         {100, 2000, 440, -240, 220},   {50, 2000, 440, 360, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WheelScrollOffset(c.offset, c.content, c.view, c.delta), c.expected)
            << c.offset << " " << c.content << " " << c.delta;
    }
}
