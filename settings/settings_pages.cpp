#include "settings/settings_window.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "settings/checkbox_fit.h"
#include "settings/settings_layout.h"

// The pages of the settings window: its controls, built from the layout
// table, and the switching between its tabs.

namespace {

constexpr int kNoControlId = -1;
constexpr int kFieldTextLimit = 9;

constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE;
constexpr DWORD kStaticStyle = kChildStyle | SS_LEFT;

const CheckboxSetting* FindCheckbox(int controlId) {
    for (const CheckboxSetting& record : kCheckboxSettings) {
        if (record.controlId == controlId) {
            return &record;
        }
    }
    return nullptr;
}

const NumberSetting* FindNumber(int controlId) {
    for (const NumberSetting& record : kNumberSettings) {
        if (record.controlId == controlId) {
            return &record;
        }
    }
    return nullptr;
}

UniqueFont CreateSettingsFont(const std::wstring& face, int height, int weight) {
    return UniqueFont(CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                  DEFAULT_PITCH, face.c_str()));
}

// A frame of a page with the checkboxes that it holds, for fitting them to
// their captions once the page is built.
struct FrameContents {
    HWND frame = nullptr;
    std::vector<HWND> checkboxes;
    bool onlyCheckboxes = true;
};

}  // namespace

HWND ClientSettingsWindow::AddControl(int tabIndex, DWORD exStyle, const wchar_t* className,
                                      const wchar_t* text, DWORD style, int x, int y, int width,
                                      int height, int controlId, HFONT font) {
    const HWND control =
        CreateWindowExW(exStyle, className, text, style, x, y, width, height, settingsWindow.get(),
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)),
                        GetModuleHandleW(nullptr), nullptr);
    if (!control) {
        return nullptr;
    }
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (tabIndex >= 0 && tabIndex < kSettingsTabCount) {
        tabControls[tabIndex].push_back(control);
    }
    return control;
}

void ClientSettingsWindow::AddNumberRow(int tabIndex, int controlId, const wchar_t* caption,
                                        const wchar_t* hint, int x, int y) {
    const HFONT font = normalFont.get();
    AddControl(tabIndex, 0, L"STATIC", caption, kStaticStyle, x, y + 3, 155, 22, kNoControlId,
               font);
    const HWND field = AddControl(tabIndex, WS_EX_CLIENTEDGE, L"EDIT", L"",
                                  kChildStyle | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL, x + 160, y,
                                  82, 24, controlId, font);
    if (field) {
        SendMessageW(field, EM_LIMITTEXT, kFieldTextLimit, 0);
    }
    if (hint && hint[0] != L'\0') {
        AddControl(tabIndex, 0, L"STATIC", hint, kStaticStyle, x + 248, y + 3, 70, 22, kNoControlId,
                   font);
    }
}

void ClientSettingsWindow::BuildControls() {
    normalFont = CreateSettingsFont(fontFace, 15, FW_NORMAL);
    titleFont = CreateSettingsFont(fontFace, 19, 600);
    const HFONT font = normalFont.get();
    constexpr int kNoTab = -1;

    AddControl(kNoTab, 0, L"STATIC", L"Client setup.ini", kStaticStyle, 20, 14, 230, 28,
               kNoControlId, titleFont ? titleFont.get() : font);
    AddControl(kNoTab, 0, L"STATIC",
               L"Supported client options are editable here. Unknown keys are preserved.",
               kStaticStyle, 250, 17, 590, 22, kNoControlId, font);

    // The pages' controls lie on the tab control: it clips its siblings and
    // goes below them once they exist (see the end of BuildControls), or a
    // repaint of the tab control paints over them.
    tabControl =
        AddControl(kNoTab, 0, WC_TABCONTROLW, L"", kChildStyle | WS_TABSTOP | WS_CLIPSIBLINGS, 16,
                   50, 848, 620, kSettingsTabControlId, font);
    for (int tab = 0; tab < kSettingsTabCount; ++tab) {
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(kSettingsTabCaptions[tab]);
        SendMessageW(tabControl, TCM_INSERTITEMW, tab, reinterpret_cast<LPARAM>(&item));
    }

    const bool legacyFound = !legacyIniPath.empty() && PathFileExistsW(legacyIniPath.c_str());
    std::vector<FrameContents> frames;
    for (const SettingsLayoutItem& item : kSettingsLayout) {
        if (item.kind == SettingsControlKind::kGroup) {
            frames.emplace_back();
        } else if (item.kind != SettingsControlKind::kCheckbox && !frames.empty()) {
            frames.back().onlyCheckboxes = false;
        }
        switch (item.kind) {
            case SettingsControlKind::kGroup:
                frames.back().frame =
                    AddControl(item.tabIndex, 0, L"BUTTON", item.text, kChildStyle | BS_GROUPBOX,
                               item.x, item.y, item.width, item.height, kNoControlId, font);
                break;
            case SettingsControlKind::kCheckbox:
                if (const CheckboxSetting* record = FindCheckbox(item.controlId)) {
                    const HWND checkbox =
                        AddControl(item.tabIndex, 0, L"BUTTON", record->caption,
                                   kChildStyle | WS_TABSTOP | BS_AUTOCHECKBOX, item.x, item.y,
                                   item.width, item.height, record->controlId, font);
                    if (checkbox && !frames.empty()) {
                        frames.back().checkboxes.push_back(checkbox);
                    }
                }
                break;
            case SettingsControlKind::kNumberRow:
                if (const NumberSetting* record = FindNumber(item.controlId)) {
                    AddNumberRow(item.tabIndex, record->controlId, record->caption, record->hint,
                                 item.x, item.y);
                }
                break;
            case SettingsControlKind::kNote:
            case SettingsControlKind::kLegacyNote: {
                const wchar_t* text = item.text;
                if (item.kind == SettingsControlKind::kLegacyNote) {
                    text = legacyFound ? kLegacyNoteFound : kLegacyNoteMissing;
                }
                AddControl(item.tabIndex, 0, L"STATIC", text, kStaticStyle, item.x, item.y,
                           item.width, item.height, kNoControlId, font);
                break;
            }
        }
    }

    // A font wider than the layout was drawn for would cut captions off.
    for (const FrameContents& contents : frames) {
        if (contents.frame) {
            FitCheckboxes(contents.frame, contents.checkboxes, contents.onlyCheckboxes);
        }
    }

    AddControl(kNoTab, 0, L"BUTTON", L"Restore Defaults", kChildStyle | WS_TABSTOP, 20, 685, 145,
               32, kRestoreDefaultsButtonId, font);
    AddControl(kNoTab, 0, L"BUTTON", L"Save", kChildStyle | WS_TABSTOP | BS_DEFPUSHBUTTON, 694, 685,
               75, 32, kSaveButtonId, font);
    AddControl(kNoTab, 0, L"BUTTON", L"Cancel", kChildStyle | WS_TABSTOP, 778, 685, 75, 32,
               kCancelButtonId, font);

    // At the bottom of the z-order the tab control is last in the Tab key's
    // cycle instead of first, which keeps the cycle's order.
    SetWindowPos(tabControl, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ShowTab(kSettingsTabGeneral);
}

void ClientSettingsWindow::ShowTab(int tabIndex) {
    if (tabIndex < 0 || tabIndex >= kSettingsTabCount) {
        return;
    }
    for (int tab = 0; tab < kSettingsTabCount; ++tab) {
        for (HWND control : tabControls[tab]) {
            ShowWindow(control, tab == tabIndex ? SW_SHOW : SW_HIDE);
        }
    }
}
