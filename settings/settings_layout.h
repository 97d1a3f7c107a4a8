#pragma once

#include <cstddef>

// The pages of the settings window as data: which controls each tab holds
// and where they stand, in client pixels of the settings window.

enum class SettingsControlKind {
    kGroup,       // group box titled by text
    kCheckbox,    // the checkbox of the CheckboxSetting with controlId
    kNumberRow,   // caption, field and hint of the NumberSetting with controlId
    kNote,        // static text
    kLegacyNote,  // static text telling whether a legacy setup.ini was found
};

struct SettingsLayoutItem {
    int tabIndex;
    SettingsControlKind kind;
    int controlId;        // checkboxes and number rows; 0 otherwise
    const wchar_t* text;  // group captions and notes; nullptr otherwise
    int x;
    int y;
    int width;  // number rows take their size from the row itself
    int height;
};

constexpr size_t kSettingsLayoutCount = 82;

// In creation order: group by group, each group box before its contents.
extern const SettingsLayoutItem kSettingsLayout[kSettingsLayoutCount];

// Texts of the legacy note.
extern const wchar_t kLegacyNoteFound[];
extern const wchar_t kLegacyNoteMissing[];
