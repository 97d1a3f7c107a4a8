#include "selfupdate/self_update.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <set>
#include <utility>

#include "common/process.h"
#include "common/text.h"
#include "tests/selfupdate/installation.h"
#include "tests/support/diary_lines.h"

// While at 0 or more, counts this thread's allocations down; the one made at
// 0 fails.
thread_local long allocationsBeforeFailure = -1;

void* operator new(std::size_t size) {
    void* memory = nullptr;
    if (allocationsBeforeFailure < 0 || allocationsBeforeFailure-- != 0) {
        memory = std::malloc(size != 0 ? size : 1);
    }
    return memory != nullptr ? memory : throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace {

const std::wstring kStandIn = VANTORA_LAUNCHER_STANDIN_PATH;

TEST(SelfUpdateWait, AProcessThatIsGoneCountsAsEnded) {
    TempFolder folder;
    ChildProcess quick(kStandIn, L"", folder.path());
    ASSERT_TRUE(quick.started());
    ASSERT_EQ(quick.Wait(30000), 0u);
    DWORD error = 1;
    EXPECT_TRUE(WaitForProcessExit(quick.id(), 5000, error));
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

// A hand-off whose launcher is gone and whose launcher program is missing.
std::vector<std::wstring> Arguments(const TestInstallation& install, const std::wstring& staging) {
    return {L"4294967292", staging, install.folder(), install.Path(L"Missing.exe")};
}

TEST(SelfUpdateFaults, AnyAllocationThatFailsEndsInADocumentedOutcome) {
    std::unique_ptr<TestInstallation> install;
    std::map<std::wstring, std::string> before;
    std::set<int> codes;
    bool failed = true;
    for (long failAt = 0; failed; ++failAt) {
        SCOPED_TRACE(failAt);
        if (!install) {
            install = std::make_unique<TestInstallation>();
            install->Put(L"data\\client.dat", "old client");
            install->Put(L"zz\\in the way.dat", "");  // fails the last staged file
            install->Stage(L"data\\client.dat", "new client");
            install->Stage(L"data\\new\\added.dat", "added");
            install->Stage(L"zz", "a file where a folder is");
            before = TestInstallation::Snapshot(install->Path(L"data"));
        }
        DeleteFileW(install->Path(L"updateerror.txt").c_str());
        const auto arguments = Arguments(*install, install->staging());
        allocationsBeforeFailure = failAt;
        const int code = RunSelfUpdate(arguments, install->folder(), {});
        failed = std::exchange(allocationsBeforeFailure, -1) < 0;
        codes.insert(code);
        const auto diary = DiaryLines(install->folder());
        EXPECT_TRUE(code != kSelfUpdateInternalError ||
                    std::count(diary.begin(), diary.end(), "Internal error: std::bad_alloc"));
        // Whatever is not as it was has a "Not restored:" line; only 9 writes one.
        auto after = TestInstallation::Snapshot(install->Path(L"data"));
        auto unnamed = before;
        const std::string named = "Not restored: " + WideToUtf8(install->Path(L"data\\"));
        for (const std::string& line : diary) {
            if (line.rfind(named, 0) == 0) {
                EXPECT_EQ(code, kSelfUpdateRollbackIncompleteLauncherNotStarted);
                const auto item = line.substr(named.size(), line.find(" (") - named.size());
                after.erase(Utf8ToWide(item));
                unnamed.erase(Utf8ToWide(item));
            }
        }
        EXPECT_EQ(after, unnamed);
        if (code == kSelfUpdateRollbackIncompleteLauncherNotStarted ||
            FolderExists(install->Path(L"_launcher_self_update_backup"))) {
            install.reset();
        }
    }
    EXPECT_EQ(codes, (std::set<int>{kSelfUpdateRolledBackLauncherNotStarted,
                                    kSelfUpdateRollbackIncompleteLauncherNotStarted,
                                    kSelfUpdateInternalError}));
}

TEST(SelfUpdateLinks, WritesNothingThroughALinkAndPutsEverythingBack) {
    // A folder of the installation that is a link, and a staging folder
    // reached through one.
    for (const std::wstring name : {L"data", L"up"}) {
        SCOPED_TRACE(WideToUtf8(name));
        TestInstallation install;
        TempFolder elsewhere;
        install.Put(L"Tessaly.exe", "old launcher");
        install.Stage(L"data\\client.dat", "new client");
        WriteBytes(elsewhere.Child(L"client.dat"), "elsewhere");
        CreateDirectoryW(elsewhere.Child(L"staging").c_str(), nullptr);
        WriteBytes(elsewhere.Child(L"staging\\Tessaly.exe"), "new launcher");
        const std::wstring link = install.Path(name);
        ASSERT_TRUE(MakeFolderLink(link, elsewhere.path()));
        const auto before = TestInstallation::Snapshot(install.folder());
        const auto elsewhereBefore = TestInstallation::Snapshot(elsewhere.path());
        const std::wstring staging = name == L"up" ? link + L"\\staging" : install.staging();
        EXPECT_EQ(RunSelfUpdate(Arguments(install, staging), install.folder(), {}),
                  kSelfUpdateRolledBackLauncherNotStarted);
        EXPECT_EQ(TestInstallation::Snapshot(install.folder()), before);
        EXPECT_EQ(TestInstallation::Snapshot(elsewhere.path()), elsewhereBefore);
        const auto diary = DiaryLines(install.folder());
        EXPECT_EQ(std::count(diary.begin(), diary.end(),
                             "Refused to write through a link: " + WideToUtf8(link)),
                  1);
        EXPECT_TRUE(RemoveFolderLink(link));
    }
}

}  // namespace
