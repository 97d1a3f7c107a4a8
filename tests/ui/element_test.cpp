#include "ui/element.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/ui/canvas.h"
#include "ui/button.h"
#include "ui/icon_button.h"
#include "ui/label.h"
#include "ui/progress_bar.h"
#include "ui/ui_font.h"

namespace {

constexpr RECT kButtonArea = {790, 635, 1050, 685};

TEST(UIElementHitTest, LeftAndTopEdgesInsideRightAndBottomOutside) {
    UILabel label({10, 20, 110, 70}, L"x");
    struct Case {
        int x, y;
        bool hit;
    };
    const Case cases[] = {{10, 20, true},   {109, 69, true}, {60, 45, true},  {110, 45, false},
                          {60, 70, false},  {9, 45, false},  {60, 19, false}, {110, 70, false},
                          {-10, 20, false}, {10, -70, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(label.HitTest(c.x, c.y), c.hit) << c.x << "," << c.y;
        EXPECT_EQ(label.OnMouseMove(c.x, c.y), c.hit) << c.x << "," << c.y;
        EXPECT_EQ(label.hovered, c.hit) << c.x << "," << c.y;
    }
}

TEST(UIElementHitTest, MovingFromOneButtonToAnotherMovesTheHover) {
    UIButton first({0, 0, 100, 40}, L"A");
    UIButton second({100, 0, 200, 40}, L"B");
    first.OnMouseMove(50, 20);
    second.OnMouseMove(50, 20);
    ASSERT_TRUE(first.hovered);
    ASSERT_FALSE(second.hovered);
    first.OnMouseMove(150, 20);
    second.OnMouseMove(150, 20);
    EXPECT_FALSE(first.hovered);
    EXPECT_TRUE(second.hovered);
}

TEST(UIElementClick, ButtonClicksOnReleaseOnlyWhenEnabledAndHit) {
    struct Case {
        bool enabled;
        int x, y;
        int clicks;
    };
    const Case cases[] = {{true, 800, 640, 1},   // inside
                          {false, 800, 640, 0},  // disabled
                          {true, 1050, 640, 0},  // right edge
                          {true, 790, 635, 1},   // top-left corner
                          {true, 100, 100, 0}};  // elsewhere
    for (const Case& c : cases) {
        int clicks = 0;
        UIButton button(kButtonArea, L"START GAME", [&clicks] { ++clicks; });
        button.enabled = c.enabled;
        button.OnMouseUp(c.x, c.y);
        EXPECT_EQ(clicks, c.clicks) << c.enabled << " " << c.x << "," << c.y;
    }
    UIButton withoutCallback(kButtonArea, L"X");
    withoutCallback.OnMouseUp(800, 640);  // nothing to call, nothing happens
}

TEST(UIElementClick, PressesAreNotTracked) {
    int clicks = 0;
    UIButton button(kButtonArea, L"START GAME", [&clicks] { ++clicks; });
    button.OnMouseDown(10, 10);  // pressed elsewhere
    button.OnMouseUp(800, 640);
    EXPECT_EQ(clicks, 1);
    button.OnMouseDown(800, 640);  // pressed on it, released elsewhere
    button.OnMouseUp(10, 10);
    EXPECT_EQ(clicks, 1);
}

TEST(UIElementClick, IconButtonIgnoresEnabledAndNeedsACallback) {
    int clicks = 0;
    UIIconButton icon({10, 10, 58, 58}, nullptr, [&clicks] { ++clicks; });
    icon.enabled = false;
    icon.OnMouseUp(20, 20);
    EXPECT_EQ(clicks, 1);
    icon.OnMouseUp(58, 20);
    EXPECT_EQ(clicks, 1);
    UIIconButton silent({10, 10, 58, 58}, nullptr);
    silent.OnMouseUp(20, 20);
}

class UIElementDraw : public GdiplusTest {};

TEST_F(UIElementDraw, ButtonFillAndBorderFollowTheState) {
    struct Case {
        const char* name;
        bool enabled, hovered;
        Gdiplus::ARGB fill;
        Gdiplus::ARGB border;  // 0: not checked
    };
    const Case cases[] = {{"normal", true, false, 0xEB1F2428, 0},
                          {"hovered", true, true, 0xFF3A4248, AccentColor},
                          {"disabled", false, false, 0xFF232323, 0},
                          {"disabled and hovered", false, true, 0xFF232323, AccentColor}};
    for (const Case& c : cases) {
        Canvas canvas;
        UIButton button(kButtonArea, L"START GAME");
        button.enabled = c.enabled;
        button.hovered = c.hovered;
        button.Draw(canvas.graphics());
        // Inside, away from the rounded corners and the centred text.
        EXPECT_TRUE(NearColour(canvas.Pixel(800, 675), c.fill))
            << c.name << ": " << ColourText(canvas.Pixel(800, 675));
        EXPECT_TRUE(NearColour(canvas.Pixel(1040, 645), c.fill)) << c.name;
        EXPECT_EQ(canvas.Pixel(787, 660) >> 24, 0u) << c.name << ": drawn outside";
        if (c.border != 0) {
            EXPECT_TRUE(NearColour(canvas.Pixel(920, 635), c.border, 8))
                << c.name << ": " << ColourText(canvas.Pixel(920, 635));
            EXPECT_TRUE(NearColour(canvas.Pixel(790, 660), c.border, 8)) << c.name;
        } else {
            EXPECT_FALSE(NearColour(canvas.Pixel(920, 635), AccentColor, 40)) << c.name;
        }
    }
}

TEST_F(UIElementDraw, TextIsDrawnInTextColourEvenWithoutSegoeUI) {
    Gdiplus::FontFamily segoe(L"Segoe UI");
    const bool segoeMissing = segoe.GetLastStatus() != Gdiplus::Ok;
    const Gdiplus::FontFamily* family = UIFontFamily();
    ASSERT_NE(family, nullptr);
    WCHAR name[LF_FACESIZE] = {};
    family->GetFamilyName(name);
    if (segoeMissing) {
        EXPECT_STRNE(name, L"Segoe UI");
    } else {
        EXPECT_STREQ(name, L"Segoe UI");
    }

    Canvas canvas;
    UIButton button(kButtonArea, L"START GAME");
    UILabel label({100, 88, 680, 122}, L"LATEST PATCH NOTES");
    label.fontSize = 22.0f;
    UILabel empty({100, 300, 680, 340}, L"");
    button.Draw(canvas.graphics());
    label.Draw(canvas.graphics());
    empty.Draw(canvas.graphics());
    EXPECT_GT(canvas.CountNear(kButtonArea, TextColor, 12), 20) << "family " << name;
    EXPECT_GT(canvas.CountNear(label.bounds, TextColor, 12), 40) << "family " << name;
    EXPECT_EQ(canvas.CountNear(empty.bounds, 0, 0), 580 * 40) << "an empty label draws nothing";
}

TEST_F(UIElementDraw, ProgressBarFillsTheTruncatedFraction) {
    struct Case {
        float progress;
        int filled;
    };
    // 0.7 and 0.9 of 610 fall a hair below 427 and 549 in wider precision.
    const Case cases[] = {{0.5f, 305},  {0.0f, 0},   {1.0f, 610}, {0.999f, 609},
                          {0.0015f, 0}, {0.7f, 427}, {0.9f, 549}};
    for (const Case& c : cases) {
        Canvas canvas;
        UIProgressBar bar({90, 650, 700, 670});
        bar.progress = c.progress;
        bar.Draw(canvas.graphics());
        const RECT row = {90, 660, 700, 661};
        EXPECT_EQ(canvas.CountNear(row, 0xFF00A0DC, 2), c.filled) << c.progress;
        if (c.filled < 608) {
            EXPECT_TRUE(NearColour(canvas.Pixel(90 + c.filled + 1, 660), 0xD214181B))
                << c.progress << ": " << ColourText(canvas.Pixel(90 + c.filled + 1, 660));
        }
    }
}

TEST_F(UIElementDraw, IconButtonFramesOnlyAHoveredIcon) {
    Gdiplus::Bitmap red(8, 8, PixelFormat32bppARGB);
    {
        Gdiplus::Graphics g(&red);
        g.Clear(Gdiplus::Color(0xFFC00000));
    }
    const RECT area = {70, 10, 118, 58};
    struct Case {
        bool withIcon, hovered;
    };
    for (const Case c : {Case{true, false}, Case{true, true}, Case{false, true}}) {
        Canvas canvas;
        UIIconButton button(area, c.withIcon ? &red : nullptr);
        button.hovered = c.hovered;
        button.Draw(canvas.graphics());
        const RECT middle = {80, 20, 108, 48};
        if (!c.withIcon) {
            EXPECT_EQ(canvas.CountNear({60, 0, 128, 68}, 0, 0), 68 * 68) << "no icon, no frame";
            continue;
        }
        EXPECT_EQ(canvas.CountNear(middle, 0xFFC00000), 28 * 28) << "stretched icon";
        // The 0x78FFFFFF frame lightens the red of the left edge.
        const unsigned green = (canvas.Pixel(70, 30) >> 8) & 0xFF;
        if (c.hovered) {
            EXPECT_GT(green, 0x30u) << ColourText(canvas.Pixel(70, 30));
        } else {
            EXPECT_LT(green, 0x08u) << ColourText(canvas.Pixel(70, 30));
        }
    }
}

}  // namespace
