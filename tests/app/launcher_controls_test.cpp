#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "app/launcher_messages.h"
#include "app/launcher_ui.h"
#include "app/screen_paint.h"
#include "tests/app/test_window.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/canvas.h"
#include "ui/button.h"
#include "ui/dib_buffer.h"
#include "ui/gdiplus_session.h"
#include "ui/icon_button.h"
#include "ui/label.h"
#include "ui/patch_notes_view.h"
#include "ui/progress_bar.h"

namespace {

// A launcher screen built on a temporary game folder, with a background
// worker that reaches nothing outside the test.
class LauncherControls : public ::testing::Test {
  protected:
    void Build(const char* legacyIni = nullptr, bool userFolderResolves = true) {
        if (legacyIni != nullptr) {
            ASSERT_TRUE(WriteBytes(game.Child(L"setup.ini"), legacyIni));
        }
        const std::wstring folder = userFolderResolves ? user.Child(L"VantoraOnline") : L"";
        launcher.userFolder = [folder] { return folder; };
        launcher.messageBox = [](HWND, const std::wstring&, const std::wstring&, UINT) {
            return IDNO;
        };
        launcher.openLink = [this](const std::wstring& target) { links.push_back(target); };
        launcher.workHooks.fetchPage = [](const std::wstring&, std::vector<uint8_t>&) {
            return false;
        };
        launcher.workHooks.runUpdate = [](Updater&) { return true; };
        launcher.workHooks.post = [](UINT, WPARAM, LPARAM) { return false; };
        launcher.Initialize(window.handle(), game.path() + L"\\");
    }

