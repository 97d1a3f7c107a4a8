#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "app/background_work.h"
#include "app/links.h"
#include "app/resolution.h"
#include "app/screen_paint.h"
#include "common/message_box.h"
#include "settings/user_ini.h"

namespace Gdiplus {
class Bitmap;
}
class UIElement;
class UIButton;
class UIIconButton;
class UILabel;
class UIProgressBar;
class UIPatchNotes;

// The timer of the main window that repaints for status texts.
constexpr UINT_PTR kStatusPaintTimer = 1;

// The launcher window's size.
constexpr int kLauncherWidth = 1280;
constexpr int kLauncherHeight = 720;

// The pictures of the screen, decoded by a helper thread while the window is
// made: the backdrop and the icons of the login page, the Discord invite, the
// client settings, the Facebook page and the licence.
constexpr int kScreenIcons = 5;

// Where icon index (in the order above) lies on the screen.
RECT IconArea(int index);
struct ScreenPictures {
    Backdrop backdrop;
    std::unique_ptr<Gdiplus::Bitmap> icons[kScreenIcons];
};

// Runs the client settings window modally over owner; true when it saved.
using SettingsWindowFunction = std::function<bool(HWND owner, const std::wstring& userIniPath,
                                                  const std::wstring& legacyIniPath)>;

// The launcher's controller: the screen's elements, the game folder, and
// what the buttons, the background worker and the window messages do.
class LauncherUI {
  public:
    LauncherUI();
    ~LauncherUI();
    LauncherUI(const LauncherUI&) = delete;
    LauncherUI& operator=(const LauncherUI&) = delete;

    // Builds the screen for the new main window and starts the background work.
    void Initialize(HWND window);
    // The same with the game folder given (the folder of the running program
    // in Initialize(HWND)); it must end with a backslash.
    void Initialize(HWND window, const std::wstring& gameFolder);

    // Starts the worker thread once; it runs detached.
    void StartBackgroundWork();

    // Shows text on the status line; a progress text also moves the bar.
    void SetStatus(const std::wstring& text);
    // Handlers of the worker's messages. The status texts wait in
    // statusMailbox; the patch notes arrive as the message's payload, which
    // the handler takes over.
    void OnStatusMessage();
    // The delayed take and repaint of OnStatusMessage (WM_TIMER
    // kStatusPaintTimer).
    void OnStatusPaintTimer();
    void OnPatchNotesMessage(LPARAM payload);
    void OnReadyMessage();

    void StartGame();
    void LaunchGameExecutable(const std::wstring& exeName, bool closeLauncherOnSuccess);

    void SwitchInterfaceSet(bool vantoraSet);
    void SetSkillEffectQuality(bool high);
    void SetScreenResolution(int32_t width, int32_t height);
    void OpenClientSettings();

    // Opens or closes the resolution list; choosing row closes it and applies it.
    void ToggleResolutionList();
    void ChooseResolution(const ResolutionOption& option);

    // Releases the elements and pictures; called before GDI+ shuts down.
    void ReleaseScreen();

    // What every frame starts from: the embedded backdrop, or MakeBackdrop's
    // grey one without it; null once the screen is released. The first call
    // waits for the helper thread that decodes the pictures, and gives the
    // icon buttons their icons.
    const Backdrop* CurrentBackdrop();
    // What a status text can change on the screen: the status line and the
    // bar with their outlines. Empty before the elements exist.
    RECT StatusArea() const;

    std::vector<UIElement*> elements;
    UIButton* startButton = nullptr;
    UILabel* titleLabel = nullptr;
    UILabel* statusLabel = nullptr;
    UIProgressBar* progressBar = nullptr;
    UIButton* closeButton = nullptr;
    UIPatchNotes* patchNotesView = nullptr;
    HWND window = nullptr;
    std::wstring gameDirectory;
    std::wstring userSetupIniPath;
    bool updateFinished = false;
    bool resolutionListOpen = false;
    // The pictures, each embedded at the size it is drawn at.
    ScreenPictures pictures;
    std::future<ScreenPictures> picturesLoading;
    UIIconButton* iconButtons[kScreenIcons] = {};
    UIButton* resolutionButton = nullptr;
    std::vector<UIButton*> resolutionOptions;

    // Where the launcher meets the user and the system; tests replace them.
    MessageBoxFunction messageBox = SystemMessageBox;
    UserFolderFunction userFolder = GetUserDataFolder;
    SettingsWindowFunction settingsWindow;  // empty: the real settings window
    std::function<void(const std::wstring&)> openLink = OpenWithShell;
    BackgroundWorkHooks workHooks;
    // Shared with the worker thread, which may outlive a test's controller.
    std::shared_ptr<StatusMailbox> statusMailbox = std::make_shared<StatusMailbox>();

  private:
    // Takes ownership of element and appends it to elements.
    template <typename Element>
    Element* Add(std::unique_ptr<Element> element);
    void CreateElements(bool iniOk);
    std::wstring LegacySetupIniPath() const { return gameDirectory + L"setup.ini"; }
    // Prepares the per-user setup.ini and refreshes userSetupIniPath; false
    // with error set when it could not be prepared.
    bool PrepareUserSetupIni(std::wstring& error);

    // The status line and the bar without repainting.
    void ShowStatus(const std::wstring& text);
    // Shows every text waiting in statusMailbox, without repainting.
    void TakeStatusTexts();
    // Repaints StatusArea() alone.
    void InvalidateStatus();

    std::vector<std::unique_ptr<UIElement>> ownedElements_;
    DWORD lastStatusPaint = 0;
    bool statusPaintWaiting = false;
};

// The one controller of the process.
LauncherUI& TheLauncher();
