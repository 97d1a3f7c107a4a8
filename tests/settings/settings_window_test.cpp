#include "settings/settings_window.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/text.h"
#include "settings/schema.h"
#include "tests/settings/window_capture.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr wchar_t kAbsent[] = L"<absent>";
// The launcher stands here; the settings window, centred on it, then starts
// at the screen's left edge.
constexpr int kOwnerLeft = -200;

struct ShownMessage {
    std::wstring text;
    std::wstring caption;
    UINT type;
};

// Stands in for the message box: records what would have been shown and
// gives the scripted answers in order (IDOK once they run out).
class MessageBoxScript {
  public:
    MessageBoxFunction Function() {
        return [this](HWND, const std::wstring& text, const std::wstring& caption, UINT type) {
            shown.push_back({text, caption, type});
            if (answers.empty()) {
                return IDOK;
            }
            const int answer = answers.front();
            answers.erase(answers.begin());
            return answer;
        };
    }

    std::vector<ShownMessage> shown;
    std::vector<int> answers;
};

// The visible settings window of this thread (other test programs may show
// theirs on the same display).
HWND FindSettingsWindow() {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, kSettingsWindowClass, nullptr)) != nullptr) {
        if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId() &&
            IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

// Plays steps against the open settings window from a thread timer, one step
// per tick, so that a test can drive the window's own modal loop. A step
// either acts once or waits, tick after tick, until its condition holds
// (bounded). A window that is still open long after the last step is closed
// as a failure.
class ModalDriver {
  public:
    struct Step {
        template <typename Action>
        Step(Action action) : act(std::move(action)) {}  // NOLINT: steps are written as lambdas

        // A step that is done once `done` returns true.
        static Step Until(std::function<bool(HWND settings)> done) {
            Step step([](HWND) {});
            step.until = std::move(done);
            return step;
        }

        std::function<void(HWND settings)> act;
        std::function<bool(HWND settings)> until;
    };

    explicit ModalDriver(std::vector<Step> steps) : steps_(std::move(steps)) {
        active_ = this;
        timer_ = SetTimer(nullptr, 0, 15, &ModalDriver::Tick);
    }
    ~ModalDriver() {
        KillTimer(nullptr, timer_);
        active_ = nullptr;
    }
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    size_t stepsRun() const { return next_; }

  private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        ModalDriver* self = active_;
        const HWND settings = FindSettingsWindow();
        if (!self || !settings) {
            return;
        }
        if (self->next_ < self->steps_.size()) {
            Step& step = self->steps_[self->next_];
            if (!step.until) {
                step.act(settings);
                ++self->next_;
            } else if (step.until(settings)) {
                ++self->next_;
                self->waitStart_ = 0;
            } else if (self->waitStart_ == 0) {
                self->waitStart_ = GetTickCount();
            } else if (GetTickCount() - self->waitStart_ > kWaitLimitMs) {
                ADD_FAILURE() << "step " << self->next_ << " waited in vain";
                DestroyWindow(settings);
            }
        } else if (++self->idleTicks_ > 200) {
            ADD_FAILURE() << "the settings window stayed open";
            DestroyWindow(settings);
        }
    }

    static constexpr DWORD kWaitLimitMs = 20000;
    static ModalDriver* active_;
    std::vector<Step> steps_;
    size_t next_ = 0;
    DWORD waitStart_ = 0;
    int idleTicks_ = 0;
    UINT_PTR timer_ = 0;
};

ModalDriver* ModalDriver::active_ = nullptr;

// The schema's records of the keys that the tests edit: controls are named
// by the key they stand for, their identifiers taken from the schema.
template <typename Record, size_t Count>
const Record& FindRecord(const Record (&table)[Count], const wchar_t* key) {
    for (const Record& record : table) {
        if (wcscmp(record.key, key) == 0) {
            return record;
        }
    }
    ADD_FAILURE() << "the schema has no control for " << WideToUtf8(key);
    static const Record kNone = {};
    return kNone;
}

const CheckboxSetting& Box(const wchar_t* key) {
    return FindRecord(kCheckboxSettings, key);
}

const NumberSetting& Field(const wchar_t* key) {
    return FindRecord(kNumberSettings, key);
}

HWND Control(HWND settings, int id) {
    return GetDlgItem(settings, id);
}

HWND Control(HWND settings, const CheckboxSetting& box) {
    return Control(settings, box.controlId);
}

HWND Control(HWND settings, const NumberSetting& field) {
    return Control(settings, field.controlId);
}

std::wstring Text(HWND control) {
    wchar_t text[256] = {};
    GetWindowTextW(control, text, 256);
    return text;
}

std::wstring FieldText(HWND settings, const NumberSetting& field) {
    return Text(Control(settings, field));
}

void SetField(HWND settings, const NumberSetting& field, const wchar_t* text) {
    SetWindowTextW(Control(settings, field), text);
}