    TempFolder game{L"screen"};
    TempFolder user{L"user"};
    TempFolder elsewhere{L"elsewhere"};
    ScopedCurrentDirectory startedElsewhere{elsewhere.path()};
    TestWindow window;
    LauncherUI launcher;
    std::vector<std::wstring> links;
};

struct ElementRow {
    const std::type_info& type;
    RECT bounds;
    const wchar_t* text;  // button or label text; nullptr for the others
    bool visible;
};

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

// A 1600 x 900 picture as a note might carry: dusk sky, sun and hills.
std::vector<uint8_t> ScenePng() {
    Gdiplus::Bitmap scene(1600, 900, PixelFormat32bppARGB);
    {
        Gdiplus::Graphics g(&scene);
        g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        Gdiplus::LinearGradientBrush sky(Gdiplus::Point(0, 0), Gdiplus::Point(0, 900),
                                         Gdiplus::Color(0xFF0B1F3A), Gdiplus::Color(0xFFE08A4A));
        g.FillRectangle(&sky, 0, 0, 1600, 900);
        Gdiplus::SolidBrush sun{Gdiplus::Color(0xFFFFD27A)};
        g.FillEllipse(&sun, 1040, 420, 220, 220);
        Gdiplus::SolidBrush farFill{Gdiplus::Color(0xFF23324A)};
        Gdiplus::SolidBrush nearFill{Gdiplus::Color(0xFF101822)};
        const Gdiplus::Point farHills[] = {{0, 640},    {300, 520},  {620, 610},  {980, 480},
                                           {1320, 600}, {1600, 540}, {1600, 900}, {0, 900}};
        const Gdiplus::Point nearHills[] = {{0, 760},    {420, 660},  {860, 760}, {1240, 680},
                                            {1600, 770}, {1600, 900}, {0, 900}};
        g.FillPolygon(&farFill, farHills, 8);
        g.FillPolygon(&nearFill, nearHills, 7);
    }
    return EncodePng(scene);
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
        Picture(ScenePng(), true),
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

// What the launcher window shows: its own painting (as WM_PAINT does it)
// into a 1280 x 720 bitmap, of the whole window or of area only, over a
// bitmap filled with 0xRRGGBB fill.
class PaintedWindow {
  public:
    explicit PaintedWindow(LauncherUI& launcher, uint32_t fill = 0, const RECT* area = nullptr)
        : buffer_(nullptr, kWidth, kHeight) {
        std::fill_n(static_cast<uint32_t*>(buffer_.bits()), kWidth * kHeight, fill);
        PaintLauncher(launcher, buffer_.dc(), kWidth, kHeight,
                      area ? *area : RECT{0, 0, kWidth, kHeight});
        GdiFlush();
    }
    PaintedWindow(const PaintedWindow&) = delete;
    PaintedWindow& operator=(const PaintedWindow&) = delete;

    // 0xRRGGBB
    uint32_t Pixel(int x, int y) const {
        return static_cast<const uint32_t*>(buffer_.bits())[y * kWidth + x] & 0xFFFFFF;
    }
    int CountNear(const RECT& rect, uint32_t colour, int tolerance) const {
        int count = 0;
        for (int y = rect.top; y < rect.bottom; ++y) {
            for (int x = rect.left; x < rect.right; ++x) {
                count += NearColour(0xFF000000 | Pixel(x, y), 0xFF000000 | colour, tolerance);
            }
        }
        return count;
    }
    bool Save(const std::wstring& path) const {
        Gdiplus::Bitmap image(kWidth, kHeight, kWidth * 4, PixelFormat32bppRGB,
                              static_cast<BYTE*>(buffer_.bits()));
        return SavePng(image, path);
    }

  private:
    static constexpr int kWidth = 1280;
    static constexpr int kHeight = 720;
    DibBuffer buffer_;
};

}  // namespace

TEST_F(LauncherControls, TwentyFourElementsInPaintingOrder) {
    Build();
    std::vector<ElementRow> rows = {
        {typeid(UILabel), {100, 88, 680, 122}, L"LATEST PATCH NOTES", true},
        {typeid(UIPatchNotes), {90, 130, 740, 570}, nullptr, true},
        {typeid(UILabel), {90, 615, 700, 640}, L"Initializing launcher...", true},
        {typeid(UIProgressBar), {90, 650, 700, 670}, nullptr, true},
        {typeid(UIButton), {790, 635, 1050, 685}, L"START GAME", true},
    };
    for (LONG i = 0; i < 5; ++i) {
        rows.push_back({typeid(UIIconButton), {10 + 60 * i, 10, 58 + 60 * i, 58}, nullptr, true});
    }
    rows.push_back({typeid(UIButton), {790, 485, 910, 523}, L"Classic UI", true});
    rows.push_back({typeid(UIButton), {930, 485, 1050, 523}, L"Vantora UI", true});
    rows.push_back({typeid(UIButton), {790, 535, 910, 573}, L"Low Skill FX", true});
    rows.push_back({typeid(UIButton), {930, 535, 1050, 573}, L"High Skill FX", true});
    // A fresh per-user setup.ini holds the client's default window size.
    rows.push_back({typeid(UIButton), {950, 20, 1070, 52}, L"1024 x 768", true});
    const wchar_t* labels[] = {L"1920 x 1080", L"1600 x 900",  L"1600 x 1024", L"1440 x 900",
                               L"1366 x 768",  L"1280 x 1024", L"1280 x 800",  L"1024 x 768"};
    for (LONG i = 0; i < 8; ++i) {
        rows.push_back({typeid(UIButton), {950, 62 + 30 * i, 1070, 92 + 30 * i}, labels[i], false});
    }
    rows.push_back({typeid(UIButton), {1180, 20, 1240, 60}, L"X", true});

    ASSERT_EQ(launcher.elements.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i + 1);
        UIElement* element = launcher.elements[i];
        EXPECT_EQ(typeid(*element), rows[i].type);
        EXPECT_EQ(element->bounds.left, rows[i].bounds.left);
        EXPECT_EQ(element->bounds.top, rows[i].bounds.top);
        EXPECT_EQ(element->bounds.right, rows[i].bounds.right);
        EXPECT_EQ(element->bounds.bottom, rows[i].bounds.bottom);
        EXPECT_EQ(element->visible, rows[i].visible);
        EXPECT_TRUE(element->enabled);
        if (auto* button = dynamic_cast<UIButton*>(element)) {
            EXPECT_EQ(button->text, rows[i].text);
        } else if (auto* label = dynamic_cast<UILabel*>(element)) {
            EXPECT_EQ(label->text, rows[i].text);
        }
    }
    EXPECT_EQ(launcher.titleLabel->fontSize, 22.0f);
    EXPECT_EQ(launcher.statusLabel->fontSize, 14.0f);
    ASSERT_EQ(launcher.patchNotesView->blocks.size(), 1u);
    EXPECT_EQ(launcher.patchNotesView->blocks[0].text, L"Loading patch notes...");
    EXPECT_EQ(launcher.patchNotesView->blocks[0].fontSize, 13.0f);
    EXPECT_EQ(launcher.patchNotesView->window, window.handle());
    EXPECT_EQ(launcher.progressBar->progress, 0.0f);
    EXPECT_EQ(launcher.resolutionOptions.size(), 8u);
}

