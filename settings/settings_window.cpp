#include "settings/settings_window.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <cerrno>
#include <cwchar>
#include <string>
#include <utility>

#include "common/system_dlls.h"

const wchar_t kSettingsWindowClass[] = L"VantoraLauncherSettingsWindow";
const wchar_t kSettingsFontFace[] = L"Segoe UI";

namespace {

constexpr int kWindowWidth = 880;
constexpr int kWindowHeight = 760;
// The longest field text that is parsed; longer texts are refused.
constexpr int kFieldTextMax = 31;

constexpr wchar_t kLauncherCaption[] = L"Vantora Launcher";
constexpr wchar_t kInvalidSettingCaption[] = L"Invalid setting";

bool EnsureWindowClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, kSettingsWindowClass, &existing)) {
        return true;
    }
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kSettingsWindowClass;
    return RegisterClassExW(&windowClass) != 0;
}

// Registers the tab control. The common controls are loaded from the system
// folder when the window first opens, so that a launcher that never shows it
// does not carry them, and no copy in the game folder is ever loaded.
void EnsureTabControlClass() {
    static HMODULE commonControls = nullptr;
    if (!commonControls) {
        commonControls = LoadSystemDll(L"comctl32.dll");
    }
    using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const auto init = commonControls ? reinterpret_cast<InitFunction>(reinterpret_cast<void*>(
                                           GetProcAddress(commonControls, "InitCommonControlsEx")))
                                     : nullptr;
    if (init) {
        INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_TAB_CLASSES};
        init(&classes);
    }
}

// Signed decimal text of a whole field, within the record's range. Leading
// blanks and a sign are taken as wcstol takes them; anything after the number
// and numbers that do not fit a long are refused.
bool ParseFieldValue(const wchar_t* text, const NumberSetting& record, int* value) {
    if (text[0] == L'\0') {
        return false;
    }
    wchar_t* end = nullptr;
    errno = 0;
    const long parsed = wcstol(text, &end, 10);
    if (*end != L'\0' || errno == ERANGE || parsed < record.minimum || parsed > record.maximum) {
        return false;
    }
    *value = static_cast<int>(parsed);
    return true;
}

}  // namespace

ClientSettingsWindow::ClientSettingsWindow(std::wstring userIniPath, std::wstring legacyIniPath,
                                           MessageBoxFunction messageBox, std::wstring fontFace)
    : userIniPath(std::move(userIniPath)),
      legacyIniPath(std::move(legacyIniPath)),
      messageBox(std::move(messageBox)),
      fontFace(std::move(fontFace)) {}

ClientSettingsWindow::~ClientSettingsWindow() {
    // The window's last messages reach this object: it goes while every
    // member still stands.
    settingsWindow.reset();
}

bool ClientSettingsWindow::Create(HWND owner) {
    if (settingsWindow) {
        return false;
    }
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!EnsureWindowClass(instance, &ClientSettingsWindow::WindowProcedure)) {
        return false;
    }
    EnsureTabControlClass();

    RECT area = {};
    if (!owner || !GetWindowRect(owner, &area)) {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    const int left = area.left + (area.right - area.left - kWindowWidth) / 2;
    const int top = area.top + (area.bottom - area.top - kWindowHeight) / 2;

    ownerWindow = owner;
    saved = false;
    const HWND created =
        CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kSettingsWindowClass,
                        L"Vantora Online Settings", WS_CAPTION | WS_SYSMENU, left, top,
                        kWindowWidth, kWindowHeight, owner, nullptr, instance, this);
    return created != nullptr;
}

