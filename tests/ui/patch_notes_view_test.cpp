#include "ui/patch_notes_view.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/ui/canvas.h"
#include "ui/patch_notes_layout.h"
#include "ui/ui_font.h"

namespace {

constexpr RECT kView = {90, 130, 740, 570};  // 650 x 440, as on the launcher screen

PatchNoteBlock Text(const std::wstring& text, bool bold = false, int spaceBefore = 0,
                    int spaceAfter = 0) {
    PatchNoteBlock block;
    block.text = text;
    block.bold = bold;
    block.spaceBefore = spaceBefore;
    block.spaceAfter = spaceAfter;
    return block;
}

PatchNoteBlock Image(std::vector<uint8_t> bytes, bool expanded = true, int indent = 0) {
    PatchNoteBlock block;
    block.image = std::make_shared<PatchImageData>();
    block.image->bytes = std::move(bytes);
    block.image->expanded = expanded;
    block.indent = indent;
    block.spaceBefore = 6;
    block.spaceAfter = 8;
    return block;
}

// Draws the view once into a canvas of the window's size.
void Paint(UIPatchNotes& view) {
    Canvas canvas;
    view.Draw(canvas.graphics());
}

TEST(PatchNotesLayout, PicturesShrinkToFitAndNeverGrow) {
    struct Case {
        int bw, bh, available;
        LONG width, height;
    };
    const Case cases[] = {
        {1600, 900, 608, 608, 342}, {200, 100, 608, 200, 100},  {300, 2000, 608, 72, 480},
        {608, 480, 608, 608, 480},  {5000, 10, 608, 608, 1},    {10, 5000, 608, 1, 480},
        {0, 0, 608, 1, 1},          {1600, 900, 586, 586, 329}, {100, 100, 1, 1, 1},
    };
    for (const Case& c : cases) {
        const SIZE drawn = FitPatchImage(c.bw, c.bh, c.available);
        EXPECT_EQ(drawn.cx, c.width) << c.bw << "x" << c.bh << " in " << c.available;
        EXPECT_EQ(drawn.cy, c.height) << c.bw << "x" << c.bh << " in " << c.available;
    }
}

TEST(PatchNotesLayout, TextBlocksAdvanceAtLeast22) {
    struct Case {
        float measured;
        bool bold;
        int advance;
    };
    const Case cases[] = {{0.0f, false, 22}, {0.0f, true, 22},     {17.9f, false, 22},
                          {14.0f, true, 22}, {18.0f, false, 22},   {30.7f, false, 34},
                          {30.7f, true, 38}, {999.9f, false, 1003}};
    for (const Case& c : cases) {
        EXPECT_EQ(TextBlockAdvance(c.measured, c.bold), c.advance) << c.measured << " " << c.bold;
    }
}

class PatchNotesView : public GdiplusTest {};

TEST_F(PatchNotesView, ContentHeightAddsUpTheBlocks) {
    struct Case {
        const char* name;
        std::vector<PatchNoteBlock> blocks;
        int contentHeight;
    };
    const Case cases[] = {
        {"no blocks", {}, 16},
        {"spacer", {Text(L"")}, 16 + 22},
        {"spacing", {Text(L"", false, 3, 5)}, 16 + 3 + 22 + 5},
        {"collapsed image", {Image({}, false)}, 16 + 6 + 38 + 8},
        {"missing image", {Image({})}, 16 + 6 + 60 + 8},
        {"garbage image", {Image({'x', 'y'})}, 16 + 6 + 60 + 8},
        {"200 x 100", {Image(MakePngBytes(200, 100))}, 16 + 6 + 34 + 100 + 10 + 8},
        {"300 x 2000", {Image(MakePngBytes(300, 2000))}, 16 + 6 + 34 + 480 + 10 + 8},
        {"1600 x 900", {Image(MakePngBytes(1600, 900))}, 16 + 6 + 34 + 342 + 10 + 8},
        {"indented 1600 x 900", {Image(MakePngBytes(1600, 900), true, 1)}, 16 + 6 + 34 + 329 + 18},
        {"collapsed 1600 x 900", {Image(MakePngBytes(1600, 900), false)}, 16 + 6 + 38 + 8},
        {"spacer and collapsed", {Text(L""), Image({}, false)}, 16 + 22 + 6 + 38 + 8},
    };
    for (const Case& c : cases) {
        UIPatchNotes view(kView);
        view.blocks = c.blocks;
        view.scrollOffset = 0;
        Paint(view);
        EXPECT_EQ(view.contentHeight, c.contentHeight) << c.name;
        // The scroll offset moves the content, not its height.
        view.scrollOffset = 40;
        Paint(view);
        EXPECT_EQ(view.contentHeight, c.contentHeight) << c.name << " scrolled";
    }
}

TEST_F(PatchNotesView, PicturesLandBelowTheirToggleBar) {
    UIPatchNotes view(kView);
    view.blocks = {Image(MakePngBytes(1600, 900)), Image(MakePngBytes(200, 100), true, 2),
                   Image({})};
    Paint(view);
    ASSERT_EQ(view.clickAreas.size(), 6u);
    const int top = 130 + 16 + 6;
    const RECT expected[] = {
        {112, top, 112 + 180, top + 28},               // bar
        {112, top + 34, 112 + 608, top + 34 + 342},    // 1600 x 900 shown 608 x 342
        {156, top + 400, 156 + 180, top + 400 + 28},   // indent 2: 44 further right
        {156, top + 434, 156 + 200, top + 434 + 100},  // 200 x 100 at its own size
        {112, top + 558, 112 + 180, top + 558 + 28},   // bar of the missing image
        {112, top + 592, 740 - 20, top + 558 + 60},    // "Image unavailable"
    };
    for (size_t i = 0; i < view.clickAreas.size(); ++i) {
        const RECT& r = view.clickAreas[i].rect;
        EXPECT_TRUE(EqualRect(&r, &expected[i]))
            << i << ": " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
        EXPECT_EQ(view.clickAreas[i].image, view.blocks[i / 2].image) << i;
    }
}

TEST_F(PatchNotesView, BulletItemsAreIndentedBehindTheirDot) {
    UIPatchNotes headingOnly(kView);
    headingOnly.blocks = {Text(L"Heading", true)};
    Paint(headingOnly);
    const int itemTop = 130 + headingOnly.contentHeight;  // where the next block starts

    PatchNoteBlock item = Text(L"Item text", false, 0, 2);
    item.bullet = true;
    item.indent = 1;
    UIPatchNotes view(kView);
    view.blocks = {Text(L"Heading", true), item};
    Canvas canvas;
    view.Draw(canvas.graphics());
    // The dot sits 22 right of the indented edge (90 + 22), 8 below the block's top.
    const int dotX = 90 + 22 + 22 + 2;
    const int dotY = itemTop + 8 + 2;
    EXPECT_TRUE(NearColour(canvas.Pixel(dotX, dotY), AccentColor, 8))
        << ColourText(canvas.Pixel(dotX, dotY));
    // Its text starts 37 right of the edge: no text before that.
    EXPECT_EQ(canvas.CountNear({90, itemTop, 90 + 22 + 37, itemTop + 22}, TextColor, 40), 0);
    EXPECT_GT(canvas.CountNear({90 + 22 + 37, itemTop, 720, itemTop + 22}, TextColor, 12), 10);
    EXPECT_GT(canvas.CountNear({112, 146, 720, itemTop}, TextColor, 12), 10) << "heading";
}

TEST_F(PatchNotesView, TextBlockShowsAtMostAThousandPixelsOfWholeLines) {
    std::wstring text;
    for (int i = 0; i < 400; ++i) {
        text += L"Line " + std::to_wstring(i) + L" of a very long note\n";
    }
    const RECT tall = {0, 0, 650, 1300};
    UIPatchNotes view(tall);
    view.blocks = {Text(text)};
    Canvas canvas(650, 1300);
    view.Draw(canvas.graphics());
    const int advance = view.contentHeight - 16;
    EXPECT_LE(advance, 1000 + 4);
    EXPECT_GT(advance, 900);
    // Nothing of the text below its 1000-pixel box, and only whole lines in it.
    EXPECT_EQ(canvas.CountNear({0, 16 + 1000, 630, 1300}, TextColor, 60), 0);
    EXPECT_EQ(canvas.CountNear({0, 16 + advance - 4, 630, 16 + 1000}, TextColor, 60), 0);
}

TEST_F(PatchNotesView, ScrollBarFollowsContentAndOffset) {
    struct Case {
        int contentHeight, scrollOffset;
        bool shown;
        RECT thumb;
    };
    const Case cases[] = {
        {440, 0, false, {}},
        {441, 0, true, {726, 136, 736, 564}},
        {880, 0, true, {726, 136, 736, 356}},
        {880, 220, true, {726, 240, 736, 460}},
        {880, 440, true, {726, 344, 736, 564}},
        {100000, 0, true, {726, 136, 736, 172}},  // at least 36 long
        {600, 440, true, {726, 242, 736, 564}},   // offset past the end: thumb stays on the track
    };
    for (const Case& c : cases) {
        UIPatchNotes view(kView);
        view.contentHeight = c.contentHeight;
        view.scrollOffset = c.scrollOffset;
        RECT track = {};
        RECT thumb = {};
        ASSERT_EQ(view.GetScrollbarRects(track, thumb), c.shown) << c.contentHeight;
        if (!c.shown) {
            continue;
        }
        const RECT trackArea = {722, 136, 737, 564};
        EXPECT_TRUE(EqualRect(&track, &trackArea)) << c.contentHeight;
        EXPECT_TRUE(EqualRect(&thumb, &c.thumb))
            << c.contentHeight << "/" << c.scrollOffset << ": " << thumb.top << "-" << thumb.bottom;
    }
}

TEST_F(PatchNotesView, PressesAndDragsOnTheScrollBarSetTheOffset) {
    struct Step {
        enum { Down, Move, Up } kind;
        int x, y;
        int offset;
        bool dragging;
    };
    struct Case {
        const char* name;
        int startOffset;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"grab the thumb and drag it half way",
         0,
         {{Step::Down, 731, 150, 0, true},
          {Step::Move, 900, 254, 220, true},  // thumb top 240
          {Step::Move, 731, 9999, 440, true},
          {Step::Move, 731, -500, 0, true},
          {Step::Up, 731, 150, 0, false}}},
        {"track below the thumb centres it on the pointer",
         0,
         {{Step::Down, 724, 400, 325, true},  // thumb top 290: 154 * 440 / 208
          {Step::Up, 724, 400, 325, false}}},
        {"track above the thumb", 440, {{Step::Down, 735, 200, 0, true}}},
        {"edge of the track area", 0, {{Step::Down, 737, 400, 0, false}}},
        {"press beside the bar", 300, {{Step::Down, 500, 400, 300, false}}},
    };
    for (const Case& c : cases) {
        UIPatchNotes view(kView);
        view.contentHeight = 880;
        view.scrollOffset = c.startOffset;
        for (const Step& s : c.steps) {
            if (s.kind == Step::Down) {
                view.OnMouseDown(s.x, s.y);
            } else if (s.kind == Step::Move) {
                view.OnMouseMove(s.x, s.y);
            } else {
                view.OnMouseUp(s.x, s.y);
            }
            EXPECT_EQ(view.scrollOffset, s.offset) << c.name << " at " << s.x << "," << s.y;
            EXPECT_EQ(view.dragging, s.dragging) << c.name << " at " << s.x << "," << s.y;
        }
    }
}