TEST_F(LauncherControls, WorksInTheGameFolderWhereverItWasStarted) {
    Build();
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    EXPECT_EQ(std::wstring(current) + L"\\", launcher.gameDirectory);
    EXPECT_EQ(launcher.userSetupIniPath, user.Child(L"VantoraOnline\\setup.ini"));
    EXPECT_TRUE(FileExists(launcher.userSetupIniPath));
}

TEST_F(LauncherControls, ResolutionComesFromTheLegacyFileWhenThePerUserOneFails) {
    Build("[Client]\r\nwidth=1366\r\nheight=768\r\n", false);
    EXPECT_EQ(launcher.resolutionButton->text, L"1366 x 768");
    EXPECT_EQ(launcher.statusLabel->text, L"Could not resolve %LOCALAPPDATA%\\VantoraOnline.");
}

TEST_F(LauncherControls, ResolutionComesFromThePerUserFileMigratedFromTheLegacyOne) {
    Build("[Client]\r\nwidth=1280\r\nheight=1024\r\n");
    EXPECT_EQ(launcher.resolutionButton->text, L"1280 x 1024");
    EXPECT_EQ(launcher.statusLabel->text, L"Initializing launcher...");
}

TEST_F(LauncherControls, ResolutionListOpensClosesAndApplies) {
    Build();
    launcher.resolutionButton->onClick();
    EXPECT_TRUE(launcher.resolutionListOpen);
    for (UIButton* entry : launcher.resolutionOptions) {
        EXPECT_TRUE(entry->visible);
    }
    launcher.resolutionButton->onClick();
    EXPECT_FALSE(launcher.resolutionListOpen);
    for (UIButton* entry : launcher.resolutionOptions) {
        EXPECT_FALSE(entry->visible);
    }

    launcher.resolutionButton->onClick();
    UIButton* entry = launcher.resolutionOptions[6];
    // A release over the entry: the click runs inside OnMouseUp.
    entry->OnMouseUp(entry->bounds.left + 5, entry->bounds.top + 5);
    EXPECT_EQ(launcher.resolutionButton->text, L"1280 x 800");
    EXPECT_FALSE(launcher.resolutionListOpen);
    for (UIButton* option : launcher.resolutionOptions) {
        EXPECT_FALSE(option->visible);
    }
    EXPECT_EQ(launcher.statusLabel->text, L"Screen resolution updated.");
    wchar_t width[16] = {};
    GetPrivateProfileStringW(L"Client", L"Width", L"", width, 16,
                             launcher.userSetupIniPath.c_str());
    EXPECT_STREQ(width, L"1280");
}

TEST_F(LauncherControls, LinksOpenTheSiteTheCommunityAndTheEula) {
    Build();
    for (size_t index : {5u, 6u, 8u, 9u}) {
        auto* icon = dynamic_cast<UIIconButton*>(launcher.elements[index]);
        ASSERT_NE(icon, nullptr);
        icon->onClick();
    }
    ASSERT_EQ(links.size(), 4u);
    EXPECT_EQ(links[0], LoginPageUrl());
    EXPECT_EQ(links[0].substr(links[0].size() - 6), L"/Login");
    EXPECT_EQ(links[1], DiscordInviteUrl());
    EXPECT_EQ(links[2], FacebookPageUrl());
    EXPECT_EQ(links[3], game.path() + L"\\eula.txt");
}