bool ClientSettingsWindow::RunModal() {
    if (!settingsWindow) {
        return false;
    }
    EnableWindow(ownerWindow, FALSE);
    ShowWindow(settingsWindow.get(), SW_SHOWNORMAL);
    UpdateWindow(settingsWindow.get());

    while (settingsWindow && IsWindow(settingsWindow.get())) {
        MSG message;
        const BOOL result = GetMessageW(&message, nullptr, 0, 0);
        if (result == 0) {
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (result == -1) {
            break;
        }
        if (!IsDialogMessageW(settingsWindow.get(), &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    // A quit message leaves the window standing; it must not outlive this
    // object, whose address it keeps.
    settingsWindow.reset();
    EnableWindow(ownerWindow, TRUE);
    SetForegroundWindow(ownerWindow);
    return saved;
}

LRESULT CALLBACK ClientSettingsWindow::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                                       LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* self = static_cast<ClientSettingsWindow*>(create->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->settingsWindow.reset(window);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    auto* self = reinterpret_cast<ClientSettingsWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->HandleMessage(window, message, wParam, lParam);
}

LRESULT ClientSettingsWindow::HandleMessage(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            BuildControls();
            LoadValues();
            return 0;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom == kSettingsTabControlId && header->code == TCN_SELCHANGE) {
                ShowTab(static_cast<int>(SendMessageW(tabControl, TCM_GETCURSEL, 0, 0)));
            }
            return 0;
        }
        case WM_COMMAND:
            OnCommand(LOWORD(wParam));
            return 0;
        case WM_CLOSE:
            settingsWindow.reset();
            return 0;
        case WM_DESTROY:
            normalFont.reset();
            titleFont.reset();
            settingsWindow.release();
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

void ClientSettingsWindow::LoadValues() {
    const wchar_t* path = userIniPath.c_str();
    for (const CheckboxSetting& record : kCheckboxSettings) {
        const UINT value =
            GetPrivateProfileIntW(record.section, record.key, record.defaultValue, path);
        SendDlgItemMessageW(settingsWindow.get(), record.controlId, BM_SETCHECK,
                            value != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    for (const NumberSetting& record : kNumberSettings) {
        const UINT value =
            GetPrivateProfileIntW(record.section, record.key, record.defaultValue, path);
        SetDlgItemInt(settingsWindow.get(), record.controlId, value, FALSE);
    }
}

void ClientSettingsWindow::RestoreDefaults() {
    for (const CheckboxSetting& record : kCheckboxSettings) {
        SendDlgItemMessageW(settingsWindow.get(), record.controlId, BM_SETCHECK,
                            record.defaultValue != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    for (const NumberSetting& record : kNumberSettings) {
        SetDlgItemInt(settingsWindow.get(), record.controlId,
                      static_cast<UINT>(record.defaultValue), FALSE);
    }
}

bool ClientSettingsWindow::ValidateNumber(const NumberSetting& record, int* value) {
    const HWND field = GetDlgItem(settingsWindow.get(), record.controlId);
    wchar_t text[kFieldTextMax + 1] = {};
    // A longer text would be cut to its first characters and could pass.
    if (GetWindowTextLengthW(field) <= kFieldTextMax) {
        GetWindowTextW(field, text, kFieldTextMax + 1);
        if (ParseFieldValue(text, record, value)) {
            return true;
        }
    }
    const std::wstring message = std::wstring(record.messageLabel) + L" must be between " +
                                 std::to_wstring(record.minimum) + L" and " +
                                 std::to_wstring(record.maximum) + L".";
    messageBox(settingsWindow.get(), message, kInvalidSettingCaption, MB_OK | MB_ICONWARNING);
    ShowTab(record.tabIndex);
    SendMessageW(tabControl, TCM_SETCURSEL, record.tabIndex, 0);
    SetFocus(field);
    SendMessageW(field, EM_SETSEL, 0, -1);
    return false;
}

bool ClientSettingsWindow::WriteValues(const std::wstring& path,
                                       const int (&values)[kNumberSettingCount]) {
    for (const CheckboxSetting& record : kCheckboxSettings) {
        const bool checked = SendDlgItemMessageW(settingsWindow.get(), record.controlId,
                                                 BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (!WritePrivateProfileStringW(record.section, record.key, checked ? L"1" : L"0",
                                        path.c_str())) {
            return false;
        }
    }
    for (size_t i = 0; i < kNumberSettingCount; ++i) {
        const NumberSetting& record = kNumberSettings[i];
        if (!WritePrivateProfileStringW(record.section, record.key,
                                        std::to_wstring(values[i]).c_str(), path.c_str())) {
            return false;
        }
    }
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, path.c_str());
    return true;
}

void ClientSettingsWindow::Save() {
    int values[kNumberSettingCount] = {};
    for (size_t i = 0; i < kNumberSettingCount; ++i) {
        if (!ValidateNumber(kNumberSettings[i], &values[i])) {
            return;
        }
    }
    if (!WriteValues(userIniPath, values)) {
        messageBox(settingsWindow.get(), L"Could not write setup.ini.", kLauncherCaption,
                   MB_OK | MB_ICONERROR);
        return;
    }
    if (!legacyIniPath.empty() && legacyIniPath != userIniPath &&
        PathFileExistsW(legacyIniPath.c_str()) && !WriteValues(legacyIniPath, values)) {
        messageBox(settingsWindow.get(),
                   L"The per-user setup.ini was saved, but the legacy setup.ini could not be "
                   L"updated.",
                   kLauncherCaption, MB_OK | MB_ICONWARNING);
    }
    saved = true;
    settingsWindow.reset();
}

void ClientSettingsWindow::OnCommand(int controlId) {
    switch (controlId) {
        case kRestoreDefaultsButtonId:
            if (messageBox(settingsWindow.get(),
                           L"Restore all known client settings to their defaults?",
                           kLauncherCaption, MB_YESNO | MB_ICONQUESTION) == IDYES) {
                RestoreDefaults();
            }
            break;
        case kSaveButtonId:
            Save();
            break;
        case kCancelButtonId:
            settingsWindow.reset();
            break;
        default:
            break;
    }
}

bool RunSettingsWindow(HWND owner, const std::wstring& userIniPath,
                       const std::wstring& legacyIniPath, const MessageBoxFunction& messageBox) {
    ClientSettingsWindow window(userIniPath, legacyIniPath, messageBox);
    if (!window.Create(owner)) {
        return false;
    }
    return window.RunModal();
}
