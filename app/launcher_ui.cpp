#include "app/launcher_ui.h"

#include <utility>

#include "app/startup_trace.h"
#include "common/path.h"
#include "ui/button.h"
#include "ui/icon_button.h"
#include "ui/images.h"
#include "ui/label.h"
#include "ui/patch_notes_view.h"
#include "ui/progress_bar.h"
#include "ui/ui_font.h"
#include "ui/window_repaint.h"

namespace {

RECT Rect(LONG left, LONG top, LONG right, LONG bottom) {
    return RECT{left, top, right, bottom};
}

}  // namespace

LauncherUI::LauncherUI() = default;
LauncherUI::~LauncherUI() = default;

RECT IconArea(int index) {
    const LONG left = 10 + 60 * index;
    return Rect(left, 10, left + 48, 58);
}

LauncherUI& TheLauncher() {
    static LauncherUI launcher;
    return launcher;
}

template <typename Element>
Element* LauncherUI::Add(std::unique_ptr<Element> element) {
    Element* raw = element.get();
    elements.push_back(raw);
    ownedElements_.push_back(std::move(element));
    return raw;
}

void LauncherUI::Initialize(HWND mainWindow) {
    Initialize(mainWindow, ModuleFolder());
}

void LauncherUI::Initialize(HWND mainWindow, const std::wstring& gameFolder) {
    // Decoding the pictures takes longest: a helper thread does it while the
    // rest is prepared here and the window is made. The first paint takes
    // them over.
    picturesLoading = std::async(std::launch::async, [] {
        ScreenPictures loaded;
        const uint16_t iconIds[kScreenIcons] = {kLoginIconId, kDiscordIconId, kSettingsIconId,
                                                kFacebookIconId, kEulaIconId};
        for (int i = 0; i < kScreenIcons; ++i) {
            loaded.icons[i] = LoadResourceImage(iconIds[i]);
        }
        if (!LoadResourcePixels(kBackdropImageId, loaded.backdrop)) {
            loaded.backdrop = MakeBackdrop(nullptr, kLauncherWidth, kLauncherHeight);
        }
        return loaded;
    });
    window = mainWindow;
    gameDirectory = gameFolder;
    // The update engine resolves its files against the current directory; a
    // shortcut or a scheduled task may start the launcher somewhere else.
    if (!gameDirectory.empty()) {
        SetCurrentDirectoryW(gameDirectory.c_str());
    }
    userSetupIniPath = GetUserSetupIniPath(userFolder);
    std::wstring iniError;
    const bool iniOk = EnsureUserSetupIni(LegacySetupIniPath(), &iniError, userFolder);
    MarkStartupStep("setup.ini prepared");

    UIFontFamily();  // the first look-up of the text font takes a while too

    CreateElements(iniOk);
    MarkStartupStep("elements created");

    if (!iniOk) {
        SetStatus(iniError);
    }
    StartBackgroundWork();
    MarkStartupStep("background work started");
}

