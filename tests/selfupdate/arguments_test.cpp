#include "selfupdate/arguments.h"

#include <gtest/gtest.h>

#include <functional>

#include "common/text.h"
#include "common/path.h"
#include "selfupdate/self_update.h"
#include "tests/selfupdate/installation.h"
#include "tests/support/diary_lines.h"

namespace {

TEST(SelfUpdateProcessId, TakesOnlyPlainDecimalNumbersThatFitAProcessId) {
    struct Case {
        const wchar_t* text;
        bool accepted;
        DWORD value;
    };
    const Case cases[] = {
        {L"1", true, 1},
        {L"4242", true, 4242},
        {L"0012", true, 12},
        {L"4294967295", true, 4294967295u},
        {L"", false, 0},
        {L"0", false, 0},
        {L"-5", false, 0},
        {L"+5", false, 0},
        {L" 5", false, 0},
        {L"5 ", false, 0},
        {L"12a", false, 0},
        {L"0x10", false, 0},
        {L"4294967296", false, 0},
        {L"99999999999", false, 0},
        {L"\u0661\u0662", false, 0},  // Arabic-Indic digits
    };
    for (const Case& c : cases) {
        DWORD value = 0;
        EXPECT_EQ(ParseProcessId(c.text, value), c.accepted) << WideToUtf8(c.text);
        if (c.accepted) {
            EXPECT_EQ(value, c.value) << WideToUtf8(c.text);
        }
    }
}

// Every refusal: exit code 2, one diary line that says what is wrong, and
// not one file or folder changed.
class SelfUpdateRefusal : public ::testing::Test {
  protected:
    void SetUp() override {
        install_.Put(L"Tessaly.exe", "old launcher");
        install_.Put(L"data\\client.dat", "client");
        install_.Stage(L"Tessaly.exe", "new launcher");
        install_.Stage(L"data\\sub folder\\new.dat", "new data");
        CreateDirectoryW(outside_.Child(L"staging").c_str(), nullptr);
        WriteBytes(outside_.Child(L"staging\\Tessaly.exe"), "elsewhere");
    }

    std::vector<std::wstring> Arguments() const {
        return {L"4242", install_.staging(), install_.folder(), install_.launcher()};
    }