TEST_F(LauncherControls, WorkerMessagesMoveTheStatusLineAndTheBar) {
    Build();
    struct Step {
        const wchar_t* text;
        float progress;
    };
    const Step steps[] = {
        {L"Downloading... 7% (3.2 KB/s)", 0.07f},       {L"Opening archive...", 0.07f},
        {L"Opening archive... 45% (120 files)", 0.45f}, {L"Downloading:45%", 0.45f},
        {L"Checking for updates... 90%", 0.45f},
    };
    // The worker keeps the mailbox it was started with.
    launcher.statusMailbox = std::make_shared<StatusMailbox>();
    int posts = 0;
    const auto post = [&posts] { return ++posts > 0; };
    for (const Step& step : steps) {
        launcher.statusMailbox->Put(step.text, post);
        launcher.OnStatusPaintTimer();
        EXPECT_EQ(launcher.statusLabel->text, step.text);
        EXPECT_FLOAT_EQ(launcher.progressBar->progress, step.progress);
    }
    // A message within the slot the timer just began leaves its texts
    // waiting, and the worker posts no other until the next slot takes them.
    launcher.statusMailbox->Put(L"Extracting... 10%", post);
    launcher.OnStatusMessage();
    launcher.statusMailbox->Put(L"Extracting... 20%", post);
    EXPECT_EQ(launcher.statusLabel->text, L"Checking for updates... 90%");
    EXPECT_EQ(posts, 6);
    launcher.OnStatusPaintTimer();
    EXPECT_EQ(launcher.statusLabel->text, L"Extracting... 20%");
    launcher.statusMailbox->Put(L"Extraction complete", post);

    launcher.patchNotesView->scrollOffset = 300;
    auto* blocks = new std::vector<PatchNoteBlock>(2);
    (*blocks)[0].text = L"first";
    (*blocks)[1].text = L"second";
    launcher.OnPatchNotesMessage(reinterpret_cast<LPARAM>(blocks));
    ASSERT_EQ(launcher.patchNotesView->blocks.size(), 2u);
    EXPECT_EQ(launcher.patchNotesView->blocks[1].text, L"second");
    EXPECT_EQ(launcher.patchNotesView->scrollOffset, 0);
    launcher.OnPatchNotesMessage(0);
    EXPECT_EQ(launcher.patchNotesView->blocks.size(), 2u);

    EXPECT_FALSE(launcher.updateFinished);
    launcher.startButton->enabled = false;
    launcher.OnReadyMessage();
    EXPECT_EQ(launcher.statusLabel->text, L"Extraction complete");
    EXPECT_TRUE(launcher.updateFinished);
    EXPECT_TRUE(launcher.startButton->enabled);
    EXPECT_EQ(launcher.progressBar->progress, 1.0f);
}

TEST_F(LauncherControls, WithoutBackgroundPictureTheWindowIsDarkGreyUnderThePanel) {
    GdiplusSession gdiplus;
    ASSERT_TRUE(gdiplus.ok());
    Build();
    launcher.ReleaseScreen();  // no background picture and no elements: the fallback and the panel
    ASSERT_EQ(launcher.CurrentBackdrop(), nullptr);

    const PaintedWindow painted(launcher);
    EXPECT_EQ(painted.Pixel(5, 5), 0x0F0F0Fu);
    EXPECT_EQ(painted.Pixel(1270, 710), 0x0F0F0Fu);
    const uint32_t panel = painted.Pixel(95, 85);
    EXPECT_LT(panel & 0xFF, 0x0Fu);  // darker: black at alpha 180 over the grey
    EXPECT_EQ(painted.Pixel(89, 85), 0x0F0F0Fu);
    EXPECT_EQ(painted.Pixel(740, 85), 0x0F0F0Fu);
    EXPECT_EQ(painted.Pixel(739, 579), panel);
    EXPECT_EQ(painted.Pixel(739, 580), 0x0F0F0Fu);
}

