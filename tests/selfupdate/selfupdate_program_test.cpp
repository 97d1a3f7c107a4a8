#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>

#include "common/text.h"
#include "tests/selfupdate/installation.h"
#include "tests/support/diary_lines.h"
#include "tests/support/wait.h"
#include "updater/variant_names.h"

// The real self-updater program of this build against a temporary
// installation, with the stand-in in the launcher's place.
namespace {

const std::wstring kSelfUpdater = VANTORA_SELF_UPDATER_PATH;
const std::wstring kStandIn = VANTORA_LAUNCHER_STANDIN_PATH;

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class SelfUpdaterProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        oldLauncher_ = ReadBytes(kStandIn);
        ASSERT_GT(oldLauncher_.size(), 1024u);
        // Bytes after the image leave the program runnable; the size tells
        // the two launchers apart in the stand-in's record.
        newLauncher_ = oldLauncher_ + std::string(4096, 'N');
        install_.Put(launcherName_, oldLauncher_);
        install_.Put(CurrentVariantNames().selfUpdaterProgram, ReadBytes(kSelfUpdater));
        install_.Stage(launcherName_, newLauncher_);
    }

    std::wstring Launcher() const { return install_.Path(launcherName_); }

    // Starts the installed launcher stand-in, waits for its start record.
    std::unique_ptr<ChildProcess> StartOldLauncher(const std::wstring& arguments) {
        auto launcher = std::make_unique<ChildProcess>(Launcher(), arguments, install_.folder());
        EXPECT_TRUE(launcher->started());
        EXPECT_EQ(StandInRecord(1, 20000).size(), 1u);
        return launcher;
    }

    // Starts the self-updater with the arguments the launcher passes.
    std::unique_ptr<ChildProcess> StartSelfUpdater(DWORD launcherId) {
        const std::wstring arguments = std::to_wstring(launcherId) + L" \"" + install_.staging() +
                                       L"\" \"" + install_.folder() + L"\" \"" + Launcher() + L"\"";
        auto updater = std::make_unique<ChildProcess>(
            install_.Path(CurrentVariantNames().selfUpdaterProgram), arguments, install_.folder());
        EXPECT_TRUE(updater->started());
        return updater;
    }
    DWORD RunSelfUpdater(DWORD launcherId) { return StartSelfUpdater(launcherId)->Wait(120000); }

    std::vector<std::string> StandInRecord(size_t lines, DWORD milliseconds) const {
        return WaitForLines(install_.Path(L"standin-starts.txt"), lines, milliseconds);
    }
    std::string StartLine(const std::string& launcher) const {
        return "start size=" + std::to_string(launcher.size()) +
               " cwd=" + WideToUtf8(install_.folder());
    }

    TestInstallation install_;
    const std::wstring launcherName_ = CurrentVariantNames().launcherProgram;
    std::string oldLauncher_;
    std::string newLauncher_;
};

