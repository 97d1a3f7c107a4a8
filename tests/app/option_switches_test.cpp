#include "app/option_switches.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/launcher_ui.h"
#include "settings/user_ini.h"
#include "tests/app/test_window.h"
#include "tests/support/temp_folder.h"
#include "ui/label.h"

namespace {

std::wstring ReadIni(const std::wstring& path, const wchar_t* key) {
    wchar_t buffer[64] = {};
    GetPrivateProfileStringW(L"Client", key, L"", buffer, 64, path.c_str());
    return buffer;
}

// A launcher on a fresh game folder whose status line the test reads.
class OptionSwitches : public ::testing::Test {
  protected:
    void SetUp() override {
        launcher.gameDirectory = game.path() + L"\\";
        launcher.statusLabel = &status;
        launcher.window = window.handle();
        const std::wstring folder = user.Child(L"VantoraOnline");
        launcher.userFolder = [folder] { return folder; };
        launcher.messageBox = [this](HWND, const std::wstring& text, const std::wstring& caption,
                                     UINT type) {
            boxes.push_back(caption + L"|" + std::to_wstring(type) + L"|" + text);
            return IDOK;
        };
        CreateDirectoryW(game.Child(L"data").c_str(), nullptr);
        CreateDirectoryW(game.Child(L"data\\interface").c_str(), nullptr);
        CreateDirectoryW(game.Child(L"data\\chr").c_str(), nullptr);
    }
    void TearDown() override { launcher.statusLabel = nullptr; }

    std::wstring UserIni() const { return user.Child(L"VantoraOnline\\setup.ini"); }

    TempFolder game{L"options"};
    TempFolder user{L"user"};
    TestWindow window;
    UILabel status{RECT{0, 0, 10, 10}, L"before"};
    LauncherUI launcher;
    std::vector<std::wstring> boxes;
};

}  // namespace

TEST_F(OptionSwitches, InterfaceSetsReplaceSameNamedFilesAndKeepTheRest) {
    const std::wstring active = game.Child(L"data\\interface\\");
    CreateDirectoryW((active + L"vantoraInterface").c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(active + L"layout.xml", "active"));
    ASSERT_TRUE(WriteBytes(active + L"only_here.txt", "stays"));
    ASSERT_TRUE(WriteBytes(active + L"vantoraInterface\\layout.xml", "vantora"));
    ASSERT_TRUE(WriteBytes(active + L"vantoraInterface\\icons.dds", "vantora icons"));

    struct Step {
        bool vantora;
        const wchar_t* status;
        const char* layout;
    };
    const Step steps[] = {
        {true, L"Switched to Vantora Interface", "vantora"},
        {true, L"Switched to Vantora Interface", "vantora"},  // again: same copy, same text
        {false, L"Source interface folder missing.", "vantora"},
    };
    for (const Step& step : steps) {
        launcher.SwitchInterfaceSet(step.vantora);
        EXPECT_EQ(status.text, step.status);
        EXPECT_EQ(ReadBytes(active + L"layout.xml"), step.layout);
        EXPECT_EQ(ReadBytes(active + L"only_here.txt"), "stays");
    }
    EXPECT_EQ(ReadBytes(active + L"icons.dds"), "vantora icons");

    CreateDirectoryW((active + L"oldInterface").c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(active + L"oldInterface\\layout.xml", "classic"));
    launcher.SwitchInterfaceSet(false);
    EXPECT_EQ(status.text, L"Switched to Classic Interface");
    EXPECT_EQ(ReadBytes(active + L"layout.xml"), "classic");
    EXPECT_EQ(ReadBytes(active + L"icons.dds"), "vantora icons");
}