// A status text changes nothing outside the status area, and a repaint of an
// area (the status area; the window's corner with its translucent edges)
// holds what the whole frame shows there, whatever lay beneath, and leaves
// the rest alone.
TEST_F(LauncherControls, StatusRepaintsItsAreaAsTheWholeFrameShowsIt) {
    GdiplusSession gdiplus;
    ASSERT_TRUE(gdiplus.ok());
    Build();
    ASSERT_NE(launcher.CurrentBackdrop(), nullptr);
    const uint32_t kUntouched = 0x123456;
    launcher.patchNotesView->SetBlocks(SampleNotes());
    launcher.SetStatus(L"Downloading... 42% (812.4 KB/s)");
    const PaintedWindow before(launcher, kUntouched);
    launcher.SetStatus(L"Extracting... 97%");
    const PaintedWindow whole(launcher);  // over black

    const RECT status = launcher.StatusArea();
    const RECT corner = {1200, 650, 1300, 740};
    // The notes painted alone, in bands that start elsewhere than the whole frame's.
    const RECT notes = launcher.patchNotesView->bounds;
    const PaintedWindow statusPart(launcher, kUntouched, &status);
    const PaintedWindow cornerPart(launcher, kUntouched, &corner);
    const PaintedWindow notesPart(launcher, kUntouched, &notes);
    int wrong = 0;
    for (int y = 0; y < 720; ++y) {
        for (int x = 0; x < 1280; ++x) {
            const bool inStatus = PtInRect(&status, {x, y});
            const bool inCorner = PtInRect(&corner, {x, y});
            wrong += !inStatus && before.Pixel(x, y) != whole.Pixel(x, y);
            wrong += statusPart.Pixel(x, y) != (inStatus ? whole.Pixel(x, y) : kUntouched);
            wrong += cornerPart.Pixel(x, y) != (inCorner ? whole.Pixel(x, y) : kUntouched);
            wrong += notesPart.Pixel(x, y) !=
                     (PtInRect(&notes, {x, y}) ? whole.Pixel(x, y) : kUntouched);
        }
    }
    EXPECT_EQ(wrong, 0);
}

// The screen that Initialize builds, as the window paints it, with notes,
// a download under way and a hovered icon; the pictures stay in the build
// tree for review.
TEST_F(LauncherControls, ScreenShowsNotesIconsAndButtonsAsPainted) {
    GdiplusSession gdiplus;
    ASSERT_TRUE(gdiplus.ok());
    Build();
    ASSERT_NE(launcher.CurrentBackdrop(), nullptr);
    launcher.patchNotesView->SetBlocks(SampleNotes());
    launcher.SetStatus(L"Downloading... 42% (812.4 KB/s)");
    const std::wstring folder = VANTORA_SCREENSHOT_DIR;
    CreateDirectoryW(folder.c_str(), nullptr);
    struct Shot {
        const wchar_t* name;
        int scrollOffset;  // -1: the end
        POINT mouse;
    };
    const Shot shots[] = {{L"launcher_screen.png", 0, {94, 30}},  // over the second icon
                          {L"launcher_screen_scrolled.png", 420, {850, 650}},
                          {L"launcher_screen_end.png", -1, {1000, 300}}};
    for (const Shot& shot : shots) {
        UIPatchNotes& view = *launcher.patchNotesView;
        view.scrollOffset = shot.scrollOffset >= 0 ? shot.scrollOffset : view.contentHeight - 440;
        for (UIElement* element : launcher.elements) {
            element->OnMouseMove(shot.mouse.x, shot.mouse.y);
        }
        const PaintedWindow painted(launcher);
        ASSERT_TRUE(painted.Save(folder + L"\\" + shot.name));

        // The background covers the window, not the dark fallback.
        EXPECT_NE(painted.Pixel(1279, 719), 0x0F0F0Fu);
        // Every icon is drawn in its square.
        for (int i = 0; i < 5; ++i) {
            const int x = 10 + 60 * i + 24;
            EXPECT_NE(painted.Pixel(x, 34), painted.Pixel(x, 100)) << "icon " << i;
        }
        EXPECT_GT(view.contentHeight, 440) << "the sample scrolls";
        EXPECT_GT(painted.CountNear({90, 130, 740, 570}, 0xF0F0F0, 12), 100) << "notes text";
        EXPECT_GT(painted.CountNear({90, 615, 700, 640}, 0xF0F0F0, 12), 50) << "status line";
        // 42 % of the 610-pixel bar from its left end, and not a pixel more.
        EXPECT_EQ(painted.CountNear({90, 660, 346, 661}, 0x00A0DC, 2), 256);
        EXPECT_EQ(painted.CountNear({346, 650, 700, 670}, 0x00A0DC, 2), 0);
        EXPECT_GT(painted.CountNear({790, 635, 1050, 685}, 0xF0F0F0, 12), 50) << "START GAME";
    }
    // Expanded, collapsed and unavailable pictures each left their toggle.
    size_t bars = 0;
    for (const ClickArea& area : launcher.patchNotesView->clickAreas) {
        bars += (area.rect.bottom - area.rect.top) == 28 ? 1 : 0;
    }
    EXPECT_EQ(bars, 3u);
    launcher.ReleaseScreen();
}
