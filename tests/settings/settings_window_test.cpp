#include "settings/settings_window.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

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

HWND Control(HWND settings, int id) {
    return GetDlgItem(settings, id);
}

std::wstring Text(HWND control) {
    wchar_t text[256] = {};
    GetWindowTextW(control, text, 256);
    return text;
}

void SetField(HWND settings, int id, const wchar_t* text) {
    SetWindowTextW(Control(settings, id), text);
}

bool Checked(HWND settings, int id) {
    return SendMessageW(Control(settings, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
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

TEST_F(SettingsWindowTest, LoadsThePerUserFileAndShowsTheFirstTab) {
    ASSERT_TRUE(WriteBytes(userIni,
                           "[Client]\r\nBGM=5\r\nWidth=99999\r\nWindow=1\r\nLODTerrain=0\r\n"
                           "MapCaching=1\r\n[Discord]\r\nShareShop=0\r\n"));
    ASSERT_TRUE(WriteBytes(legacyIni, "[Client]\r\nBGM=0\r\nWidth=800\r\n"));
    const HWND settings = Open();
    ASSERT_NE(settings, nullptr);

    EXPECT_TRUE(Checked(settings, 1016));  // BGM=5
    EXPECT_EQ(Text(Control(settings, 1004)), L"99999");
    EXPECT_TRUE(Checked(settings, 1018));
    EXPECT_FALSE(Checked(settings, 1015));
    EXPECT_EQ(Text(Control(settings, 1013)), L"1");
    EXPECT_FALSE(Checked(settings, 1062));
    // Keys that the file lacks show their defaults.
    EXPECT_TRUE(Checked(settings, 1017));
    EXPECT_FALSE(Checked(settings, 1039));
    EXPECT_EQ(Text(Control(settings, 1005)), L"768");
    EXPECT_EQ(Text(Control(settings, 1055)), L"2048");
    EXPECT_EQ(SendMessageW(Control(settings, 1004), EM_GETLIMITTEXT, 0, 0), 9);

    wchar_t className[64] = {};
    GetClassNameW(settings, className, 64);
    EXPECT_STREQ(className, L"VantoraLauncherSettingsWindow");
    EXPECT_EQ(Text(settings), L"Vantora Online Settings");
    EXPECT_EQ(CurrentTab(settings), 0);
    EXPECT_TRUE(Shown(Control(settings, 1031)));
    EXPECT_TRUE(Shown(Control(settings, 1037)));
    EXPECT_FALSE(Shown(Control(settings, 1004)));
    EXPECT_FALSE(Shown(Control(settings, 1016)));
    EXPECT_FALSE(Shown(Control(settings, 1048)));
    EXPECT_TRUE(HasControlText(settings, L"Legacy setup.ini is kept in sync."));
    EXPECT_FALSE(HasControlText(settings, L"No legacy setup.ini was found next to the launcher."));
    // Loading changes no file.
    EXPECT_EQ(ReadBytes(userIni),
              "[Client]\r\nBGM=5\r\nWidth=99999\r\nWindow=1\r\nLODTerrain=0\r\n"
              "MapCaching=1\r\n[Discord]\r\nShareShop=0\r\n");
}

TEST_F(SettingsWindowTest, TabsShowTheirOwnControlsAndOtherCommandsAreIgnored) {
    const HWND settings = Open();
    ASSERT_NE(settings, nullptr);
    const HWND tabs = Control(settings, kSettingsTabControlId);
    ASSERT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 4);

    SelectTab(settings, 2);
    EXPECT_EQ(CurrentTab(settings), 2);
    EXPECT_TRUE(Shown(Control(settings, 1016)));
    EXPECT_TRUE(Shown(Control(settings, 1040)));
    EXPECT_TRUE(Shown(Control(settings, 1062)));
    EXPECT_FALSE(Shown(Control(settings, 1031)));
    EXPECT_FALSE(Shown(Control(settings, 1004)));
    SelectTab(settings, 3);
    EXPECT_TRUE(Shown(Control(settings, 1053)));
    EXPECT_FALSE(Shown(Control(settings, 1040)));
    for (int button : {kRestoreDefaultsButtonId, kSaveButtonId, kCancelButtonId}) {
        EXPECT_TRUE(Shown(Control(settings, button))) << button;
    }

    for (int id : {IDOK, IDCANCEL, 1016, 1004, 1000, 1066}) {
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

    struct Attempt {
        std::vector<std::pair<int, const wchar_t*>> edits;
        int field;  // the one that is reported
        const wchar_t* message;
        int tab;
    };
    const wchar_t* width = L"Window width must be between 640 and 7680.";
    const wchar_t* grass = L"Grass visibility must be between 0 and 2147483647.";
    const Attempt attempts[] = {
        {{}, 1004, width, 1},  // 99999 as loaded
        {{{1004, L""}}, 1004, width, 1},
        {{{1004, L"1024x"}}, 1004, width, 1},
        {{{1004, L"639"}}, 1004, width, 1},
        // Language is the last record but sits on the first tab; the earlier
        // record on the last tab is reported first.
        {{{1004, L"7680"}, {1014, L"21"}, {1055, L"127"}},
         1055,
         L"Maximum log size must be between 128 and 16384.",
         3},
        {{{1055, L"128"}}, 1014, L"Language id must be between 0 and 20.", 0},
        // Too large for a long: refused, not cut down to the largest value.
        {{{1014, L"20"}, {1002, L"2147483648"}}, 1002, grass, 1},
        {{{1002, L"-1"}}, 1002, grass, 1},
    };
    for (const Attempt& attempt : attempts) {
        for (const auto& edit : attempt.edits) {
            SetField(settings, edit.first, edit.second);
        }
        SelectTab(settings, attempt.tab == 2 ? 0 : 2);
        script.shown.clear();
        Click(settings, kSaveButtonId);

        ASSERT_EQ(script.shown.size(), 1u) << attempt.message;
        EXPECT_EQ(script.shown[0].text, attempt.message);
        EXPECT_EQ(script.shown[0].caption, L"Invalid setting");
        EXPECT_EQ(script.shown[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONWARNING));
        ASSERT_TRUE(IsWindow(settings));
        EXPECT_FALSE(window->Saved());
        EXPECT_EQ(ReadBytes(userIni), original);
        // The field's tab is shown and selected, the field focused with its
        // whole text selected.
        const HWND field = Control(settings, attempt.field);
        EXPECT_EQ(CurrentTab(settings), attempt.tab) << attempt.message;
        EXPECT_TRUE(Shown(field));
        EXPECT_FALSE(Shown(Control(settings, attempt.tab == 2 ? 1031 : 1016)));
        EXPECT_EQ(GetFocus(), field);
        DWORD start = 99, end = 99;
        SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, 0u);
        EXPECT_EQ(end, Text(field).size());
    }

    SetField(settings, 1002, L"2147483647");
    SetField(settings, 1013, L"1");
    script.shown.clear();
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
    SetField(settings, 1004, L"1280");
    SendMessageW(Control(settings, 1057), BM_SETCHECK, BST_UNCHECKED, 0);
    Click(settings, kSaveButtonId);
    ASSERT_FALSE(IsWindow(settings));
    EXPECT_TRUE(window->Saved());
    EXPECT_TRUE(script.shown.empty());

    for (const std::wstring& path : {userIni, legacyIni}) {
        for (const CheckboxSetting& box : kCheckboxSettings) {
            std::wstring expected = std::to_wstring(box.defaultValue);
            if (box.controlId == 1016 || box.controlId == 1018) {
                expected = L"1";  // BGM=5 is saved as 1
            } else if (box.controlId == 1057) {
                expected = L"0";
            }
            EXPECT_EQ(ReadValue(path, box.section, box.key), expected) << box.key;
        }
        for (const NumberSetting& number : kNumberSettings) {
            const std::wstring expected =
                number.controlId == 1004 ? L"1280" : std::to_wstring(number.defaultValue);
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
        legacyIni = legacy;
        const HWND settings = Open();
        ASSERT_NE(settings, nullptr);
        EXPECT_TRUE(
            HasControlText(settings, L"No legacy setup.ini was found next to the launcher."));
        SetField(settings, 1005, L"1080");
        Click(settings, kSaveButtonId);
        EXPECT_TRUE(window->Saved());
        EXPECT_FALSE(IsWindow(settings));
        EXPECT_TRUE(script.shown.empty());
        EXPECT_EQ(ReadValue(userIni, L"Client", L"Height"), L"1080");
    }
    EXPECT_FALSE(FileExists(gameFolder + L"\\setup.ini"));
}

TEST_F(SettingsWindowTest, RestoreDefaultsChangesOnlyTheControlsUntilSaved) {
    const std::string user = "[Client]\r\nBGM=0\r\nWidth=1920\r\nLODTerrain=0\r\n[NET]\r\nIP=x\r\n";
    const std::string legacy = "[Client]\r\nBGM=0\r\nWidth=800\r\n";
    ASSERT_TRUE(WriteBytes(userIni, user));
    ASSERT_TRUE(WriteBytes(legacyIni, legacy));
    const HWND settings = Open();
    ASSERT_NE(settings, nullptr);
    SetField(settings, 1009, L"55");

    script.answers = {IDNO, IDYES};
    Click(settings, kRestoreDefaultsButtonId);
    ASSERT_EQ(script.shown.size(), 1u);
    EXPECT_EQ(script.shown[0].text, L"Restore all known client settings to their defaults?");
    EXPECT_EQ(script.shown[0].caption, L"Vantora Launcher");
    EXPECT_EQ(script.shown[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(Text(Control(settings, 1004)), L"1920");
    EXPECT_EQ(Text(Control(settings, 1009)), L"55");
    EXPECT_FALSE(Checked(settings, 1016));

    Click(settings, kRestoreDefaultsButtonId);
    for (const CheckboxSetting& box : kCheckboxSettings) {
        EXPECT_EQ(Checked(settings, box.controlId), box.defaultValue == 1) << box.key;
    }
    for (const NumberSetting& number : kNumberSettings) {
        EXPECT_EQ(Text(Control(settings, number.controlId)), std::to_wstring(number.defaultValue))
            << number.key;
    }
    EXPECT_TRUE(IsWindow(settings));

    Click(settings, kCancelButtonId);
    EXPECT_FALSE(IsWindow(settings));
    EXPECT_FALSE(window->Saved());
    EXPECT_EQ(ReadBytes(userIni), user);
    EXPECT_EQ(ReadBytes(legacyIni), legacy);
}

TEST_F(SettingsWindowTest, FailedWritesAreReported) {
    const std::string legacy = "[Client]\r\nWidth=800\r\n";
    ASSERT_TRUE(WriteBytes(userIni, "[Client]\r\nWidth=1920\r\n"));
    ASSERT_TRUE(WriteBytes(legacyIni, legacy));

    // Per-user file held by another program: error, window stays open, the
    // legacy file is not touched.
    HWND settings = Open();
    ASSERT_NE(settings, nullptr);
    {
        UniqueFile locked(CreateFileW(userIni.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(locked);
        Click(settings, kSaveButtonId);
    }
    ASSERT_EQ(script.shown.size(), 1u);
    EXPECT_EQ(script.shown[0].text, L"Could not write setup.ini.");
    EXPECT_EQ(script.shown[0].caption, L"Vantora Launcher");
    EXPECT_EQ(script.shown[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
    EXPECT_TRUE(IsWindow(settings));
    EXPECT_FALSE(window->Saved());
    EXPECT_EQ(ReadBytes(legacyIni), legacy);

    // Legacy file held: warning, but the save counts and the window closes.
    script.shown.clear();
    SetField(settings, 1004, L"1600");
    {
        UniqueFile locked(CreateFileW(legacyIni.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(locked);
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

TEST_F(SettingsWindowTest, ModalRunDisablesTheOwnerAndTheCloseBoxCancels) {
    const std::string user = "[Client]\r\nWidth=1920\r\n";
    ASSERT_TRUE(WriteBytes(userIni, user));
    ASSERT_TRUE(WriteBytes(legacyIni, user));
    RECT placed = {};
    bool ownerEnabled = true;
    size_t stepsRun = 0;
    const bool saved =
        Run({[&](HWND settings) {
                 GetWindowRect(settings, &placed);
                 ownerEnabled = IsWindowEnabled(owner) != 0;
                 EXPECT_EQ(GetWindow(settings, GW_OWNER), owner);
                 SetField(settings, 1004, L"1600");
                 SendMessageW(Control(settings, 1016), BM_SETCHECK, BST_UNCHECKED, 0);
             },
             [&](HWND settings) { SendMessageW(settings, WM_SYSCOMMAND, SC_CLOSE, 0); }},
            &stepsRun);
    EXPECT_FALSE(saved);
    EXPECT_EQ(stepsRun, 2u);
    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(FindSettingsWindow(), nullptr);
    // Centred on the launcher's rectangle: 200 to its right, 20 above it.
    EXPECT_EQ(placed.left, kOwnerLeft + 200);
    EXPECT_EQ(placed.top, 80);
    EXPECT_EQ(placed.right - placed.left, 880);
    EXPECT_EQ(placed.bottom - placed.top, 760);
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
    Run({PressTab(1032, &afterCheckbox),
         // The General tab's last field; the hidden pages lie between it
         // and the buttons.
         PressTab(1013, &afterLastField), [&](HWND settings) { Click(settings, kCancelButtonId); }},
        &stepsRun);
    EXPECT_EQ(stepsRun, 3u);
    EXPECT_EQ(afterCheckbox, 1037);
    EXPECT_EQ(afterLastField, kRestoreDefaultsButtonId);
}

TEST_F(SettingsWindowTest, ModalRunReturnsTrueAfterSave) {
    ASSERT_TRUE(WriteBytes(userIni, "[Client]\r\nWidth=1920\r\n"));
    size_t stepsRun = 0;
    const bool saved = Run({[&](HWND settings) {
                               SetField(settings, 1004, L"1366");
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
        SetField(settings, 1004, L"1366");
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

TEST_F(SettingsWindowTest, EachTabShowsItsControlsWhole) {
    const std::wstring folder = VANTORA_SCREENSHOT_DIR;
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(legacyIni, "[Client]\r\n"));
    ASSERT_TRUE(WriteBytes(userIni, "[Client]\r\nBGM=1\r\nWindow=1\r\n"));
    std::vector<std::wstring> saved;
    std::vector<ModalDriver::Step> steps;
    for (int tab = 0; tab < 4; ++tab) {
        steps.push_back([tab](HWND settings) { SelectTab(settings, tab); });
        steps.push_back([&saved, folder, tab](HWND settings) {
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
                folder + L"\\settings-tab-" + std::to_wstring(tab + 1) + L".png";
            DeleteFileW(path.c_str());
            if (SaveClientAreaPng(settings, path)) {
                saved.push_back(path);
            }
        });
    }
    steps.push_back([](HWND settings) { Click(settings, kCancelButtonId); });
    size_t stepsRun = 0;
    EXPECT_FALSE(Run(std::move(steps), &stepsRun));
    EXPECT_EQ(stepsRun, 9u);
    EXPECT_EQ(saved.size(), 4u);
}