TEST_F(PatchNotesView, ShortContentNeverScrolls) {
    UIPatchNotes view(kView);
    view.blocks = {Text(L"One line")};
    Paint(view);
    ASSERT_LT(view.contentHeight, 440);
    EXPECT_FALSE(view.ScrollByWheel(-120));
    view.OnMouseDown(731, 300);
    view.OnMouseMove(731, 500);
    EXPECT_FALSE(view.dragging);
    EXPECT_EQ(view.scrollOffset, 0);
}

TEST_F(PatchNotesView, WheelMovesSixtyPixelsANotchWithinTheContent) {
    struct Case {
        int start, delta;
        bool changed;
        int offset;
    };
    const Case cases[] = {{0, -120, true, 60},    {60, 120, true, 0},      {0, 120, false, 0},
                          {400, -120, true, 440}, {440, -120, false, 440}, {100, -1, false, 100},
                          {100, -3, true, 101},   {100, -360, true, 280}};
    for (const Case& c : cases) {
        UIPatchNotes view(kView);
        view.contentHeight = 880;
        view.scrollOffset = c.start;
        EXPECT_EQ(view.ScrollByWheel(c.delta), c.changed) << c.start << " " << c.delta;
        EXPECT_EQ(view.scrollOffset, c.offset) << c.start << " " << c.delta;
    }
}

