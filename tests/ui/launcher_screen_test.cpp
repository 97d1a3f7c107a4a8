// Renders the launcher screen's elements as the window paints them, over the
// embedded background, and keeps the pictures in the build tree for review.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/ui/canvas.h"
#include "ui/button.h"
#include "ui/icon_button.h"
#include "ui/images.h"
#include "ui/label.h"
#include "ui/patch_notes_view.h"
#include "ui/progress_bar.h"

namespace {

PatchNoteBlock Line(const std::wstring& text, float size = 13.0f, bool bold = false,
                    int spaceBefore = 0, int spaceAfter = 0) {
    PatchNoteBlock block;
    block.text = text;
    block.fontSize = size;
    block.bold = bold;
    block.spaceBefore = spaceBefore;
    block.spaceAfter = spaceAfter;
    return block;
}

PatchNoteBlock Item(const std::wstring& text, int indent = 1) {
    PatchNoteBlock block = Line(text, 13.0f, false, 0, 2);
    block.bullet = true;
    block.indent = indent;
    return block;
}

PatchNoteBlock Picture(std::vector<uint8_t> bytes, bool expanded) {
    PatchNoteBlock block;
    block.image = std::make_shared<PatchImageData>();
    block.image->bytes = std::move(bytes);
    block.image->expanded = expanded;
    block.spaceBefore = 6;
    block.spaceAfter = 8;
    return block;
}

// Blocks as the patch-notes page builder makes them for two notes.
std::vector<PatchNoteBlock> SampleNotes() {
    return {
        Line(L"December 7, 2026", 13.0f, true),
        Line(L"Winter Festival", 18.0f, true, 7, 3),
        Line(L"Snow has reached the valleys of Vantora. Until the first week of January the "
             L"festival square in the capital hosts daily events, and every player who logs in "
             L"receives a festive cloak.",
             13.0f, false, 0, 4),
        Picture(MakePngBytes(1600, 900, 0xFF1E4E7A, 0xFF5A8FC0), true),
        Line(L"New content", 16.0f, true, 5, 3),
        Item(L"Frost Cavern dungeon for parties of four"),
        Item(L"Boss rewards scale with the party's level", 2),
        Item(L"Festival quests in every starting town"),
        Line(L"Fixes", 14.0f, true, 4, 3),
        Item(L"Fixed a disconnect when entering the arena"),
        Item(L"Mail attachments no longer vanish after a server restart"),
        Picture(MakePngBytes(800, 450), false),
        Line(L"", 8.0f),
        Line(L"November 30, 2026", 13.0f, true),
        Line(L"Maintenance", 16.0f, true, 5, 3),
        Line(L"Servers were updated; the picture of this note could not be fetched.", 13.0f, false,
             0, 4),
        Picture({}, true),
    };
}

// The launcher screen's elements in painting order (without the resolution
// list and with no callbacks).
struct Screen {
    Screen() {
        background = LoadResourceImage(kBackgroundImageId);
        const uint16_t iconIds[] = {kLoginIconId, kDiscordIconId, kSettingsIconId, kFacebookIconId,
                                    kEulaIconId};
        for (uint16_t id : iconIds) {
            icons.push_back(LoadResourceImage(id));
        }
        auto title = std::make_unique<UILabel>(RECT{100, 88, 680, 122}, L"LATEST PATCH NOTES");
        title->fontSize = 22.0f;
        elements.push_back(std::move(title));
        auto notes = std::make_unique<UIPatchNotes>(RECT{90, 130, 740, 570});
        notes->blocks = SampleNotes();
        view = notes.get();
        elements.push_back(std::move(notes));
        elements.push_back(
            std::make_unique<UILabel>(RECT{90, 615, 700, 640}, L"Downloading... 42% (812.4 KB/s)"));
        auto bar = std::make_unique<UIProgressBar>(RECT{90, 650, 700, 670});
        bar->progress = 0.42f;
        elements.push_back(std::move(bar));
        elements.push_back(std::make_unique<UIButton>(RECT{790, 635, 1050, 685}, L"START GAME"));
        for (int i = 0; i < 5; ++i) {
            const LONG left = 10 + 60 * i;
            elements.push_back(
                std::make_unique<UIIconButton>(RECT{left, 10, left + 48, 58}, icons[i].get()));
        }
        elements.push_back(std::make_unique<UIButton>(RECT{790, 485, 910, 523}, L"Classic UI"));
        elements.push_back(std::make_unique<UIButton>(RECT{930, 485, 1050, 523}, L"Vantora UI"));
        elements.push_back(std::make_unique<UIButton>(RECT{790, 535, 910, 573}, L"Low Skill FX"));
        elements.push_back(std::make_unique<UIButton>(RECT{930, 535, 1050, 573}, L"High Skill FX"));
        elements.push_back(std::make_unique<UIButton>(RECT{950, 20, 1070, 52}, L"1920 x 1080"));
        elements.push_back(std::make_unique<UIButton>(RECT{1180, 20, 1240, 60}, L"X"));
    }

