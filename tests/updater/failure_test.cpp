#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>

#include <string>
#include <vector>

#include "common/text.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_builder.h"
#include "tests/support/diary_lines.h"
#include "tests/support/emulation.h"
#include "tests/support/standin_tools.h"
#include "updater/updater.h"

namespace {

const char kDialogText[] =
    "The update archive was downloaded, but extraction failed.\n\nThe launcher saved this update "
    "version so it will not keep re-downloading the same archive.\n\nChoose Try Again to retry "
    "extraction now.\nChoose Continue after manually extracting the zip here.\nChoose Cancel to "
    "stop the updater.";

struct FailureCase {
    const char* title;
    std::vector<int> answers;  // the dialog's answers, in order
    int repairBeforeAnswer;    // the archive becomes sound before this answer (1-based), 0: never
    bool result;
    bool halted;
    const char* logLine;  // the last diary line
    const wchar_t* lastStatus;
};

const FailureCase kFailureCases[] = {
    {"Continue after a manual extraction",
     {IDCONTINUE},
     0,
     true,
     false,
     "User confirmed manual extraction for version 11.",
     L"Manual extraction confirmed."},
    {"Cancel",
     {IDCANCEL},
     0,
     false,
     true,
     "Updater halted after extraction failure for version 11.",
     L"Update halted after extraction failure."},
    {"box that could not be shown",
     {0},
     0,
     false,
     true,
     "Updater halted after extraction failure for version 11.",
     L"Update halted after extraction failure."},
    {"Try Again while the archive is still damaged, then Cancel",
     {IDTRYAGAIN, IDCANCEL},
     0,
     false,
     true,
     "Updater halted after extraction failure for version 11.",
     L"Update halted after extraction failure."},
    {"Try Again after the cause is gone",
     {IDTRYAGAIN},
     1,
     true,
     false,
     nullptr,
     L"Extraction complete"},
};

}  // namespace

TEST(ExtractionFailure, RecordsTheStampAndFollowsTheAnswer) {
    for (const FailureCase& c : kFailureCases) {
        SCOPED_TRACE(c.title);
        TempFolder folder;
        ScopedCurrentDirectory cwd(folder.path());
        ASSERT_TRUE(WriteBytes(L"patch.zip", "not an archive"));
        Updater updater;
        updater.extractionThreads = TestExtractionThreads();
        std::vector<std::wstring> statuses;
        updater.onStatus = [&](const std::wstring& text) { statuses.push_back(text); };
        size_t shown = 0;
        updater.showMessageBox = [&](HWND owner, const std::wstring& text,
                                     const std::wstring& caption, UINT type) {
            EXPECT_EQ(owner, nullptr);
            EXPECT_EQ(text, Utf8ToWide(kDialogText));
            EXPECT_EQ(caption, L"Vantora Launcher Update");
            EXPECT_EQ(type, 0x116u);
            EXPECT_EQ(ReadBytes(L"version.txt"), "11");  // recorded before the user answers
            EXPECT_TRUE(updater.haltedAfterExtractionFailure);
            EXPECT_EQ(statuses.back(), L"Extraction failed. Waiting for user action.");
            if (shown >= c.answers.size()) {
                ADD_FAILURE() << "unexpected dialog";
                return IDCANCEL;
            }
            ++shown;
            if (static_cast<int>(shown) == c.repairBeforeAnswer) {
                ZipBuilder().AddFile("data/fixed.dat", "fixed").WriteTo(L"patch.zip");
            }
            return c.answers[shown - 1];
        };

        EXPECT_EQ(updater.HandleExtractionFailure(L"patch.zip", L".", "11"), c.result);

        EXPECT_EQ(shown, c.answers.size());
        EXPECT_EQ(updater.haltedAfterExtractionFailure, c.halted);
        EXPECT_EQ(ReadBytes(L"version.txt"), "11");
        EXPECT_EQ(FileExists(L"data\\fixed.dat"), c.repairBeforeAnswer != 0);
        ASSERT_FALSE(statuses.empty());
        EXPECT_EQ(statuses.back(), c.lastStatus);
        const auto log = DiaryLines();
        if (c.logLine != nullptr) {
            ASSERT_FALSE(log.empty());
            EXPECT_EQ(log.back(), c.logLine);
        }
    }
}