    TestInstallation install_;
    TempFolder own_;      // where the self-updater program lies
    TempFolder outside_;  // a folder outside the installation
};

TEST_F(SelfUpdateRefusal, RefusesBadArgumentsWithADiaryLineAndChangesNothing) {
    struct Case {
        const char* name;
        std::function<void(std::vector<std::wstring>&)> edit;
        std::string diary;          // expected diary line after "Self-update refused: "
        bool diaryInInstallFolder;  // else in the self-updater's own folder
    };
    const std::wstring install = install_.folder();
    const std::string installUtf8 = WideToUtf8(install);
    const std::string outsideUtf8 = WideToUtf8(outside_.path());
    const std::string stagingUtf8 = WideToUtf8(install_.staging());
    const std::string missingUtf8 = installUtf8 + "\\missing";
    const Case cases[] = {
        {"three arguments", [](auto& a) { a.pop_back(); },
         "expected 4 arguments (launcher process id, staging folder, installation folder, "
         "launcher program), got 3",
         false},
        {"five arguments", [](auto& a) { a.push_back(L"extra"); },
         "expected 4 arguments (launcher process id, staging folder, installation folder, "
         "launcher program), got 5",
         false},
        {"no arguments", [](auto& a) { a.clear(); },
         "expected 4 arguments (launcher process id, staging folder, installation folder, "
         "launcher program), got 0",
         false},
        {"relative installation folder", [](auto& a) { a[2] = L"Vantora Online"; },
         "installation folder is not an absolute path: Vantora Online", false},
        {"drive-relative installation folder", [](auto& a) { a[2] = L"C:Vantora"; },
         "installation folder is not an absolute path: C:Vantora", false},
        {"missing installation folder", [&](auto& a) { a[2] = install + L"\\missing"; },
         "installation folder does not exist or is not a folder: " + missingUtf8, false},
        {"installation folder is a file", [&](auto& a) { a[2] = install + L"\\Tessaly.exe"; },
         "installation folder does not exist or is not a folder: " + installUtf8 + "\\Tessaly.exe",
         false},
        {"process id with a sign", [](auto& a) { a[0] = L"-4242"; },
         "launcher process id is not a decimal number: -4242", true},
        {"process id in hex", [](auto& a) { a[0] = L"0x1092"; },
         "launcher process id is not a decimal number: 0x1092", true},
        {"relative staging folder", [](auto& a) { a[1] = L"_launcher_self_update"; },
         "staging folder is not an absolute path: _launcher_self_update", true},
        {"missing staging folder", [&](auto& a) { a[1] = install + L"\\missing"; },
         "staging folder does not exist or is not a folder: " + missingUtf8, true},
        {"staging folder outside", [&](auto& a) { a[1] = outside_.Child(L"staging"); },
         "staging folder is not inside the installation folder: " + outsideUtf8 + "\\staging",
         true},
        {"staging folder is the installation folder", [&](auto& a) { a[1] = install + L"\\"; },
         "staging folder is not inside the installation folder: " + installUtf8 + "\\", true},
        {"staging folder escapes with ..",
         [&](auto& a) {
             a[1] = install + L"\\data\\..\\..\\" +
                    outside_.path().substr(outside_.path().find_last_of(L'\\') + 1) + L"\\staging";
         },
         "", true},
        {"launcher outside", [&](auto& a) { a[3] = outside_.Child(L"staging\\Tessaly.exe"); },
         "launcher program is not inside the installation folder: " + outsideUtf8 +
             "\\staging\\Tessaly.exe",
         true},
        {"relative launcher", [](auto& a) { a[3] = L"Tessaly.exe"; },
         "launcher program is not an absolute path: Tessaly.exe", true},
        {"launcher inside staging", [&](auto& a) { a[3] = install_.staging() + L"\\Tessaly.exe"; },
         "launcher program is inside the staging folder: " + stagingUtf8 + "\\Tessaly.exe", true},
        {"launcher is a folder", [&](auto& a) { a[3] = install + L"\\data"; },
         "launcher program is a folder: " + installUtf8 + "\\data", true},
    };
    const auto before = TestInstallation::Snapshot(install);
    const auto outsideBefore = TestInstallation::Snapshot(outside_.path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::wstring> arguments = Arguments();
        c.edit(arguments);
        DeleteFileW((install + L"\\updateerror.txt").c_str());
        DeleteFileW(own_.Child(L"updateerror.txt").c_str());

        EXPECT_EQ(RunSelfUpdate(arguments, own_.path(), SelfUpdateSettings()), kSelfUpdateRefused);

        const auto inInstall = DiaryLines(install);
        const auto inOwn = DiaryLines(own_.path());
        const auto& diary = c.diaryInInstallFolder ? inInstall : inOwn;
        EXPECT_TRUE((c.diaryInInstallFolder ? inOwn : inInstall).empty());
        ASSERT_EQ(diary.size(), 1u);
        if (!c.diary.empty()) {
            EXPECT_EQ(diary[0], "Self-update refused: " + c.diary);
        } else {
            EXPECT_EQ(diary[0].rfind("Self-update refused: staging folder is not inside", 0), 0u)
                << diary[0];
        }
        EXPECT_EQ(TestInstallation::Snapshot(install), before);
        EXPECT_EQ(TestInstallation::Snapshot(outside_.path()), outsideBefore);
    }
}

TEST_F(SelfUpdateRefusal, RefusesAStagingTreeThatLeadsElsewhere) {
    struct Case {
        const char* name;
        std::function<bool()> prepare;
        std::string diaryStart;
    };
    const std::wstring staging = install_.staging();
    // The link goes last: a refused tree is listed no further than the link.
    const Case cases[] = {
        {"staged item that lands in the staging folder again",
         [&] {
             install_.Stage(L"_launcher_self_update\\Tessaly.exe", "loop");
             return true;
         },
         "Self-update refused: staged item would land inside the staging folder: "
         "_launcher_self_update"},
        {"folder link below the staging folder",
         [&] {
             CreateDirectoryW(install_.Path(L"elsewhere").c_str(), nullptr);
             return MakeFolderLink(staging + L"\\data\\linked", install_.Path(L"elsewhere"));
         },
         "Self-update refused: staging tree contains a reparse point: " + WideToUtf8(staging) +
             "\\data\\linked"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.prepare());
        const auto before = TestInstallation::Snapshot(install_.folder());
        DeleteFileW(install_.Path(L"updateerror.txt").c_str());

        EXPECT_EQ(RunSelfUpdate(Arguments(), own_.path(), SelfUpdateSettings()),
                  kSelfUpdateRefused);

        const auto diary = DiaryLines(install_.folder());
        ASSERT_EQ(diary.size(), 1u);
        EXPECT_EQ(diary[0], c.diaryStart);
        EXPECT_EQ(TestInstallation::Snapshot(install_.folder()), before);
    }
    EXPECT_TRUE(RemoveFolderLink(staging + L"\\data\\linked"));
}

TEST_F(SelfUpdateRefusal, AcceptsTheArgumentsInTheFormsTheLauncherAndPlayersPathsTake) {
    const std::wstring install = install_.folder();
    std::wstring upper = install;
    for (wchar_t& c : upper) {
        c = static_cast<wchar_t>(towupper(c));
    }
    struct Case {
        const char* name;
        std::vector<std::wstring> arguments;
    };
    const Case cases[] = {
        {"as the launcher passes them", Arguments()},
        {"trailing separators and forward slashes",
         {L"4242", install + L"/_launcher_self_update/", install + L"\\",
          install + L"/Tessaly.exe"}},
        {"other letter case and dot segments",
         {L"4242", upper + L"\\data\\..\\_LAUNCHER_SELF_UPDATE", install,
          upper + L"\\.\\TESSALY.EXE"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SelfUpdateArguments checked;
        std::wstring refusal;
        ASSERT_TRUE(CheckSelfUpdateArguments(c.arguments, checked, refusal)) << WideToUtf8(refusal);
        EXPECT_EQ(checked.launcherProcessId, 4242u);
        EXPECT_TRUE(SamePath(checked.installFolder, install));
        EXPECT_TRUE(SamePath(checked.stagingFolder, install_.staging()));
        EXPECT_TRUE(SamePath(checked.launcherProgram, install_.launcher()));
        EXPECT_EQ(checked.staged.files,
                  (std::vector<std::wstring>{L"data\\sub folder\\new.dat", L"Tessaly.exe"}));
        EXPECT_EQ(checked.staged.folders,
                  (std::vector<std::wstring>{L"data", L"data\\sub folder"}));
    }
}

}  // namespace
