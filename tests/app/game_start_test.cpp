#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/launcher_ui.h"
#include "tests/app/standin.h"
#include "tests/app/test_window.h"
#include "tests/support/temp_folder.h"

namespace {

struct StartCase {
    const char* name;
    bool updateFinished;
    int answer;               // to the warning
    const wchar_t* client;    // what lies at the client's path: "standin", "text" or ""
    bool userFolderResolves;  // the per-user folder can be told
    std::vector<std::wstring> expectedBoxes;
    size_t expectedRuns;
    size_t expectedCloses;
};

const std::wstring kWarning =
    L"Warning|" + std::to_wstring(MB_YESNO | MB_ICONWARNING) +
    L"|The update is not finished yet. Starting the game now might lead to issues later on.";
const std::wstring kError = L"Vantora Launcher|" + std::to_wstring(MB_ICONERROR) + L"|";

}  // namespace

TEST(StartGame, AsksWhileTheUpdateRunsAndClosesOnlyAfterAFinishedOne) {
    const StartCase cases[] = {
        {"finished update: plain start, launcher closes", true, IDYES, L"standin", true, {}, 1, 1},
        {"unfinished, Yes: starts, launcher stays",
         false,
         IDYES,
         L"standin",
         true,
         {kWarning},
         1,
         0},
        {"unfinished, No: nothing happens", false, IDNO, L"standin", true, {kWarning}, 0, 0},
        {"client missing",
         true,
         IDYES,
         L"",
         true,
         {kError + L"VantoraOnlineClient.exe not found."},
         0,
         0},
        {"client cannot be started",
         true,
         IDYES,
         L"text",
         true,
         {kError + L"Failed to start VantoraOnlineClient.exe."},
         0,
         0},
        {"per-user folder unknown",
         true,
         IDYES,
         L"standin",
         false,
         {kError + L"Could not resolve %LOCALAPPDATA%\\VantoraOnline."},
         0,
         0},
    };
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder game(L"start");
        TempFolder user(L"user");
        TempFolder elsewhere(L"elsewhere");
        ScopedCurrentDirectory startedElsewhere(elsewhere.path());
        const std::wstring client = game.Child(L"VantoraOnlineClient.exe");
        if (std::wstring(c.client) == L"standin") {
            ASSERT_TRUE(InstallStandin(game.path(), L"VantoraOnlineClient.exe"));
        } else if (std::wstring(c.client) == L"text") {
            ASSERT_TRUE(WriteBytes(client, "not a program"));
        }
        TestWindow window;
        LauncherUI launcher;
        launcher.window = window.handle();
        launcher.gameDirectory = game.path() + L"\\";
        launcher.updateFinished = c.updateFinished;
        const std::wstring userFolder = c.userFolderResolves ? user.Child(L"VantoraOnline") : L"";
        launcher.userFolder = [userFolder] { return userFolder; };
        std::vector<std::wstring> boxes;
        launcher.messageBox = [&](HWND owner, const std::wstring& text, const std::wstring& caption,
                                  UINT type) {
            EXPECT_EQ(owner, window.handle());
            boxes.push_back(caption + L"|" + std::to_wstring(type) + L"|" + text);
            return c.answer;
        };

        launcher.StartGame();

        EXPECT_EQ(boxes, c.expectedBoxes);
        // A client started by mistake needs a moment to record its run.
        const std::vector<StandinRun> runs = c.expectedRuns > 0
                                                 ? WaitForStandinRuns(game.path(), c.expectedRuns)
                                                 : WaitForStandinRuns(game.path(), 1, 3000);
        ASSERT_EQ(runs.size(), c.expectedRuns);
        for (const StandinRun& run : runs) {
            EXPECT_EQ(run.commandLine, L"\"" + client + L"\"");
            EXPECT_EQ(run.folder + L"\\", game.path() + L"\\") << "runs in the game folder";
        }
        EXPECT_EQ(window.TakeMessages(WM_CLOSE).size(), c.expectedCloses);
        // The per-user setup.ini is prepared only when the start goes ahead.
        const bool prepared = FileExists(user.Child(L"VantoraOnline\\setup.ini"));
        EXPECT_EQ(prepared, c.userFolderResolves && c.answer == IDYES);
        if (prepared) {
            EXPECT_EQ(launcher.userSetupIniPath, user.Child(L"VantoraOnline\\setup.ini"));
        }
    }
}

TEST(StartGame, EveryConfirmedStartRunsOneMoreClient) {
    TempFolder game(L"start");
    TempFolder user(L"user");
    ASSERT_TRUE(InstallStandin(game.path(), L"VantoraOnlineClient.exe"));
    TestWindow window;
    LauncherUI launcher;
    launcher.window = window.handle();
    launcher.gameDirectory = game.path() + L"\\";
    const std::wstring userFolder = user.Child(L"VantoraOnline");
    launcher.userFolder = [userFolder] { return userFolder; };
    int questions = 0;
    launcher.messageBox = [&questions](HWND, const std::wstring&, const std::wstring&, UINT) {
        ++questions;
        return IDYES;
    };
    launcher.StartGame();
    launcher.StartGame();
    EXPECT_EQ(questions, 2);
    EXPECT_EQ(WaitForStandinRuns(game.path(), 3, 3000).size(), 2u);
    EXPECT_TRUE(window.TakeMessages(WM_CLOSE).empty());
}