TEST(ExtractionFailure, ContinueAfterARetryRefusedForARunningProgramClearsThatReason) {
    TempFolder folder;
    ScopedCurrentDirectory cwd(folder.path());
    const std::wstring client = folder.Child(L"VantoraOnlineClient.exe");
    ASSERT_TRUE(InstallStandIn(folder.path(), L"VantoraOnlineClient.exe"));
    HeldProgram running(client);
    ASSERT_TRUE(running.started());
    ASSERT_TRUE(ZipBuilder().AddFile("VantoraOnlineClient.exe", "new").WriteTo(L"patch.zip"));
    Updater updater;
    std::vector<int> answers = {IDTRYAGAIN, IDCONTINUE};
    std::vector<bool> blockedWhenShown;
    updater.showMessageBox = [&](HWND, const std::wstring&, const std::wstring&, UINT) {
        blockedWhenShown.push_back(updater.blockedByRunningExecutable);
        const int answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    };

    EXPECT_TRUE(updater.HandleExtractionFailure(L"patch.zip", L".", "11"));

    EXPECT_EQ(blockedWhenShown, (std::vector<bool>{false, true}));  // the retry was refused
    EXPECT_FALSE(updater.blockedByRunningExecutable);
    EXPECT_TRUE(updater.runningExecutablePath.empty());
    EXPECT_FALSE(updater.haltedAfterExtractionFailure);
}

TEST(SelfUpdaterHandOff, StartsTheBuildsSelfUpdaterWithFourQuotedArguments) {
    enum Installed { kStandIn, kNothing, kNotAProgram };
    struct {
        const char* title;
        const VariantNames* names;
        Installed installed;
        bool longName;  // the launcher's own name is longer than 260 units
        bool result;
        const wchar_t* status;  // the last status text, nullptr: none
    } const cases[] = {
        {"x64 build", &kX64VariantNames, kStandIn, false, true, nullptr},
        {"32-bit build", &kWin7VariantNames, kStandIn, false, true, nullptr},
        {"x64 own name past 260 units", &kX64VariantNames, kStandIn, true, true, nullptr},
        {"32-bit own name past 260 units", &kWin7VariantNames, kStandIn, true, true, nullptr},
        {"x64 self-updater missing", &kX64VariantNames, kNothing, false, false,
         L"Selvane.exe not found."},
        {"32-bit self-updater missing", &kWin7VariantNames, kNothing, false, false,
         L"Selvane Win7.exe not found."},
        {"self-updater not a program", &kX64VariantNames, kNotAProgram, false, false,
         L"Failed to launch self updater."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        TempFolder folder(L" Vantora Online");
        const std::wstring updaterPath = folder.Child(c.names->selfUpdaterProgram);
        if (c.installed == kStandIn) {
            ASSERT_TRUE(InstallStandIn(folder.path(), c.names->selfUpdaterProgram));
        } else if (c.installed == kNotAProgram) {
            ASSERT_TRUE(WriteBytes(updaterPath, "not a program"));
        }
        std::wstring ownName = folder.Child(c.names->launcherProgram);
        if (c.longName) {
            ownName = folder.Child(std::wstring(300 - folder.path().size(), L'x') + L".exe");
        }
        Updater updater;
        updater.variantNames = c.names;
        std::vector<std::wstring> statuses;
        updater.onStatus = [&](const std::wstring& text) { statuses.push_back(text); };
        updater.moduleFileName = [&](wchar_t* buffer, DWORD size) {
            wcsncpy(buffer, ownName.c_str(), size);
            return std::min<DWORD>(static_cast<DWORD>(ownName.size()), size);
        };

        ASSERT_EQ(updater.RunSelfUpdater(), c.result);

        if (c.status != nullptr) {
            ASSERT_EQ(statuses.size(), 1u);
            EXPECT_EQ(statuses[0], c.status);
        } else {
            EXPECT_TRUE(statuses.empty());
        }
        if (!c.result) {
            continue;
        }
        EXPECT_EQ(WaitForRecordedArguments(updaterPath),
                  (std::vector<std::wstring>{updaterPath, std::to_wstring(GetCurrentProcessId()),
                                             folder.Child(L"_launcher_self_update"), folder.path(),
                                             ownName}));
    }
}
