#include "updater/exe_guard.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/win_handle.h"
#include "tests/support/standin_tools.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_builder.h"
#include "tests/support/diary_lines.h"

namespace {

class ExeGuardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        game_ = folder_.Child(L"game");
        ASSERT_TRUE(CreateDirectoryW(game_.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW((game_ + L"\\bin").c_str(), nullptr));
    }

    TempFolder folder_;
    ScopedCurrentDirectory inside_{folder_.path()};
    std::wstring game_;
};

enum class Role { kWritten, kStaged, kSkipped };

Role RoleOf(const std::string& entry, const VariantNames& names) {
    if (IsStagedLauncher(entry, names)) {
        return Role::kStaged;
    }
    return IsSkippedArtifact(entry, names) ? Role::kSkipped : Role::kWritten;
}

}  // namespace

TEST(ArtifactNames, FileNamesAreComparedLowerCaseByTheirLastComponent) {
    const struct {
        const char* entry;
        const char* lower;
        bool artifact;
        bool exe;
    } cases[] = {
        {"./Bin/TESSALY.EXE", "tessaly.exe", true, true},
        {"launcher/x64/Selvane.exe", "selvane.exe", true, true},
        {"Tessaly Win7.exe", "tessaly win7.exe", true, true},
        {"/SELVANE WIN7.EXE", "selvane win7.exe", true, true},
        {"tessaly.exe.bak", "tessaly.exe.bak", false, false},
        {"game/VantoraOnlineClient.EXE", "vantoraonlineclient.exe", false, true},
        {"data/lib.dll", "lib.dll", false, false},
        {".exe", "exe", false, false},  // the leading dot goes with normalization
        {"\xC3\x84.EXE", "\xC3\x84.exe", false, true},
        // Windows drops trailing dots and blanks from a file name.
        {"VantoraOnlineClient.exe.", "vantoraonlineclient.exe", false, true},
        {"Selvane Win7.exe. .", "selvane win7.exe", true, true},
        {"Tessaly.exe ", "tessaly.exe", true, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LowerFileName(c.entry), c.lower) << c.entry;
        EXPECT_EQ(IsLauncherManagedArtifact(c.entry), c.artifact) << c.entry;
        EXPECT_EQ(HasExeExtension(c.entry), c.exe) << c.entry;
    }
}

TEST(ArtifactNames, EachBuildStagesSkipsOrWritesTheLauncherFiles) {
    const struct {
        const char* entry;
        Role x64;
        Role win7;
    } cases[] = {
        {"Tessaly.exe", Role::kStaged, Role::kSkipped},
        {"sub/TESSALY.EXE", Role::kStaged, Role::kSkipped},
        {"Selvane.exe", Role::kWritten, Role::kSkipped},
        {"TESSALY WIN7.EXE", Role::kSkipped, Role::kStaged},
        {"x/Selvane Win7.exe", Role::kSkipped, Role::kWritten},
        {"VantoraOnlineClient.exe", Role::kWritten, Role::kWritten},
        {"Selvane Win7.exe.", Role::kSkipped, Role::kWritten},
        {"Tessaly.exe ", Role::kStaged, Role::kSkipped},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RoleOf(c.entry, kX64VariantNames), c.x64) << c.entry;
        EXPECT_EQ(RoleOf(c.entry, kWin7VariantNames), c.win7) << c.entry;
    }
}

TEST_F(ExeGuardTest, FilesHeldByAProcessAreInUse) {
    const std::wstring plain = game_ + L"\\plain.exe";
    const std::wstring held = game_ + L"\\held.dat";
    const std::wstring readOnly = game_ + L"\\readonly.exe";
    ASSERT_TRUE(WriteBytes(plain, "MZ"));
    ASSERT_TRUE(WriteBytes(held, "data"));
    ASSERT_TRUE(WriteBytes(readOnly, "MZ"));
    ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));

    EXPECT_FALSE(IsFileInUse(game_ + L"\\missing.exe"));
    EXPECT_FALSE(IsFileInUse(plain));
    // Cannot be opened for writing, but nobody holds it: not in use.
    EXPECT_FALSE(IsFileInUse(readOnly));
    {
        UniqueFile open(CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(open);
        EXPECT_TRUE(IsFileInUse(held));
    }
    EXPECT_FALSE(IsFileInUse(held));

    const std::wstring program = game_ + L"\\bin\\VantoraOnlineClient.exe";
    ASSERT_TRUE(InstallStandIn(game_ + L"\\bin", L"VantoraOnlineClient.exe"));
    {
        HeldProgram running(program);
        ASSERT_TRUE(running.started());
        EXPECT_TRUE(IsFileInUse(program));
    }
    EXPECT_FALSE(IsFileInUse(program));
}