bool Checked(HWND settings, const CheckboxSetting& box) {
    return SendMessageW(Control(settings, box), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND settings, const CheckboxSetting& box, bool checked) {
    SendMessageW(Control(settings, box), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Click(HWND settings, int id) {
    SendMessageW(settings, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Control(settings, id)));
}

// Clicks the tab's header, as the user does.
void SelectTab(HWND settings, int tab) {
    const HWND tabs = Control(settings, kSettingsTabControlId);
    RECT header = {};
    ASSERT_TRUE(SendMessageW(tabs, TCM_GETITEMRECT, tab, reinterpret_cast<LPARAM>(&header)));
    const LPARAM point =
        MAKELPARAM((header.left + header.right) / 2, (header.top + header.bottom) / 2);
    SendMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageW(tabs, WM_LBUTTONUP, 0, point);
}

int CurrentTab(HWND settings) {
    return static_cast<int>(
        SendMessageW(Control(settings, kSettingsTabControlId), TCM_GETCURSEL, 0, 0));
}

// Whether a control of the window, shown or not, carries exactly this text.
bool HasControlText(HWND settings, const wchar_t* text) {
    for (HWND control = GetWindow(settings, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
        if (Text(control) == text) {
            return true;
        }
    }
    return false;
}

bool Shown(HWND control) {
    return (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

std::wstring ReadValue(const std::wstring& path, const wchar_t* section, const wchar_t* key) {
    wchar_t value[512] = {};
    GetPrivateProfileStringW(section, key, kAbsent, value, 512, path.c_str());
    return value;
}

size_t CountKeyLines(const std::string& text) {
    size_t count = 0;
    for (char c : text) {
        count += c == '=';
    }
    return count;
}

class SettingsWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(CreateDirectoryW(userFolder.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW(gameFolder.c_str(), nullptr));
        owner = CreateWindowExW(0, L"STATIC", L"Launcher", WS_POPUP, kOwnerLeft, 100, 1280, 720,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(owner, nullptr);
    }
    void TearDown() override {
        window.reset();
        DestroyWindow(owner);
    }

    // Builds the window without its modal loop, so that a test can send it
    // messages directly.
    HWND Open() {
        window = std::make_unique<ClientSettingsWindow>(userIni, legacyIni, script.Function());
        if (!window->Create(owner)) {
            ADD_FAILURE() << "the settings window was not created";
            return nullptr;
        }
        ShowWindow(window->Handle(), SW_SHOW);
        return window->Handle();
    }

    bool Run(std::vector<ModalDriver::Step> steps, size_t* stepsRun = nullptr) {
        ModalDriver driver(std::move(steps));
        const bool result = RunSettingsWindow(owner, userIni, legacyIni, script.Function());
        if (stepsRun) {
            *stepsRun = driver.stepsRun();
        }
        return result;
    }

    // The same run with the window's texts drawn in fontFace.
    bool RunInFont(const wchar_t* fontFace, std::vector<ModalDriver::Step> steps,
                   size_t* stepsRun) {
        ModalDriver driver(std::move(steps));
        ClientSettingsWindow settings(userIni, legacyIni, script.Function(), fontFace);
        const bool result = settings.Create(owner) && settings.RunModal();
        *stepsRun = driver.stepsRun();
        return result;
    }

    // Shows every tab of the window, in fontFace, and checks that each shows
    // its controls whole; saves pictures of the pages named after shotName.
    // faceDrawn: the face that the system drew the texts in.
    void ExpectEachTabWhole(const wchar_t* fontFace, const std::wstring& shotName,
                            std::wstring& faceDrawn);

    TempFolder temp;
    std::wstring userFolder = temp.Child(L"VantoraOnline");
    std::wstring userIni = userFolder + L"\\setup.ini";
    std::wstring gameFolder = temp.Child(L"game");
    std::wstring legacyIni = gameFolder + L"\\setup.ini";
    HWND owner = nullptr;
    MessageBoxScript script;
    std::unique_ptr<ClientSettingsWindow> window;
};

}  // namespace

TEST_F(SettingsWindowTest, LoadsThePerUserFileAndShowsDefaultsForMissingKeys) {
    const std::string user =
        "[Client]\r\nBGM=5\r\nWidth=99999\r\nWindow=1\r\nLODTerrain=0\r\n"
        "MapCaching=1\r\n[Discord]\r\nShareShop=0\r\n";
    ASSERT_TRUE(WriteBytes(userIni, user));
    ASSERT_TRUE(WriteBytes(legacyIni, "[Client]\r\nBGM=0\r\nWidth=800\r\n"));
    const HWND settings = Open();
    ASSERT_NE(settings, nullptr);

    EXPECT_TRUE(Checked(settings, Box(L"BGM")));  // BGM=5
    EXPECT_EQ(FieldText(settings, Field(L"Width")), L"99999");
    EXPECT_TRUE(Checked(settings, Box(L"Window")));
    EXPECT_FALSE(Checked(settings, Box(L"LODTerrain")));
    EXPECT_EQ(FieldText(settings, Field(L"MapCaching")), L"1");
    EXPECT_FALSE(Checked(settings, Box(L"ShareShop")));
    // Keys that the file lacks show their defaults.
    EXPECT_TRUE(Checked(settings, Box(L"EffectSound")));
    EXPECT_FALSE(Checked(settings, Box(L"AutoPotionEnabled")));
    EXPECT_EQ(FieldText(settings, Field(L"Height")), L"768");
    EXPECT_EQ(FieldText(settings, Field(L"MaxLogKB")), L"2048");
    EXPECT_EQ(SendMessageW(Control(settings, Field(L"Width")), EM_GETLIMITTEXT, 0, 0), 9);
    // Loading changes no file.
    EXPECT_EQ(ReadBytes(userIni), user);
}

TEST_F(SettingsWindowTest, OpensOnTheGeneralTabWithItsClassAndTitle) {
    const HWND settings = Open();
    ASSERT_NE(settings, nullptr);

    wchar_t className[64] = {};
    GetClassNameW(settings, className, 64);
    EXPECT_STREQ(className, L"VantoraLauncherSettingsWindow");
    EXPECT_EQ(Text(settings), L"Vantora Online Settings");
    EXPECT_EQ(CurrentTab(settings), kSettingsTabGeneral);
    EXPECT_TRUE(Shown(Control(settings, Box(L"SkillTargetIndicators"))));
    EXPECT_TRUE(Shown(Control(settings, Field(L"ChatFontSize"))));
    EXPECT_FALSE(Shown(Control(settings, Field(L"Width"))));
    EXPECT_FALSE(Shown(Control(settings, Box(L"BGM"))));
    EXPECT_FALSE(Shown(Control(settings, Box(L"Enabled"))));
}

TEST_F(SettingsWindowTest, LegacyNoteTellsThatTheLegacyFileIsKeptInSync) {
    ASSERT_TRUE(WriteBytes(legacyIni, "[Client]\r\nBGM=0\r\nWidth=800\r\n"));
    const HWND settings = Open();
    ASSERT_NE(settings, nullptr);

    EXPECT_TRUE(HasControlText(settings, L"Legacy setup.ini is kept in sync."));
    EXPECT_FALSE(HasControlText(settings, L"No legacy setup.ini was found next to the launcher."));
}

TEST_F(SettingsWindowTest, TabsShowTheirOwnControls) {
    const HWND settings = Open();
    ASSERT_NE(settings, nullptr);
    const HWND tabs = Control(settings, kSettingsTabControlId);
    ASSERT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 4);

    SelectTab(settings, kSettingsTabAudioGameplay);
    EXPECT_EQ(CurrentTab(settings), kSettingsTabAudioGameplay);
    EXPECT_TRUE(Shown(Control(settings, Box(L"BGM"))));
    EXPECT_TRUE(Shown(Control(settings, Field(L"AutoPotionHPPercent"))));
    EXPECT_TRUE(Shown(Control(settings, Box(L"ShareShop"))));
    EXPECT_FALSE(Shown(Control(settings, Box(L"SkillTargetIndicators"))));
    EXPECT_FALSE(Shown(Control(settings, Field(L"Width"))));
    SelectTab(settings, kSettingsTabLauncherExtensions);
    EXPECT_TRUE(Shown(Control(settings, Field(L"OverlayUpdateMs"))));
    EXPECT_FALSE(Shown(Control(settings, Field(L"AutoPotionHPPercent"))));
    for (int button : {kRestoreDefaultsButtonId, kSaveButtonId, kCancelButtonId}) {
        EXPECT_TRUE(Shown(Control(settings, button))) << button;
    }
}

TEST_F(SettingsWindowTest, OtherCommandsAreIgnored) {
    const HWND settings = Open();
    ASSERT_NE(settings, nullptr);

    for (int id : {IDOK, IDCANCEL, Box(L"BGM").controlId, Field(L"Width").controlId,
                   kSettingsTabControlId, kCancelButtonId + 1}) {
        Click(settings, id);
    }
    EXPECT_TRUE(IsWindow(settings));
    EXPECT_TRUE(script.shown.empty());
    EXPECT_FALSE(FileExists(userIni));
}

TEST_F(SettingsWindowTest, SaveRefusesTheFirstInvalidFieldInTableOrder) {
    const std::string original = "[Client]\r\nWidth=99999\r\n";
    ASSERT_TRUE(WriteBytes(userIni, original));
    const HWND settings = Open();
    ASSERT_NE(settings, nullptr);

    const NumberSetting& width = Field(L"Width");
    const NumberSetting& grass = Field(L"Grass");
    const NumberSetting& language = Field(L"Language");
    const NumberSetting& maxLog = Field(L"MaxLogKB");
    struct Attempt {
        std::vector<std::pair<const NumberSetting*, const wchar_t*>> edits;
        const NumberSetting* field;  // the one that is reported
        const wchar_t* message;
        int tab;
    };
    const wchar_t* widthMessage = L"Window width must be between 640 and 7680.";
    const wchar_t* grassMessage = L"Grass visibility must be between 0 and 2147483647.";
    const Attempt attempts[] = {
        {{}, &width, widthMessage, kSettingsTabGraphics},  // 99999 as loaded
        {{{&width, L""}}, &width, widthMessage, kSettingsTabGraphics},
        {{{&width, L"1024x"}}, &width, widthMessage, kSettingsTabGraphics},
        {{{&width, L"639"}}, &width, widthMessage, kSettingsTabGraphics},
        // Language is the last record but sits on the first tab; the earlier
        // record on the last tab is reported first.
        {{{&width, L"7680"}, {&language, L"21"}, {&maxLog, L"127"}},
         &maxLog,
         L"Maximum log size must be between 128 and 16384.",
         kSettingsTabLauncherExtensions},
        {{{&maxLog, L"128"}},
         &language,
         L"Language id must be between 0 and 20.",
         kSettingsTabGeneral},
        // Too large for a long: refused, not cut down to the largest value.
        {{{&language, L"20"}, {&grass, L"2147483648"}}, &grass, grassMessage, kSettingsTabGraphics},
        {{{&grass, L"-1"}}, &grass, grassMessage, kSettingsTabGraphics},
    };
    for (const Attempt& attempt : attempts) {
        SCOPED_TRACE(WideToUtf8(attempt.message) + " (" + WideToUtf8(attempt.field->key) + ")");
        for (const auto& edit : attempt.edits) {
            SetField(settings, *edit.first, edit.second);
        }
        const bool onAudio = attempt.tab == kSettingsTabAudioGameplay;
        SelectTab(settings, onAudio ? kSettingsTabGeneral : kSettingsTabAudioGameplay);
        script.shown.clear();
        Click(settings, kSaveButtonId);

        ASSERT_EQ(script.shown.size(), 1u);
        EXPECT_EQ(script.shown[0].text, attempt.message);
        EXPECT_EQ(script.shown[0].caption, L"Invalid setting");
        EXPECT_EQ(script.shown[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONWARNING));
        ASSERT_TRUE(IsWindow(settings));
        EXPECT_FALSE(window->Saved());
        EXPECT_EQ(ReadBytes(userIni), original);
        // The field's tab is shown and selected, the field focused with its
        // whole text selected.
        const HWND field = Control(settings, *attempt.field);
        EXPECT_EQ(CurrentTab(settings), attempt.tab);
        EXPECT_TRUE(Shown(field));
        EXPECT_FALSE(
            Shown(Control(settings, onAudio ? Box(L"SkillTargetIndicators") : Box(L"BGM"))));
        EXPECT_EQ(GetFocus(), field);
        DWORD start = 99, end = 99;
        SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, 0u);
        EXPECT_EQ(end, Text(field).size());
    }
}

TEST_F(SettingsWindowTest, SaveTakesTheEdgesOfEachRange) {
    ASSERT_TRUE(WriteBytes(userIni, "[Client]\r\nWidth=99999\r\n"));
    const HWND settings = Open();
    ASSERT_NE(settings, nullptr);

    SetField(settings, Field(L"Width"), L"7680");
    SetField(settings, Field(L"Grass"), L"2147483647");
    SetField(settings, Field(L"MapCaching"), L"1");
    SetField(settings, Field(L"MaxLogKB"), L"128");
    SetField(settings, Field(L"Language"), L"20");
    Click(settings, kSaveButtonId);
    EXPECT_TRUE(script.shown.empty());
    EXPECT_TRUE(window->Saved());
    EXPECT_FALSE(IsWindow(settings));
    EXPECT_EQ(ReadValue(userIni, L"Client", L"Width"), L"7680");
    EXPECT_EQ(ReadValue(userIni, L"Client", L"Grass"), L"2147483647");
    EXPECT_EQ(ReadValue(userIni, L"Client", L"MapCaching"), L"1");
    EXPECT_EQ(ReadValue(userIni, L"PerformanceTracker", L"MaxLogKB"), L"128");
    EXPECT_EQ(ReadValue(userIni, L"Local", L"Language"), L"20");
}

TEST_F(SettingsWindowTest, SaveWritesTheWindowKeysIntoBothFilesAndNothingElse) {
    ASSERT_TRUE(WriteBytes(userIni,
                           "[Client]\r\nBGM=5\r\nWindow=1\r\nWidth=1920\r\nUnknown=keep\r\n"
                           "[NET]\r\nIP=play.example.net\r\nPORT=1234\r\n[Extra]\r\na=b\r\n"));
    ASSERT_TRUE(WriteBytes(legacyIni,
                           "; legacy comment\r\n[Client]\r\nWidth=800\r\nLegacyOnly=1\r\n"
                           "[Other]\r\nx=y\r\n"));
    const HWND settings = Open();
    ASSERT_NE(settings, nullptr);
    SetField(settings, Field(L"Width"), L"1280");
    SetChecked(settings, Box(L"ShareCharacterName"), false);
    Click(settings, kSaveButtonId);
    ASSERT_FALSE(IsWindow(settings));
    EXPECT_TRUE(window->Saved());
    EXPECT_TRUE(script.shown.empty());

    for (const std::wstring& path : {userIni, legacyIni}) {
        SCOPED_TRACE(WideToUtf8(path));
        for (const CheckboxSetting& box : kCheckboxSettings) {
            std::wstring expected = std::to_wstring(box.defaultValue);
            if (&box == &Box(L"BGM") || &box == &Box(L"Window")) {
                expected = L"1";  // BGM=5 is saved as 1
            } else if (&box == &Box(L"ShareCharacterName")) {
                expected = L"0";
            }
            EXPECT_EQ(ReadValue(path, box.section, box.key), expected) << box.key;
        }
        for (const NumberSetting& number : kNumberSettings) {
            const std::wstring expected =
                &number == &Field(L"Width") ? L"1280" : std::to_wstring(number.defaultValue);
            EXPECT_EQ(ReadValue(path, number.section, number.key), expected) << number.key;
        }
    }
    const std::string user = ReadBytes(userIni);
    EXPECT_EQ(CountKeyLines(user), 62u + 4u) << user;
    EXPECT_EQ(ReadValue(userIni, L"NET", L"IP"), L"play.example.net");
    EXPECT_EQ(ReadValue(userIni, L"NET", L"PORT"), L"1234");
    EXPECT_EQ(ReadValue(userIni, L"Client", L"Unknown"), L"keep");
    EXPECT_EQ(ReadValue(userIni, L"Extra", L"a"), L"b");

    const std::string legacy = ReadBytes(legacyIni);
    EXPECT_EQ(CountKeyLines(legacy), 62u + 2u) << legacy;
    EXPECT_EQ(legacy.rfind("; legacy comment\r\n", 0), 0u);
    EXPECT_EQ(ReadValue(legacyIni, L"Client", L"LegacyOnly"), L"1");
    EXPECT_EQ(ReadValue(legacyIni, L"Other", L"x"), L"y");
    EXPECT_EQ(ReadValue(legacyIni, L"NET", L"IP"), kAbsent);
}

TEST_F(SettingsWindowTest, SaveLeavesAMissingLegacyFileMissing) {
    ASSERT_TRUE(WriteBytes(userIni, "[Client]\r\nWidth=1920\r\n"));
    for (const std::wstring& legacy : {legacyIni, std::wstring()}) {
        SCOPED_TRACE(legacy.empty() ? "no legacy path" : "legacy path of a missing file");
        legacyIni = legacy;
        const HWND settings = Open();
        ASSERT_NE(settings, nullptr);
        EXPECT_TRUE(
            HasControlText(settings, L"No legacy setup.ini was found next to the launcher."));
        SetField(settings, Field(L"Height"), L"1080");
        Click(settings, kSaveButtonId);
        EXPECT_TRUE(window->Saved());
        EXPECT_FALSE(IsWindow(settings));
        EXPECT_TRUE(script.shown.empty());
        EXPECT_EQ(ReadValue(userIni, L"Client", L"Height"), L"1080");
    }
    EXPECT_FALSE(FileExists(gameFolder + L"\\setup.ini"));
}

TEST_F(SettingsWindowTest, RestoreDefaultsAsksFirstAndNoChangesNothing) {
    ASSERT_TRUE(WriteBytes(userIni, "[Client]\r\nBGM=0\r\nWidth=1920\r\n"));
    const HWND settings = Open();
    ASSERT_NE(settings, nullptr);
    SetField(settings, Field(L"BGMVol"), L"55");

    script.answers = {IDNO};
    Click(settings, kRestoreDefaultsButtonId);
    ASSERT_EQ(script.shown.size(), 1u);
    EXPECT_EQ(script.shown[0].text, L"Restore all known client settings to their defaults?");
    EXPECT_EQ(script.shown[0].caption, L"Vantora Launcher");
    EXPECT_EQ(script.shown[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(FieldText(settings, Field(L"Width")), L"1920");
    EXPECT_EQ(FieldText(settings, Field(L"BGMVol")), L"55");
    EXPECT_FALSE(Checked(settings, Box(L"BGM")));
}

TEST_F(SettingsWindowTest, RestoreDefaultsChangesOnlyTheControlsUntilSaved) {
    const std::string user = "[Client]\r\nBGM=0\r\nWidth=1920\r\nLODTerrain=0\r\n[NET]\r\nIP=x\r\n";
    const std::string legacy = "[Client]\r\nBGM=0\r\nWidth=800\r\n";
    ASSERT_TRUE(WriteBytes(userIni, user));
    ASSERT_TRUE(WriteBytes(legacyIni, legacy));
    const HWND settings = Open();
    ASSERT_NE(settings, nullptr);
    SetField(settings, Field(L"BGMVol"), L"55");

    script.answers = {IDYES};
    Click(settings, kRestoreDefaultsButtonId);
    for (const CheckboxSetting& box : kCheckboxSettings) {
        EXPECT_EQ(Checked(settings, box), box.defaultValue == 1) << box.key;
    }
    for (const NumberSetting& number : kNumberSettings) {
        EXPECT_EQ(FieldText(settings, number), std::to_wstring(number.defaultValue)) << number.key;
    }
    EXPECT_TRUE(IsWindow(settings));

    Click(settings, kCancelButtonId);
    EXPECT_FALSE(IsWindow(settings));
    EXPECT_FALSE(window->Saved());
    EXPECT_EQ(ReadBytes(userIni), user);
    EXPECT_EQ(ReadBytes(legacyIni), legacy);
}

// Keeps a file open for reading and writing with no sharing, as another
// program holding it would.
UniqueFile HoldFile(const std::wstring& path) {
    return UniqueFile(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

TEST_F(SettingsWindowTest, FailedWriteOfThePerUserFileKeepsTheWindowOpen) {
    const std::string legacy = "[Client]\r\nWidth=800\r\n";
    ASSERT_TRUE(WriteBytes(userIni, "[Client]\r\nWidth=1920\r\n"));
    ASSERT_TRUE(WriteBytes(legacyIni, legacy));
    const HWND settings = Open();
    ASSERT_NE(settings, nullptr);
    {
        const UniqueFile held = HoldFile(userIni);
        ASSERT_TRUE(held);
        Click(settings, kSaveButtonId);
    }
    ASSERT_EQ(script.shown.size(), 1u);
    EXPECT_EQ(script.shown[0].text, L"Could not write setup.ini.");
    EXPECT_EQ(script.shown[0].caption, L"Vantora Launcher");
    EXPECT_EQ(script.shown[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
    EXPECT_TRUE(IsWindow(settings));
    EXPECT_FALSE(window->Saved());
    EXPECT_EQ(ReadBytes(legacyIni), legacy);
}

TEST_F(SettingsWindowTest, FailedWriteOfTheLegacyFileIsReportedAndTheSaveCounts) {
    const std::string legacy = "[Client]\r\nWidth=800\r\n";
    ASSERT_TRUE(WriteBytes(userIni, "[Client]\r\nWidth=1920\r\n"));
    ASSERT_TRUE(WriteBytes(legacyIni, legacy));
    const HWND settings = Open();
    ASSERT_NE(settings, nullptr);
    SetField(settings, Field(L"Width"), L"1600");
    {
        const UniqueFile held = HoldFile(legacyIni);
        ASSERT_TRUE(held);
        Click(settings, kSaveButtonId);
    }
    ASSERT_EQ(script.shown.size(), 1u);
    EXPECT_EQ(script.shown[0].text,
              L"The per-user setup.ini was saved, but the legacy setup.ini could not be updated.");
    EXPECT_EQ(script.shown[0].caption, L"Vantora Launcher");
    EXPECT_EQ(script.shown[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_FALSE(IsWindow(settings));
    EXPECT_TRUE(window->Saved());
    EXPECT_EQ(ReadValue(userIni, L"Client", L"Width"), L"1600");
    EXPECT_EQ(ReadBytes(legacyIni), legacy);
}

TEST_F(SettingsWindowTest, ModalRunStandsCentredOverTheDisabledOwner) {
    RECT placed = {};
    bool ownerEnabled = true;
    HWND ownerSeen = nullptr;
    size_t stepsRun = 0;
    Run({[&](HWND settings) {
             GetWindowRect(settings, &placed);
             ownerEnabled = IsWindowEnabled(owner) != 0;
             ownerSeen = GetWindow(settings, GW_OWNER);
         },
         [&](HWND settings) { Click(settings, kCancelButtonId); }},
        &stepsRun);
    EXPECT_EQ(stepsRun, 2u);
    EXPECT_EQ(ownerSeen, owner);
    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    // Centred on the launcher's rectangle: 200 to its right, 20 above it.
    EXPECT_EQ(placed.left, kOwnerLeft + 200);
    EXPECT_EQ(placed.top, 80);
    EXPECT_EQ(placed.right - placed.left, 880);
    EXPECT_EQ(placed.bottom - placed.top, 760);
}

TEST_F(SettingsWindowTest, CloseBoxCancelsTheModalRun) {
    const std::string user = "[Client]\r\nWidth=1920\r\n";
    ASSERT_TRUE(WriteBytes(userIni, user));
    ASSERT_TRUE(WriteBytes(legacyIni, user));
    size_t stepsRun = 0;
    const bool saved =
        Run({[&](HWND settings) {
                 SetField(settings, Field(L"Width"), L"1600");
                 SetChecked(settings, Box(L"BGM"), false);
             },
             [&](HWND settings) { SendMessageW(settings, WM_SYSCOMMAND, SC_CLOSE, 0); }},
            &stepsRun);
    EXPECT_FALSE(saved);
    EXPECT_EQ(stepsRun, 2u);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(FindSettingsWindow(), nullptr);
    EXPECT_EQ(ReadBytes(userIni), user);
    EXPECT_EQ(ReadBytes(legacyIni), user);
    EXPECT_TRUE(script.shown.empty());
}

// Presses Tab on control `from` and gives the control the focus lands on.
// Other test programs show windows on the same display and may take the
// keyboard at any moment; the press counts only when the settings window
// held the keyboard from before the press until the focus moved, and is made
// again otherwise.
ModalDriver::Step PressTab(int from, int* landedOn) {
    auto pressed = std::make_shared<bool>(false);
    auto steadyTicks = std::make_shared<int>(0);
    return ModalDriver::Step::Until([=](HWND settings) {
        const HWND control = Control(settings, from);
        const bool holdsKeyboard =
            GetForegroundWindow() == settings && GetActiveWindow() == settings;
        if (!*pressed) {
            if (!holdsKeyboard) {
                *steadyTicks = 0;
                SetForegroundWindow(settings);
                return false;
            }
            SetFocus(control);
            // The focus must stay put for a few ticks: a late activation
            // would move it again.
            *steadyTicks = GetFocus() == control ? *steadyTicks + 1 : 0;
            if (*steadyTicks < 3) {
                return false;
            }
            PostMessageW(control, WM_KEYDOWN, VK_TAB, 0);
            *pressed = true;
            return false;
        }
        const HWND focus = GetFocus();
        if (focus == control) {
            return false;  // not handled yet
        }
        *pressed = false;
        *steadyTicks = 0;
        if (!holdsKeyboard) {
            return false;  // taken away meanwhile: press again
        }
        *landedOn = GetDlgCtrlID(focus);
        return true;
    });
}

TEST_F(SettingsWindowTest, TabKeyMovesBetweenTheControlsOfTheShownTab) {
    int afterCheckbox = 0;
    int afterLastField = 0;
    size_t stepsRun = 0;
    Run({PressTab(Box(L"CtrlClickDirectDrop").controlId, &afterCheckbox),
         // The General tab's last field; the hidden pages lie between it
         // and the buttons.
         PressTab(Field(L"MapCaching").controlId, &afterLastField),
         [&](HWND settings) { Click(settings, kCancelButtonId); }},
        &stepsRun);
    EXPECT_EQ(stepsRun, 3u);
    EXPECT_EQ(afterCheckbox, Field(L"ChatFontSize").controlId);
    EXPECT_EQ(afterLastField, kRestoreDefaultsButtonId);
}

TEST_F(SettingsWindowTest, ModalRunReturnsTrueAfterSave) {
    ASSERT_TRUE(WriteBytes(userIni, "[Client]\r\nWidth=1920\r\n"));
    size_t stepsRun = 0;
    const bool saved = Run({[&](HWND settings) {
                               SetField(settings, Field(L"Width"), L"1366");
                               // The button itself reports the click.
                               SendMessageW(Control(settings, kSaveButtonId), BM_CLICK, 0, 0);
                           }},
                           &stepsRun);
    EXPECT_TRUE(saved);
    EXPECT_EQ(stepsRun, 1u);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(ReadValue(userIni, L"Client", L"Width"), L"1366");
}

TEST_F(SettingsWindowTest, QuitMessageEndsTheRunAndReachesTheCallersLoop) {
    ASSERT_TRUE(WriteBytes(userIni, "[Client]\r\nWidth=1920\r\n"));
    HWND settingsSeen = nullptr;
    const bool saved = Run({[&](HWND settings) {
        settingsSeen = settings;
        SetField(settings, Field(L"Width"), L"1366");
        PostQuitMessage(7);
    }});
    EXPECT_FALSE(saved);
    ASSERT_NE(settingsSeen, nullptr);
    // The window is gone with the run, and the quit message waits for the
    // launcher's own loop.
    EXPECT_FALSE(IsWindow(settingsSeen));
    EXPECT_TRUE(IsWindowEnabled(owner));
    MSG message = {};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 7u);
    EXPECT_EQ(ReadValue(userIni, L"Client", L"Width"), L"1920");
}

TEST_F(SettingsWindowTest, WindowThatCannotBeCreatedReturnsAtOnce) {
    const HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
    DestroyWindow(gone);
    EXPECT_FALSE(RunSettingsWindow(gone, userIni, legacyIni, script.Function()));
    EXPECT_EQ(FindSettingsWindow(), nullptr);
    EXPECT_TRUE(script.shown.empty());
}

// Whether a checkbox's caption fits beside its box.
bool CaptionFits(HWND checkbox) {
    RECT bounds = {};
    GetClientRect(checkbox, &bounds);
    const std::wstring caption = Text(checkbox);
    HDC dc = GetDC(checkbox);
    const HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(checkbox, WM_GETFONT, 0, 0)));
    SIZE extent = {};
    GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
    SelectObject(dc, previous);
    ReleaseDC(checkbox, dc);
    const int box = GetSystemMetrics(SM_CXMENUCHECK) + 4;
    return box + extent.cx <= bounds.right;
}

// What keeps a control of a tab from being seen whole: shown controls whose
// rectangles overlap (the frames around rows and the tab control that holds
// the pages aside) and checkbox captions cut off at their right edge.
std::vector<std::wstring> LayoutFaults(HWND settings) {
    std::vector<HWND> shown;
    for (HWND control = GetWindow(settings, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
        wchar_t className[32] = {};
        GetClassNameW(control, className, 32);
        const LONG style = GetWindowLongW(control, GWL_STYLE);
        const bool frame =
            _wcsicmp(className, L"BUTTON") == 0 && (style & BS_TYPEMASK) == BS_GROUPBOX;
        if (IsWindowVisible(control) && !frame && GetDlgCtrlID(control) != kSettingsTabControlId) {
            shown.push_back(control);
        }
    }
    std::vector<std::wstring> overlaps;
    for (HWND control : shown) {
        if ((GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX &&
            !CaptionFits(control)) {
            overlaps.push_back(L"'" + Text(control) + L"' cut off");
        }
    }
    for (size_t i = 0; i < shown.size(); ++i) {
        for (size_t j = i + 1; j < shown.size(); ++j) {
            RECT a = {};
            RECT b = {};
            RECT both = {};
            GetWindowRect(shown[i], &a);
            GetWindowRect(shown[j], &b);
            if (IntersectRect(&both, &a, &b)) {
                overlaps.push_back(L"'" + Text(shown[i]) + L"' overlaps '" + Text(shown[j]) + L"'");
            }
        }
    }
    return overlaps;
}

// The face of the font that a control draws its text in.
std::wstring FontFace(HWND control) {
    HDC dc = GetDC(control);
    const HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return face;
}

void SettingsWindowTest::ExpectEachTabWhole(const wchar_t* fontFace, const std::wstring& shotName,
                                            std::wstring& faceDrawn) {
    const std::wstring folder = VANTORA_SCREENSHOT_DIR;
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(legacyIni, "[Client]\r\n"));
    ASSERT_TRUE(WriteBytes(userIni, "[Client]\r\nBGM=1\r\nWindow=1\r\n"));
    std::vector<std::wstring> saved;
    std::vector<ModalDriver::Step> steps;
    steps.push_back(
        [&faceDrawn](HWND settings) { faceDrawn = FontFace(Control(settings, Box(L"BGM"))); });
    for (int tab = 0; tab < kSettingsTabCount; ++tab) {
        steps.push_back([tab](HWND settings) { SelectTab(settings, tab); });
        steps.push_back([&saved, folder, shotName, tab](HWND settings) {
            SCOPED_TRACE("tab " + std::to_string(tab + 1));
            EXPECT_EQ(CurrentTab(settings), tab);
            for (const std::wstring& fault : LayoutFaults(settings)) {
                ADD_FAILURE() << "layout: " << WideToUtf8(fault);
            }
            RedrawWindow(settings, nullptr, nullptr,
                         RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            // A repaint of the tab control alone (a tab hovered or
            // selected) must not paint over the controls of its page.
            std::vector<uint32_t> before;
            std::vector<uint32_t> after;
            ASSERT_TRUE(CaptureClientPixels(settings, before));
            const HWND tabs = Control(settings, kSettingsTabControlId);
            RedrawWindow(tabs, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
            ASSERT_TRUE(CaptureClientPixels(settings, after));
            EXPECT_TRUE(before == after) << "the tab control painted over its page";

            // The pictures of the pages, for a look by eye.
            const std::wstring path =
                folder + L"\\" + shotName + L"-" + std::to_wstring(tab + 1) + L".png";
            DeleteFileW(path.c_str());
            if (SaveClientAreaPng(settings, path)) {
                saved.push_back(path);
            }
        });
    }
    steps.push_back([](HWND settings) { Click(settings, kCancelButtonId); });
    size_t stepsRun = 0;
    EXPECT_FALSE(RunInFont(fontFace, std::move(steps), &stepsRun));
    EXPECT_EQ(stepsRun, 10u);
    EXPECT_EQ(saved.size(), 4u);
}

TEST_F(SettingsWindowTest, EachTabShowsItsControlsWhole) {
    std::wstring faceDrawn;
    ExpectEachTabWhole(kSettingsFontFace, L"settings-tab", faceDrawn);
}

// A player's system may draw the dialog font wider than the layout was made
// for (Wine 10 does): the captions must still show whole.
TEST_F(SettingsWindowTest, EachTabShowsItsControlsWholeInAWideFont) {
    std::wstring faceDrawn;
    ExpectEachTabWhole(L"DejaVu Sans", L"settings-wide-tab", faceDrawn);
    // Were it not installed, the window would show another font.
    EXPECT_EQ(faceDrawn, L"DejaVu Sans");
}
