#pragma once

#include <cstddef>

// The setup.ini keys that the launcher knows. The game client owns the file;
// these tables are everything the launcher says about it. Keys that are not
// listed here are never read, written or removed.

// Tabs of the settings window, by index.
constexpr int kSettingsTabGeneral = 0;
constexpr int kSettingsTabGraphics = 1;
constexpr int kSettingsTabAudioGameplay = 2;
constexpr int kSettingsTabLauncherExtensions = 3;
constexpr int kSettingsTabCount = 4;

// Captions of the tabs, in index order.
extern const wchar_t* const kSettingsTabCaptions[kSettingsTabCount];

// One key that must exist in the per-user setup.ini, with the text written
// when it is missing.
struct KnownClientKey {
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* defaultValue;
};

// An on/off key shown as a checkbox; stored as "1" or "0".
struct CheckboxSetting {
    int tabIndex;
    int controlId;
    const wchar_t* section;
    const wchar_t* key;
    int defaultValue;  // 0 or 1
    const wchar_t* caption;
};

// An integer key shown as a numeric field, valid from minimum to maximum
// (both inclusive); stored as signed decimal text.
struct NumberSetting {
    int tabIndex;
    int controlId;
    const wchar_t* section;
    const wchar_t* key;
    int defaultValue;
    int minimum;
    int maximum;
    const wchar_t* messageLabel;  // names the field in the range message
    const wchar_t* caption;
    const wchar_t* hint;  // "" when the field has none
};

constexpr size_t kKnownClientKeyCount = 64;
constexpr size_t kCheckboxSettingCount = 34;
constexpr size_t kNumberSettingCount = 28;

// In the order in which missing keys are filled.
extern const KnownClientKey kKnownClientKeys[kKnownClientKeyCount];
// In the order of loading, restoring and saving.
extern const CheckboxSetting kCheckboxSettings[kCheckboxSettingCount];
// In the order of loading, restoring, validating and saving; validation
// reports the first invalid field in this order.
extern const NumberSetting kNumberSettings[kNumberSettingCount];
