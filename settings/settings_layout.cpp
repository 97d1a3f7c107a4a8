#include "settings/settings_layout.h"

#include "settings/schema.h"

namespace {

using Kind = SettingsControlKind;

constexpr int kCheckboxHeight = 24;

constexpr SettingsLayoutItem Group(int tab, const wchar_t* caption, int x, int y, int width,
                                   int height) {
    return {tab, Kind::kGroup, 0, caption, x, y, width, height};
}

constexpr SettingsLayoutItem Box(int tab, int controlId, int x, int y, int width) {
    return {tab, Kind::kCheckbox, controlId, nullptr, x, y, width, kCheckboxHeight};
}

constexpr SettingsLayoutItem Row(int tab, int controlId, int x, int y) {
    return {tab, Kind::kNumberRow, controlId, nullptr, x, y, 0, 0};
}

constexpr SettingsLayoutItem Note(int tab, const wchar_t* text, int x, int y, int width,
                                  int height) {
    return {tab, Kind::kNote, 0, text, x, y, width, height};
}

constexpr SettingsLayoutItem LegacyNote(int tab, int x, int y, int width, int height) {
    return {tab, Kind::kLegacyNote, 0, nullptr, x, y, width, height};
}

constexpr int kGeneral = kSettingsTabGeneral;
constexpr int kGraphics = kSettingsTabGraphics;
constexpr int kAudio = kSettingsTabAudioGameplay;
constexpr int kExtensions = kSettingsTabLauncherExtensions;

}  // namespace

const wchar_t kLegacyNoteFound[] = L"Legacy setup.ini is kept in sync.";
const wchar_t kLegacyNoteMissing[] = L"No legacy setup.ini was found next to the launcher.";

const SettingsLayoutItem kSettingsLayout[] = {
    // General
    Group(kGeneral, L"Client interaction", 34, 86, 390, 160),
    Box(kGeneral, 1031, 52, 114, 330),
    Box(kGeneral, 1032, 52, 142, 330),
    Row(kGeneral, 1037, 52, 174),
    Row(kGeneral, 1038, 52, 206),
    Group(kGeneral, L"Interface layout", 440, 86, 390, 192),
    Row(kGeneral, 1044, 458, 114),
    Row(kGeneral, 1045, 458, 146),
    Row(kGeneral, 1046, 458, 178),
    Row(kGeneral, 1047, 458, 210),
    Group(kGeneral, L"Regional", 34, 298, 390, 110),
    Row(kGeneral, 1014, 52, 326),
    Note(kGeneral, L"Language comes from the data pack.", 52, 362, 340, 32),
    Group(kGeneral, L"Quickslot and map cache", 440, 298, 390, 142),
    Row(kGeneral, 1012, 458, 326),
    Row(kGeneral, 1013, 458, 358),
    Note(kGeneral, L"0 disables cache; 1 is treated as 2.", 458, 394, 350, 32),

    // Graphics
    Group(kGraphics, L"Display", 34, 86, 390, 250),
    Row(kGraphics, 1004, 52, 114),
    Row(kGraphics, 1005, 52, 146),
    Box(kGraphics, 1018, 52, 180, 330),
    Row(kGraphics, 1001, 52, 208),
    Row(kGraphics, 1007, 52, 240),
    Row(kGraphics, 1006, 52, 272),
    Group(kGraphics, L"World and rendering", 440, 86, 390, 438),
    Row(kGraphics, 1002, 458, 114),
    Row(kGraphics, 1003, 458, 146),
    Row(kGraphics, 1010, 458, 178),
    Row(kGraphics, 1011, 458, 210),
    Box(kGraphics, 1015, 458, 244, 340),
    Box(kGraphics, 1019, 458, 272, 340),
    Box(kGraphics, 1020, 458, 300, 340),
    Box(kGraphics, 1021, 458, 328, 340),
    Box(kGraphics, 1024, 458, 356, 340),
    Box(kGraphics, 1025, 458, 384, 340),
    Box(kGraphics, 1026, 458, 412, 340),
    Box(kGraphics, 1027, 458, 440, 340),
    Group(kGraphics, L"Asset and display switches", 34, 360, 390, 164),
    Note(kGraphics, L"Runtime switches for textures, terrain, weather and frame optimization.", 52,
         394, 340, 58),

    // Audio / Gameplay
    Group(kAudio, L"Sound", 34, 86, 390, 160),
    Box(kAudio, 1016, 52, 114, 330),
    Box(kAudio, 1017, 52, 142, 330),
    Row(kAudio, 1009, 52, 174),
    Row(kAudio, 1008, 52, 206),
    Group(kAudio, L"Gameplay controls", 440, 86, 390, 300),
    Box(kAudio, 1022, 458, 114, 340),
    Box(kAudio, 1023, 458, 142, 340),
    Box(kAudio, 1028, 458, 170, 340),
    Box(kAudio, 1035, 458, 198, 340),
    Box(kAudio, 1036, 458, 226, 340),
    Box(kAudio, 1033, 458, 254, 340),
    Box(kAudio, 1034, 458, 282, 340),
    Box(kAudio, 1029, 458, 310, 340),
    Box(kAudio, 1030, 458, 338, 340),
    Group(kAudio, L"Auto Potion", 34, 268, 390, 256),
    Box(kAudio, 1039, 52, 296, 340),
    Row(kAudio, 1040, 52, 328),
    Row(kAudio, 1041, 52, 360),
    Row(kAudio, 1042, 52, 392),
    Row(kAudio, 1043, 52, 424),
    Note(kAudio, L"Item codes must exist in the inventory.", 52, 460, 340, 32),
    // The switch has the first row to itself; the six details share the
    // rows below it in two columns that do not reach into each other.
    Group(kAudio, L"Discord Rich Presence", 440, 404, 390, 160),
    Box(kAudio, 1056, 458, 432, 340),
    Box(kAudio, 1057, 458, 460, 170),
    Box(kAudio, 1058, 458, 488, 170),
    Box(kAudio, 1059, 458, 516, 170),
    Box(kAudio, 1060, 632, 460, 192),
    Box(kAudio, 1061, 632, 488, 192),
    Box(kAudio, 1062, 632, 516, 192),

    // Launcher extensions. The tracker frame ends where the file-handling
    // frame begins (y 292) instead of running on to y 356 underneath it; its
    // last row ends at y 290.
    Group(kExtensions, L"Performance tracker", 34, 86, 796, 206),
    Box(kExtensions, 1048, 52, 118, 340),
    Box(kExtensions, 1049, 52, 146, 340),
    Box(kExtensions, 1050, 52, 174, 340),
    Box(kExtensions, 1051, 52, 202, 340),
    Row(kExtensions, 1052, 52, 234),
    Row(kExtensions, 1053, 52, 266),
    Row(kExtensions, 1054, 458, 118),
    Row(kExtensions, 1055, 458, 150),
    Note(kExtensions, L"Diagnostic settings used by the current client build.", 458, 194, 350, 60),
    Group(kExtensions, L"File handling", 34, 292, 796, 130),
    Note(kExtensions, L"Unknown setup.ini entries are preserved.", 52, 326, 740, 40),
    LegacyNote(kExtensions, 52, 374, 740, 28),
};
