#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "app/launcher_messages.h"
#include "app/launcher_ui.h"
#include "app/main_window.h"
#include "tests/app/test_window.h"
#include "tests/support/temp_folder.h"
#include "ui/button.h"
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
    for (const Step& step : steps) {
        launcher.OnStatusMessage(reinterpret_cast<LPARAM>(new std::wstring(step.text)));
        EXPECT_EQ(launcher.statusLabel->text, step.text);
        EXPECT_FLOAT_EQ(launcher.progressBar->progress, step.progress);
    }
    launcher.OnStatusMessage(0);
    EXPECT_EQ(launcher.statusLabel->text, L"Checking for updates... 90%");

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
    EXPECT_TRUE(launcher.updateFinished);
    EXPECT_TRUE(launcher.startButton->enabled);
    EXPECT_EQ(launcher.progressBar->progress, 1.0f);
}

TEST_F(LauncherControls, WithoutBackgroundPictureTheWindowIsDarkGreyUnderThePanel) {
    GdiplusSession gdiplus;
    ASSERT_TRUE(gdiplus.ok());
    Build();
    launcher.ReleaseScreen();  // no background picture and no elements: the fallback and the panel
    ASSERT_EQ(launcher.backgroundImage, nullptr);

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 1280;
    info.bmiHeader.biHeight = -720;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    PaintLauncher(launcher, memory, 1280, 720);
    const auto pixel = [bits](int x, int y) {
        return static_cast<const uint32_t*>(bits)[y * 1280 + x] & 0xFFFFFF;
    };
    EXPECT_EQ(pixel(5, 5), 0x0F0F0Fu);
    EXPECT_EQ(pixel(1270, 710), 0x0F0F0Fu);
    const uint32_t panel = pixel(95, 85);
    EXPECT_LT(panel & 0xFF, 0x0Fu);  // darker: black at alpha 180 over the grey
    EXPECT_EQ(pixel(89, 85), 0x0F0F0Fu);
    EXPECT_EQ(pixel(740, 85), 0x0F0F0Fu);
    EXPECT_EQ(pixel(739, 579), panel);
    EXPECT_EQ(pixel(739, 580), 0x0F0F0Fu);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

TEST(GameDirectory, IsTheProgramFolderWithOneTrailingBackslash) {
    struct Case {
        const wchar_t* program;
        const wchar_t* folder;
    };
    const Case cases[] = {
        {L"C:\\Games\\Vantora\\Tessaly.exe", L"C:\\Games\\Vantora\\"},
        {L"C:\\Tessaly.exe", L"C:\\"},
        {L"\\\\server\\share\\game\\Tessaly Win7.exe", L"\\\\server\\share\\game\\"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GameDirectoryOf(c.program), c.folder);
    }
}