void LauncherUI::CreateElements(bool iniOk) {
    titleLabel = Add(std::make_unique<UILabel>(Rect(100, 88, 680, 122), L"LATEST PATCH NOTES"));
    titleLabel->fontSize = 22.0f;

    auto view = std::make_unique<UIPatchNotes>(Rect(90, 130, 740, 570));
    view->blocks.push_back(MessageBlock(L"Loading patch notes..."));
    view->window = window;
    patchNotesView = Add(std::move(view));

    statusLabel =
        Add(std::make_unique<UILabel>(Rect(90, 615, 700, 640), L"Initializing launcher..."));
    progressBar = Add(std::make_unique<UIProgressBar>(Rect(90, 650, 700, 670)));
    startButton = Add(std::make_unique<UIButton>(Rect(790, 635, 1050, 685), L"START GAME",
                                                 [this] { StartGame(); }));

    const std::function<void()> linkActions[] = {
        [this] { openLink(LoginPageUrl()); },
        [this] { openLink(DiscordInviteUrl()); },
        [this] { OpenClientSettings(); },
        [this] { openLink(FacebookPageUrl()); },
        [this] { openLink(gameDirectory + L"eula.txt"); },
    };
    for (int i = 0; i < kScreenIcons; ++i) {
        // The icon itself arrives with the first paint (CurrentBackdrop).
        iconButtons[i] = Add(std::make_unique<UIIconButton>(IconArea(i), nullptr, linkActions[i]));
    }

    struct OptionButton {
        RECT rect;
        const wchar_t* caption;
        void (LauncherUI::*action)(bool);
        bool flag;
    };
    const OptionButton optionButtons[] = {
        {Rect(790, 485, 910, 523), L"Classic UI", &LauncherUI::SwitchInterfaceSet, false},
        {Rect(930, 485, 1050, 523), L"Vantora UI", &LauncherUI::SwitchInterfaceSet, true},
        {Rect(790, 535, 910, 573), L"Low Skill FX", &LauncherUI::SetSkillEffectQuality, false},
        {Rect(930, 535, 1050, 573), L"High Skill FX", &LauncherUI::SetSkillEffectQuality, true},
    };
    for (const OptionButton& option : optionButtons) {
        const auto action = option.action;
        const bool flag = option.flag;
        Add(std::make_unique<UIButton>(option.rect, option.caption,
                                       [this, action, flag] { (this->*action)(flag); }));
    }

    const std::wstring iniPath = iniOk ? userSetupIniPath : LegacySetupIniPath();
    int32_t width = 0;
    int32_t height = 0;
    ReadClientResolution(iniPath, width, height);
    const ResolutionOption& current = ResolutionAt(SelectResolutionRow(width, height));
    resolutionButton = Add(std::make_unique<UIButton>(Rect(950, 20, 1070, 52), current.label,
                                                      [this] { ToggleResolutionList(); }));
    for (size_t row = 0; row < kResolutionOptionCount; ++row) {
        const ResolutionOption option = ResolutionAt(row);
        const LONG top = 62 + 30 * static_cast<LONG>(row);
        auto entry = std::make_unique<UIButton>(Rect(950, top, 1070, top + 30), option.label,
                                                [this, option] { ChooseResolution(option); });
        entry->visible = false;
        resolutionOptions.push_back(Add(std::move(entry)));
    }

    closeButton = Add(std::make_unique<UIButton>(Rect(1180, 20, 1240, 60), L"X",
                                                 [this] { DestroyWindow(window); }));
}

void LauncherUI::ToggleResolutionList() {
    resolutionListOpen = !resolutionListOpen;
    for (UIButton* entry : resolutionOptions) {
        entry->visible = resolutionListOpen;
    }
    RepaintWindow(window);
}

void LauncherUI::ChooseResolution(const ResolutionOption& option) {
    if (resolutionButton != nullptr) {
        resolutionButton->text = option.label;
    }
    resolutionListOpen = false;
    for (UIButton* entry : resolutionOptions) {
        entry->visible = false;
    }
    RepaintWindow(window);
    SetScreenResolution(option.width, option.height);
}

void LauncherUI::ReleaseScreen() {
    elements.clear();
    resolutionOptions.clear();
    startButton = nullptr;
    titleLabel = nullptr;
    statusLabel = nullptr;
    progressBar = nullptr;
    closeButton = nullptr;
    patchNotesView = nullptr;
    resolutionButton = nullptr;
    ownedElements_.clear();
    if (picturesLoading.valid()) {
        picturesLoading.get();
    }
    pictures = ScreenPictures();
    for (UIIconButton*& button : iconButtons) {
        button = nullptr;
    }
}

const Backdrop* LauncherUI::CurrentBackdrop() {
    if (picturesLoading.valid()) {
        pictures = picturesLoading.get();
        for (int i = 0; i < kScreenIcons; ++i) {
            if (iconButtons[i] != nullptr) {
                iconButtons[i]->icon = pictures.icons[i].get();
            }
        }
    }
    return pictures.backdrop.pixels.empty() ? nullptr : &pictures.backdrop;
}
