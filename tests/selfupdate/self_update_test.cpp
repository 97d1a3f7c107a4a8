#include "selfupdate/self_update.h"

#include <gtest/gtest.h>

#include "tests/selfupdate/installation.h"
#include "tests/support/diary_lines.h"

namespace {

const std::wstring kStandIn = VANTORA_LAUNCHER_STANDIN_PATH;

TEST(SelfUpdateWait, AProcessThatIsGoneCountsAsEnded) {
    TempFolder folder;
    ChildProcess quick(kStandIn, L"", folder.path());
    ASSERT_TRUE(quick.started());
    ASSERT_EQ(quick.Wait(30000), 0u);
    DWORD error = 1;
    EXPECT_TRUE(WaitForProcessExit(quick.id(), 5000, &error));
    EXPECT_EQ(error, 0u);
}

TEST(SelfUpdateWait, StopsWithNothingChangedWhileTheLauncherOutlivesTheWait) {
    TestInstallation install;
    install.Put(L"Tessaly.exe", ReadBytes(kStandIn));
    install.Stage(L"Tessaly.exe", ReadBytes(kStandIn) + "new launcher");
    install.Stage(L"data\\new.dat", "new");
    ChildProcess launcher(install.launcher(), L"--stay 30000", install.folder());
    ASSERT_TRUE(launcher.started());
    ASSERT_EQ(WaitForLines(install.Path(L"standin-starts.txt"), 1, 20000).size(), 1u);
    const auto before = TestInstallation::Snapshot(install.folder());

    SelfUpdateSettings settings;
    settings.launcherWaitMilliseconds = 1000;
    const std::vector<std::wstring> arguments = {std::to_wstring(launcher.id()), install.staging(),
                                                 install.folder(), install.launcher()};
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(RunSelfUpdate(arguments, install.folder(), settings),
              kSelfUpdateLauncherStillRunning);
    EXPECT_GE(GetTickCount64() - start, 900u);

    EXPECT_EQ(launcher.Wait(0), STILL_ACTIVE);
    EXPECT_EQ(TestInstallation::Snapshot(install.folder()), before);
    const auto diary = DiaryLines(install.folder());
    ASSERT_EQ(diary.size(), 2u);
    EXPECT_EQ(diary[1], "Launcher process " + std::to_string(launcher.id()) +
                            " is still running after 1000 ms. Self-update stopped; nothing was "
                            "changed.");
    // Nobody was started: the stand-in recorded only its own first start.
    EXPECT_EQ(WaitForLines(install.Path(L"standin-starts.txt"), 2, 500).size(), 1u);
}

}  // namespace