TEST_F(OptionSwitches, SkillEffectsCopyTheChosenFileOverSkillDat) {
    const std::wstring folder = game.Child(L"data\\chr\\");
    ASSERT_TRUE(WriteBytes(folder + L"skill.dat", "current"));
    ASSERT_TRUE(WriteBytes(folder + L"skill_highQ.dat", "high quality"));

    launcher.SetSkillEffectQuality(false);
    EXPECT_EQ(status.text, L"skill_lowQ.dat not found.");
    EXPECT_EQ(ReadBytes(folder + L"skill.dat"), "current");

    launcher.SetSkillEffectQuality(true);
    EXPECT_EQ(status.text, L"Skill quality set to high.");
    EXPECT_EQ(ReadBytes(folder + L"skill.dat"), "high quality");

    ASSERT_TRUE(WriteBytes(folder + L"skill_lowQ.dat", "low quality"));
    launcher.SetSkillEffectQuality(false);
    EXPECT_EQ(status.text, L"Skill quality set to low.");
    EXPECT_EQ(ReadBytes(folder + L"skill.dat"), "low quality");
}

TEST_F(OptionSwitches, ResolutionGoesToThePerUserFileAndAnExistingLegacyFile) {
    // No legacy file: the per-user file is created with every default and the
    // legacy file is not created.
    launcher.SetScreenResolution(1280, 800);
    EXPECT_EQ(status.text, L"Screen resolution updated.");
    EXPECT_EQ(launcher.userSetupIniPath, UserIni());
    EXPECT_EQ(ReadIni(UserIni(), L"Width"), L"1280");
    EXPECT_EQ(ReadIni(UserIni(), L"Height"), L"800");
    EXPECT_FALSE(FileExists(game.Child(L"setup.ini")));

    ASSERT_TRUE(WriteBytes(game.Child(L"setup.ini"), "[Client]\r\nwidth=1024\r\nheight=768\r\n"));
    launcher.SetScreenResolution(-1366, 768);
    EXPECT_EQ(status.text, L"Screen resolution updated.");
    EXPECT_EQ(ReadIni(UserIni(), L"width"), L"-1366");
    EXPECT_EQ(ReadIni(game.Child(L"setup.ini"), L"width"), L"-1366");
    EXPECT_EQ(ReadIni(game.Child(L"setup.ini"), L"height"), L"768");
}

TEST_F(OptionSwitches, ResolutionFailuresAreToldOnTheStatusLine) {
    launcher.userFolder = [] { return std::wstring(); };
    launcher.SetScreenResolution(1280, 800);
    EXPECT_EQ(status.text, L"Could not resolve %LOCALAPPDATA%\\VantoraOnline.");

    // The folder is known while the file is prepared and lost right after.
    const std::wstring folder = user.Child(L"VantoraOnline");
    int calls = 0;
    launcher.userFolder = [folder, &calls] { return calls++ == 0 ? folder : std::wstring(); };
    launcher.SetScreenResolution(1280, 800);
    EXPECT_EQ(status.text, L"Could not resolve the LocalAppData setup.ini path.");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(OptionSwitches, ClientSettingsWindowRunsOverTheMainWindowWithBothFiles) {
    struct Case {
        bool saves;
        const wchar_t* status;
    };
    for (const Case c : {Case{false, L"before"}, Case{true, L"New client settings saved."}}) {
        std::vector<std::wstring> calls;
        launcher.settingsWindow = [&](HWND owner, const std::wstring& userPath,
                                      const std::wstring& legacyPath) {
            EXPECT_EQ(owner, window.handle());
            calls.push_back(userPath + L"|" + legacyPath);
            return c.saves;
        };
        launcher.OpenClientSettings();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0], UserIni() + L"|" + game.Child(L"setup.ini"));
        EXPECT_EQ(status.text, c.status);
        EXPECT_TRUE(FileExists(UserIni()));
    }

    // Without a per-user folder: an error box and no window.
    launcher.userFolder = [] { return std::wstring(); };
    bool opened = false;
    launcher.settingsWindow = [&opened](HWND, const std::wstring&, const std::wstring&) {
        opened = true;
        return true;
    };
    launcher.OpenClientSettings();
    EXPECT_FALSE(opened);
    EXPECT_EQ(boxes,
              std::vector<std::wstring>{L"Vantora Launcher|" + std::to_wstring(MB_ICONERROR) +
                                        L"|Could not resolve %LOCALAPPDATA%\\VantoraOnline."});
}