    void MoveMouse(int x, int y) {
        for (auto& element : elements) {
            element->OnMouseMove(x, y);
        }
    }

    void Paint(Canvas& canvas) {
        Gdiplus::Graphics& graphics = canvas.graphics();
        if (background) {
            // Tiling with flips keeps the stretched edges from fading into
            // the transparent outside.
            Gdiplus::ImageAttributes edges;
            edges.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
            graphics.DrawImage(background.get(), Gdiplus::Rect(0, 0, 1280, 720), 0, 0,
                               static_cast<INT>(background->GetWidth()),
                               static_cast<INT>(background->GetHeight()), Gdiplus::UnitPixel,
                               &edges);
        }
        for (auto& element : elements) {
            if (element->visible) {
                element->Draw(graphics);
            }
        }
    }

    std::unique_ptr<Gdiplus::Image> background;
    std::vector<std::unique_ptr<Gdiplus::Image>> icons;
    std::vector<std::unique_ptr<UIElement>> elements;
    UIPatchNotes* view = nullptr;
};

std::wstring ScreenshotPath(const wchar_t* name) {
    const std::wstring folder = VANTORA_SCREENSHOT_DIR;
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\" + name;
}

class LauncherScreen : public GdiplusTest {};

TEST_F(LauncherScreen, RendersNotesIconsAndButtonsIntoPngs) {
    Screen screen;
    ASSERT_NE(screen.background, nullptr);
    for (const auto& icon : screen.icons) {
        ASSERT_NE(icon, nullptr);
    }
    struct Shot {
        const wchar_t* name;
        int scrollOffset;
        POINT mouse;
    };
    const Shot shots[] = {{L"launcher_screen.png", 0, {94, 30}},  // over the second icon
                          {L"launcher_screen_scrolled.png", 420, {850, 650}}};
    for (const Shot& shot : shots) {
        Canvas canvas;
        screen.view->scrollOffset = shot.scrollOffset;
        screen.MoveMouse(shot.mouse.x, shot.mouse.y);
        screen.Paint(canvas);

        // The background covers the window; every icon is drawn in its square.
        EXPECT_EQ(canvas.Pixel(1279, 719) >> 24, 0xFFu);
        for (int i = 0; i < 5; ++i) {
            const int x = 10 + 60 * i + 24;
            EXPECT_NE(canvas.Pixel(x, 34), canvas.Pixel(x, 100)) << "icon " << i;
        }
        EXPECT_GT(screen.view->contentHeight, 440) << "the sample scrolls";
        EXPECT_GT(canvas.CountNear({90, 130, 740, 570}, TextColor, 12), 100);

        const std::wstring path = ScreenshotPath(shot.name);
        ASSERT_TRUE(SavePng(canvas.bitmap(), path));
        Gdiplus::Bitmap saved(path.c_str());
        ASSERT_EQ(saved.GetLastStatus(), Gdiplus::Ok);
        EXPECT_EQ(saved.GetWidth(), 1280u);
        EXPECT_EQ(saved.GetHeight(), 720u);
    }
    // Expanded, collapsed and unavailable pictures each left their toggle.
    size_t bars = 0;
    for (const ClickArea& area : screen.view->clickAreas) {
        bars += (area.rect.bottom - area.rect.top) == 28 ? 1 : 0;
    }
    EXPECT_EQ(bars, 3u);
}

}  // namespace