TEST_F(PatchNotesView, ReleasesOnClickAreasToggleImages) {
    UIPatchNotes view(kView);
    std::vector<PatchNoteBlock> blocks(12, Text(L""));  // 12 x 22 pixels of spacers
    blocks.push_back(Image(MakePngBytes(200, 100)));
    blocks.push_back(Image({}, false));
    view.blocks = blocks;
    Paint(view);
    const auto shown = view.blocks[12].image;
    const auto hidden = view.blocks[13].image;
    const int top = 130 + 16 + 12 * 22 + 6;  // 416: the picture spans 450 to 550
    ASSERT_EQ(view.clickAreas.size(), 3u);
    ASSERT_EQ(view.clickAreas[1].rect.top, top + 34);

    view.OnMouseUp(150, top + 60);  // on the picture
    EXPECT_FALSE(shown->expanded);
    Paint(view);
    view.OnMouseUp(150, top + 10);  // on its bar again
    EXPECT_TRUE(shown->expanded);
    Paint(view);
    view.OnMouseUp(600, top + 10);  // beside the bar
    EXPECT_TRUE(shown->expanded);

    // The collapsed image lies below the view, where the status line is.
    ASSERT_GT(view.clickAreas[2].rect.bottom, 570);
    const int below = view.clickAreas[2].rect.top + 5;
    ASSERT_GE(below, 570);
    view.OnMouseUp(150, below);
    EXPECT_FALSE(hidden->expanded);

    // Scrolled into view, the same image toggles.
    view.scrollOffset = 100;
    Paint(view);
    const RECT bar = view.clickAreas[2].rect;
    ASSERT_LT(bar.bottom, 570);
    view.OnMouseUp(bar.left + 1, bar.top + 1);
    EXPECT_TRUE(hidden->expanded);
}

