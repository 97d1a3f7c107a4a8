#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/message_box.h"
#include "common/unique_window.h"
#include "common/win_handle.h"
#include "settings/schema.h"

// The modal window that edits every setting of the schema: checkboxes and
// numeric fields on four tabs, loaded from the per-user setup.ini and saved
// into it and into the legacy setup.ini when that file exists.

extern const wchar_t kSettingsWindowClass[];
// The face of the window's fonts.
extern const wchar_t kSettingsFontFace[];

constexpr int kSettingsTabControlId = 1000;
constexpr int kRestoreDefaultsButtonId = 1063;
constexpr int kSaveButtonId = 1064;
constexpr int kCancelButtonId = 1065;

class ClientSettingsWindow {
  public:
    // Every question and error of the window goes through messageBox; its
    // texts are drawn in fontFace.
    ClientSettingsWindow(std::wstring userIniPath, std::wstring legacyIniPath,
                         MessageBoxFunction messageBox = SystemMessageBox,
                         std::wstring fontFace = kSettingsFontFace);
    // Destroys the window when it is still open.
    ~ClientSettingsWindow();
    ClientSettingsWindow(const ClientSettingsWindow&) = delete;
    ClientSettingsWindow& operator=(const ClientSettingsWindow&) = delete;

    // Creates the window, hidden, centred on the owner (on the work area when
    // there is none), with its controls built, the values of the per-user file
    // loaded and the first tab shown. False when the window class cannot be
    // registered or the window cannot be created.
    bool Create(HWND owner);

    // Shows the created window and runs its message loop, with the owner
    // disabled, until the window is gone. A quit message ends the loop and is
    // posted again for the caller's loop. Returns whether the user saved.
    bool RunModal();

    HWND Handle() const { return settingsWindow.get(); }
    bool Saved() const { return saved; }

  private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND AddControl(int tabIndex, DWORD exStyle, const wchar_t* className, const wchar_t* text,
                    DWORD style, int x, int y, int width, int height, int controlId, HFONT font);
    void AddNumberRow(int tabIndex, int controlId, const wchar_t* caption, const wchar_t* hint,
                      int x, int y);
    void BuildControls();
    void ShowTab(int tabIndex);
    void LoadValues();
    void RestoreDefaults();
    bool ValidateNumber(const NumberSetting& record, int* value);
    bool WriteValues(const std::wstring& path, const int (&values)[kNumberSettingCount]);
    void Save();
    void OnCommand(int controlId);

    HWND ownerWindow = nullptr;
    // Released when the window is destroyed, by this object or otherwise.
    UniqueWindow settingsWindow;
    HWND tabControl = nullptr;
    std::wstring userIniPath;
    std::wstring legacyIniPath;
    UniqueFont normalFont;
    UniqueFont titleFont;
    bool saved = false;
    std::vector<HWND> tabControls[kSettingsTabCount];
    MessageBoxFunction messageBox;
    std::wstring fontFace;
};

// Runs the settings window modally over owner. True when the user saved;
// false when the window was cancelled, closed or could not be created.
bool RunSettingsWindow(HWND owner, const std::wstring& userIniPath,
                       const std::wstring& legacyIniPath,
                       const MessageBoxFunction& messageBox = SystemMessageBox);