TEST_F(ExeGuardTest, OnlyProgramFilesThisBuildWritesAreChecked) {
    const char* const programs[] = {"VantoraOnlineClient.exe", "Tessaly.exe", "Selvane.exe"};
    for (const char* name : programs) {
        ASSERT_TRUE(InstallStandIn(game_ + L"\\bin", std::wstring(name, name + strlen(name))));
    }
    const std::wstring dll = game_ + L"\\bin\\engine.dll";
    ASSERT_TRUE(WriteBytes(dll, "MZ"));
    HeldProgram client(game_ + L"\\bin\\VantoraOnlineClient.exe");
    HeldProgram launcher(game_ + L"\\bin\\Tessaly.exe");
    HeldProgram selfUpdater(game_ + L"\\bin\\Selvane.exe");
    UniqueFile dllOpen(CreateFileW(dll.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(client.started() && launcher.started() && selfUpdater.started() && dllOpen);

    const struct {
        const char* entry;
        bool x64;
        bool win7;
    } cases[] = {
        {"bin/VantoraOnlineClient.exe", true, true},
        {"./BIN/vantoraonlineclient.EXE", true, true},
        {"bin/VantoraOnlineClient.exe.", true, true},  // the same file to Windows
        {"bin/Tessaly.exe", false, false},             // staged by x64, skipped by Win7
        {"bin/Selvane.exe", true, false},              // written by x64, skipped by Win7
        {"bin/engine.dll", false, false},              // libraries are not checked
        {"bin/other.exe", false, false},               // not there
    };
    // The full path below the game folder, in the entry's own spelling.
    auto expectedPath = [&](const char* entry) {
        std::string relative = entry[0] == '.' ? entry + 2 : entry;
        relative.erase(relative.find_last_not_of('.') + 1);
        for (char& ch : relative) {
            ch = ch == '/' ? '\\' : ch;
        }
        return game_ + L"\\" + std::wstring(relative.begin(), relative.end());
    };
    const std::wstring archive = folder_.Child(L"one.zip");
    for (const auto& c : cases) {
        ASSERT_TRUE(ZipBuilder().AddFile(c.entry, "new").WriteTo(archive));
        std::wstring path = L"unchanged";
        EXPECT_EQ(FindRunningTargetInArchive(archive, game_, path, kX64VariantNames), c.x64)
            << c.entry;
        std::wstring win7Path = L"unchanged";
        EXPECT_EQ(FindRunningTargetInArchive(archive, game_ + L"\\", win7Path, kWin7VariantNames),
                  c.win7)
            << c.entry;
        EXPECT_EQ(path, c.x64 ? expectedPath(c.entry) : L"unchanged") << c.entry;
    }
}

TEST_F(ExeGuardTest, ArchiveScansFindRunningProgramsAndLauncherFiles) {
    ASSERT_TRUE(InstallStandIn(game_ + L"\\bin", L"VantoraOnlineClient.exe"));
    HeldProgram client(game_ + L"\\bin\\VantoraOnlineClient.exe");
    ASSERT_TRUE(client.started());

    const std::wstring clean = folder_.Child(L"clean.zip");
    ASSERT_TRUE(ZipBuilder()
                    .AddFolder("bin/")
                    .AddFolder("tessaly.exe/")  // a folder, not the launcher
                    .AddFile("bin/readme.txt", "text")
                    .AddFile("bin/other.exe", "MZ")
                    .WriteTo(clean));
    const std::wstring blocked = folder_.Child(L"blocked.zip");
    ASSERT_TRUE(ZipBuilder()
                    .AddFile("data/a.dat", "a")
                    .AddFile("bin/VantoraOnlineClient.exe", "MZ new")
                    .WriteTo(blocked));
    const std::wstring launcher = folder_.Child(L"launcher.zip");
    ASSERT_TRUE(ZipBuilder()
                    .AddFile("data/a.dat", "a")
                    .AddFile("x86/TESSALY WIN7.EXE", "MZ")
                    .WriteTo(launcher));
    const std::wstring damaged = folder_.Child(L"damaged.zip");
    ASSERT_TRUE(WriteBytes(damaged, ZipBuilder().AddFile("a", "b").Build().substr(0, 30)));

    std::wstring path;
    EXPECT_FALSE(FindRunningTargetInArchive(clean, game_, path));
    EXPECT_TRUE(path.empty());
    EXPECT_TRUE(FindRunningTargetInArchive(blocked, game_, path));
    EXPECT_EQ(path, game_ + L"\\bin\\VantoraOnlineClient.exe");
    EXPECT_FALSE(ArchiveHasLauncherArtifacts(clean));
    EXPECT_FALSE(ArchiveHasLauncherArtifacts(blocked));
    EXPECT_TRUE(ArchiveHasLauncherArtifacts(launcher));
    EXPECT_TRUE(DiaryLines().empty());

    path.clear();
    EXPECT_FALSE(FindRunningTargetInArchive(damaged, game_, path));
    EXPECT_FALSE(ArchiveHasLauncherArtifacts(damaged));
    EXPECT_EQ(DiaryLines(),
              (std::vector<std::string>{
                  "Could not preflight archive for running executables with miniz.",
                  "Could not preflight archive for launcher-managed artifacts with miniz."}));
}