TEST_F(PatchNotesView, ReleaseAfterADragOrOnTheTrackTogglesNothing) {
    UIPatchNotes view({90, 130, 740, 230});  // 100 high: the picture is taller
    view.blocks = {Image(MakePngBytes(1600, 900))};
    Paint(view);
    const auto image = view.blocks[0].image;
    ASSERT_GT(view.contentHeight, 100);
    // The picture reaches under the track's hit area (x 722 to 737).
    view.clickAreas.push_back({RECT{700, 130, 740, 230}, image});
    view.OnMouseUp(725, 200);
    EXPECT_TRUE(image->expanded) << "release on the track";

    view.OnMouseDown(731, 150);
    ASSERT_TRUE(view.dragging);
    view.OnMouseUp(200, 200);  // over the picture, ending the drag
    EXPECT_FALSE(view.dragging);
    EXPECT_TRUE(image->expanded);
    view.OnMouseUp(200, 200);
    EXPECT_FALSE(image->expanded);
}

int decodeAttempts = 0;

std::shared_ptr<Gdiplus::Bitmap> CountingDecode(const PatchImageData& data) {
    ++decodeAttempts;
    return DecodePatchImage(data);
}

TEST_F(PatchNotesView, PicturesThatCannotBeShownAreDecodedOnceAndShowImageUnavailable) {
    // A few kilobytes of PNG that claim 20 megapixels (80 MB decoded).
    Gdiplus::Bitmap huge(5000, 4000, PixelFormat1bppIndexed);
    const std::vector<std::vector<uint8_t>> pictures = {{'n', 'o', 'p', 'e'}, EncodePng(huge)};
    ASSERT_GT(pictures[1].size(), 100u);
    for (const std::vector<uint8_t>& bytes : pictures) {
        UIPatchNotes view(kView);
        view.decode = CountingDecode;
        view.blocks = {Image(bytes)};
        decodeAttempts = 0;
        Canvas canvas;
        for (int paint = 0; paint < 10; ++paint) {
            view.Draw(canvas.graphics());
        }
        EXPECT_EQ(decodeAttempts, 1) << bytes.size();
        EXPECT_EQ(view.blocks[0].image->bitmap, nullptr) << bytes.size();
        EXPECT_EQ(view.contentHeight, 16 + 6 + 60 + 8);
        EXPECT_GT(canvas.CountNear({112, 186, 720, 212}, TextColor, 40), 5) << "Image unavailable";
    }

    // Collapsed images are not decoded.
    UIPatchNotes other(kView);
    other.blocks = {Image(MakePngBytes(10, 10), false)};
    Paint(other);
    EXPECT_EQ(other.blocks[0].image->bitmap, nullptr);
}

TEST_F(PatchNotesView, NewBlocksScrollToTheTop) {
    UIPatchNotes view(kView);
    view.contentHeight = 880;
    view.scrollOffset = 300;
    view.SetBlocks({Text(L"Loading patch notes...")});
    EXPECT_EQ(view.scrollOffset, 0);
    ASSERT_EQ(view.blocks.size(), 1u);
    EXPECT_EQ(view.blocks[0].text, L"Loading patch notes...");
}

}  // namespace