// A file held open without any sharing until the object goes away.
class HeldFile {
  public:
    explicit HeldFile(const std::wstring& path)
        : file_(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    bool held() const { return static_cast<bool>(file_); }
    void Release() { file_.reset(); }

  private:
    UniqueFile file_;
};

TEST_F(SelfUpdaterProgram, ReplacesNestedFilesRemovesStagingAndBackupsAndStartsTheNewLauncher) {
    install_.Put(L"data\\keep.dat", "untouched");
    install_.Put(L"data\\sub folder\\replaced file.txt", "old text");
    install_.Stage(L"data\\sub folder\\replaced file.txt", "new text");
    install_.Stage(L"data\\new folder\\deep\\added file.txt", "added");
    const std::string selfUpdater = ReadBytes(kSelfUpdater);
    auto launcher = StartOldLauncher(L"");
    ASSERT_EQ(launcher->Wait(20000), 0u);

    EXPECT_EQ(RunSelfUpdater(launcher->id()), 0u);

    const std::map<std::wstring, std::string> expected = {
        {launcherName_, newLauncher_},
        {CurrentVariantNames().selfUpdaterProgram, selfUpdater},
        {L"data", "<folder>"},
        {L"data\\keep.dat", "untouched"},
        {L"data\\sub folder", "<folder>"},
        {L"data\\sub folder\\replaced file.txt", "new text"},
        {L"data\\new folder", "<folder>"},
        {L"data\\new folder\\deep", "<folder>"},
        {L"data\\new folder\\deep\\added file.txt", "added"},
    };
    EXPECT_EQ(TestInstallation::Snapshot(install_.folder()), expected);
    const auto record = StandInRecord(2, 20000);
    ASSERT_EQ(record.size(), 2u);
    EXPECT_EQ(record[1], StartLine(newLauncher_));

    const auto diary = DiaryLines(install_.folder());
    EXPECT_TRUE(Contains(diary, "Self-update replaced: " + WideToUtf8(launcherName_)));
    EXPECT_TRUE(Contains(diary, "Self-update replaced: data\\sub folder\\replaced file.txt"));
    EXPECT_TRUE(Contains(diary, "Self-update added: data\\new folder\\deep\\added file.txt"));
    EXPECT_TRUE(Contains(diary, "Self-update finished. Replaced=2 Added=1"));
    EXPECT_TRUE(Contains(diary, "Started launcher: " + WideToUtf8(Launcher())));
}

TEST_F(SelfUpdaterProgram, WaitsForARunningLauncherToExitBeforeReplacingIt) {
    auto launcher = StartOldLauncher(L"--stay 2500");
    const ULONGLONG start = GetTickCount64();

    EXPECT_EQ(RunSelfUpdater(launcher->id()), 0u);

    EXPECT_GE(GetTickCount64() - start, 1500u);
    EXPECT_EQ(ReadBytes(Launcher()), newLauncher_);
    const auto record = StandInRecord(3, 20000);
    ASSERT_EQ(record.size(), 3u);
    EXPECT_EQ(record[0], StartLine(oldLauncher_));
    EXPECT_EQ(record[1].substr(0, 5), "exit ");
    EXPECT_EQ(record[2], StartLine(newLauncher_));
    EXPECT_FALSE(FolderExists(install_.staging()));
}

TEST_F(SelfUpdaterProgram, PutsEverythingBackAndRestartsTheOldLauncherWhenATargetStaysLocked) {
    install_.Put(L"data\\client.dat", "old client");
    install_.Put(L"zz\\locked.dat", "old locked");
    install_.Stage(L"data\\new folder\\added.txt", "added");
    install_.Stage(L"data\\client.dat", "new client");
    install_.Stage(L"zz\\locked.dat", "new locked");
    const auto before = TestInstallation::Snapshot(install_.folder());
    auto launcher = StartOldLauncher(L"");
    ASSERT_EQ(launcher->Wait(20000), 0u);

    HeldFile locked(install_.Path(L"zz\\locked.dat"));
    ASSERT_TRUE(locked.held());
    EXPECT_EQ(RunSelfUpdater(launcher->id()), 4u);
    locked.Release();

    EXPECT_EQ(TestInstallation::Snapshot(install_.folder()), before);
    const auto record = StandInRecord(2, 20000);
    ASSERT_EQ(record.size(), 2u);
    EXPECT_EQ(record[1], StartLine(oldLauncher_));

    const auto diary = DiaryLines(install_.folder());
    const std::string lockedPath = WideToUtf8(install_.Path(L"zz\\locked.dat"));
    EXPECT_TRUE(Contains(diary, "File is in use, retrying: " + lockedPath + " Win32=32"));
    EXPECT_TRUE(Contains(diary, "Self-update failed on " + lockedPath +
                                    ": could not move the old file to the backup. Win32=32"));
    EXPECT_TRUE(Contains(diary, "Self-update rolled back; the installation is as it was."));
    EXPECT_TRUE(Contains(diary, "Self-update failed; the staging folder is kept: " +
                                    WideToUtf8(install_.staging())));
    EXPECT_TRUE(Contains(diary, "Started launcher: " + WideToUtf8(Launcher())));
}

TEST_F(SelfUpdaterProgram, ARollbackThatCannotPutAFileBackSaysSoAndKeepsTheOldFile) {
    install_.Put(L"data\\client.dat", "old client");
    install_.Put(L"zz\\locked.dat", "old locked");
    install_.Stage(L"data\\client.dat", "new client");
    install_.Stage(L"zz\\locked.dat", "new locked");
    auto launcher = StartOldLauncher(L"");
    ASSERT_EQ(launcher->Wait(20000), 0u);

    // zz\locked.dat fails after its retries; meanwhile another program takes
    // hold of the new data\client.dat, so the rollback cannot put it back.
    HeldFile locked(install_.Path(L"zz\\locked.dat"));
    ASSERT_TRUE(locked.held());
    const std::wstring client = install_.Path(L"data\\client.dat");
    auto updater = StartSelfUpdater(launcher->id());
    std::unique_ptr<HeldFile> newClient;
    ASSERT_TRUE(WaitUntil(
        [&] {
            if (!newClient && ReadBytes(client) == "new client") {
                newClient = std::make_unique<HeldFile>(client);
            }
            return newClient && newClient->held();
        },
        10000, 10));
    EXPECT_EQ(updater->Wait(120000), 6u);
    newClient->Release();
    locked.Release();

    const std::wstring backup = install_.Path(L"_launcher_self_update_backup\\data\\client.dat");
    EXPECT_EQ(ReadBytes(backup), "old client");
    EXPECT_EQ(ReadBytes(install_.Path(L"zz\\locked.dat")), "old locked");
    const auto diary = DiaryLines(install_.folder());
    EXPECT_TRUE(Contains(diary, "Not restored: " + WideToUtf8(client) + " (the old file is in " +
                                    WideToUtf8(backup) + ")"));
    EXPECT_FALSE(Contains(diary, "Self-update rolled back; the installation is as it was."));
    EXPECT_EQ(StandInRecord(2, 20000).size(), 2u) << "the old launcher runs again";
}

TEST_F(SelfUpdaterProgram, RetriesATargetThatIsLockedOnlyBriefly) {
    install_.Put(L"data\\client.dat", "old client");
    install_.Stage(L"data\\client.dat", "new client");
    auto launcher = StartOldLauncher(L"");
    ASSERT_EQ(launcher->Wait(20000), 0u);

    HeldFile locked(install_.Path(L"data\\client.dat"));
    ASSERT_TRUE(locked.held());
    auto updater = StartSelfUpdater(launcher->id());
    // Release once the self-updater has met the lock.
    const std::string busy =
        "File is in use, retrying: " + WideToUtf8(install_.Path(L"data\\client.dat"));
    const bool sawRetry = WaitUntil(
        [&] {
            const auto diary = DiaryLines(install_.folder());
            return std::any_of(diary.begin(), diary.end(),
                               [&](const std::string& line) { return line.rfind(busy, 0) == 0; });
        },
        5000, 25);
    locked.Release();
    EXPECT_TRUE(sawRetry);
    EXPECT_EQ(updater->Wait(120000), 0u);

    EXPECT_EQ(ReadBytes(install_.Path(L"data\\client.dat")), "new client");
    EXPECT_EQ(ReadBytes(Launcher()), newLauncher_);
    EXPECT_FALSE(FolderExists(install_.staging()));
    EXPECT_EQ(StandInRecord(2, 20000).size(), 2u);
}

TEST_F(SelfUpdaterProgram, SaysInItsExitCodeThatItLeftTheStagingFolderBehind) {
    install_.Stage(L"data\\held.dat", "new");
    auto launcher = StartOldLauncher(L"");
    ASSERT_EQ(launcher->Wait(20000), 0u);
    // Another program reads it and lets others read it, not delete it.
    UniqueFile held(CreateFileW(install_.Path(L"_launcher_self_update\\data\\held.dat").c_str(),
                                GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_EQ(RunSelfUpdater(launcher->id()), 7u);
    held.reset();
    EXPECT_EQ(ReadBytes(install_.Path(L"data\\held.dat")), "new");
    const auto diary = DiaryLines(install_.folder());
    EXPECT_TRUE(std::any_of(diary.begin(), diary.end(), [](const std::string& line) {
        return line.rfind("Could not remove the staging folder ", 0) == 0;
    }));
    EXPECT_EQ(StandInRecord(2, 20000).size(), 2u);
}

}  // namespace
