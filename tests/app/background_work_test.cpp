#include "app/background_work.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/launcher_messages.h"
#include "common/site.h"
#include "patchnotes/patch_notes.h"
#include "tests/app/standin.h"
#include "tests/support/diary_lines.h"
#include "tests/support/temp_folder.h"
#include "updater/updater.h"

namespace {

// What the worker handed to the window, one entry per message: "status:TEXT",
// "notes:FIRST BLOCK|SECOND BLOCK...", "ready", "close"; and every message box.
struct WorkerRecord {
    std::vector<std::wstring> messages;
    std::vector<std::wstring> boxes;  // "CAPTION|STYLE|TEXT"
};

std::wstring NotesEntry(const std::vector<PatchNoteBlock>& blocks) {
    std::wstring entry = L"notes:";
    for (size_t i = 0; i < blocks.size(); ++i) {
        entry += (i ? L"|" : L"") + blocks[i].text;
    }
    return entry;
}

BackgroundWorkHooks RecordingHooks(WorkerRecord& record) {
    BackgroundWorkHooks hooks;
    hooks.fetchPage = [](const std::wstring&, std::vector<uint8_t>&) { return false; };
    hooks.runUpdate = [](Updater&) { return true; };
    auto mailbox = std::make_shared<StatusMailbox>();
    hooks.statusMailbox = mailbox;
    // The window takes the texts at once, so each status text is a message.
    hooks.post = [&record, mailbox](UINT message, WPARAM, LPARAM payload) {
        if (message == WM_LAUNCHER_STATUS) {
            for (const std::wstring& text : mailbox->Take()) {
                record.messages.push_back(L"status:" + text);
            }
        } else if (message == WM_LAUNCHER_PATCHNOTES) {
            std::unique_ptr<std::vector<PatchNoteBlock>> blocks(
                reinterpret_cast<std::vector<PatchNoteBlock>*>(payload));
            record.messages.push_back(NotesEntry(*blocks));
        } else if (message == WM_LAUNCHER_READY) {
            record.messages.push_back(L"ready");
        } else if (message == WM_CLOSE) {
            record.messages.push_back(L"close");
        }
        return true;
    };
    hooks.messageBox = [&record](HWND, const std::wstring& text, const std::wstring& caption,
                                 UINT type) {
        record.boxes.push_back(caption + L"|" + std::to_wstring(type) + L"|" + text);
        return IDOK;
    };
    return hooks;
}

// The status texts and signals after "Checking for updates...".
std::vector<std::wstring> AfterUpdateCheck(const WorkerRecord& record) {
    for (size_t i = 0; i < record.messages.size(); ++i) {
        if (record.messages[i] == L"status:Checking for updates...") {
            return {record.messages.begin() + static_cast<long>(i) + 1, record.messages.end()};
        }
    }
    return {};
}

struct UpdateOutcome {
    const char* name;
    bool runResult;
    bool launcherPending;
    bool halted;
    bool blocked;
    const wchar_t* runningPath;
    int fileCheckExitCode;  // -1: no "Corvath.exe" in the game folder
    std::vector<std::wstring> expectedTail;
    std::vector<std::wstring> expectedBoxes;
    bool fileCheckRuns;
    bool throws = false;  // the run ends in an exception
};

}  // namespace

TEST(BackgroundWork, EveryOutcomeOfTheUpdateEndsInItsFinalState) {
    const std::wstring warningStyle = std::to_wstring(MB_ICONWARNING | MB_OK);
    const std::wstring errorStyle = std::to_wstring(MB_ICONERROR | MB_OK);
    const std::wstring fallback = L"status:Updater failed. Falling back to Corvath...";
    const UpdateOutcome outcomes[] = {
        {"up to date",
         true,
         false,
         false,
         false,
         L"",
         0,
         {L"status:Ready to start.", L"ready"},
         {},
         false},
        {"launcher staged",
         true,
         true,
         false,
         false,
         L"",
         0,
         {L"status:Restarting launcher to finish update...", L"close"},
         {},
         false},
        {"halted and blocked: halted wins, no box",
         false,
         false,
         true,
         true,
         L"C:\\game\\a.exe",
         0,
         {L"status:Update halted after extraction failure."},
         {},
         false},
        {"blocked by a named program",
         false,
         false,
         false,
         true,
         L"C:\\game\\data\\tool.exe",
         0,
         {L"status:Update stopped because an executable is still running."},
         {L"Vantora Launcher Update|" + warningStyle +
          L"|The update could not replace a running executable.\n\nClose this program and run "
          L"the update again:\nC:\\game\\data\\tool.exe"},
         false},
        {"blocked, program unknown",
         false,
         false,
         false,
         true,
         L"",
         0,
         {L"status:Update stopped because an executable is still running."},
         {L"Vantora Launcher Update|" + warningStyle +
          L"|The update could not replace a running executable."},
         false},
        {"failed, no file-check tool",
         false,
         false,
         false,
         false,
         L"",
         -1,
         {fallback, L"status:Corvath.exe not found."},
         {},
         false},
        {"failed, file check passes",
         false,
         false,
         false,
         false,
         L"",
         0,
         {fallback, L"status:Ready to start.", L"ready"},
         {},
         true},
        {"failed, file check fails",
         false,
         false,
         false,
         false,
         L"",
         3,
         {fallback, L"status:Corvath reported an error."},
         {L"Vantora Launcher|" + errorStyle + L"|Update failed. Please try again."},
         true},
        {"staged launcher, failed, file check passes",
         false,
         true,
         false,
         false,
         L"",
         0,
         {fallback, L"status:Restarting launcher to finish update...", L"close"},
         {},
         true},
        {"an exception ends the run, file check passes",
         false,
         false,
         false,
         false,
         L"",
         0,
         {fallback, L"status:Ready to start.", L"ready"},
         {},
         true,
         true},
    };
    for (const UpdateOutcome& outcome : outcomes) {
        SCOPED_TRACE(outcome.name);
        TempFolder game(L"worker");
        ScopedCurrentDirectory inside(game.path());  // where the diary goes
        if (outcome.fileCheckExitCode >= 0) {
            ASSERT_TRUE(InstallStandin(game.path(), L"Corvath.exe", outcome.fileCheckExitCode));
        }
        WorkerRecord record;
        BackgroundWorkHooks hooks = RecordingHooks(record);
        hooks.runUpdate = [&outcome](Updater& updater) {
            updater.launcherUpdatePending = outcome.launcherPending;
            updater.haltedAfterExtractionFailure = outcome.halted;
            updater.blockedByRunningExecutable = outcome.blocked;
            updater.runningExecutablePath = outcome.runningPath;
            if (outcome.throws) {
                throw std::runtime_error("lost");
            }
            return outcome.runResult;
        };
        RunBackgroundWork(nullptr, game.path() + L"\\", hooks);

        EXPECT_EQ(AfterUpdateCheck(record), outcome.expectedTail);
        EXPECT_EQ(record.boxes, outcome.expectedBoxes);
        if (outcome.throws) {
            EXPECT_EQ(DiaryLines(), std::vector<std::string>{"Internal error: lost"});
        }
        const std::vector<StandinRun> runs = ReadStandinRuns(game.path());
        if (outcome.fileCheckRuns) {
            ASSERT_EQ(runs.size(), 1u);
            EXPECT_EQ(runs[0].program, L"Corvath.exe");
            EXPECT_EQ(runs[0].folder + L"\\", game.path() + L"\\");
            EXPECT_EQ(runs[0].commandLine, L"\"" + game.path() + L"\\Corvath.exe\"");
        } else {
            EXPECT_TRUE(runs.empty());
        }
    }
}

TEST(BackgroundWork, PatchNotesComeFirstAndAFailedFetchStillChecksForUpdates) {
    WorkerRecord record;
    BackgroundWorkHooks hooks = RecordingHooks(record);
    std::vector<std::wstring> fetched;
    hooks.fetchPage = [&fetched](const std::wstring& path, std::vector<uint8_t>&) {
        fetched.push_back(path);
        return false;
    };
    RunBackgroundWork(nullptr, L"C:\\game\\", hooks);
    EXPECT_EQ(fetched, std::vector<std::wstring>{L"/patchnotes/patchnotes.php"});
    const std::vector<std::wstring> expected = {
        L"status:Fetching patch notes...", L"notes:Failed to fetch patch notes.",
        L"status:Checking for updates...", L"status:Ready to start.", L"ready"};
    EXPECT_EQ(record.messages, expected);
}

TEST(BackgroundWork, ShowsAtMostTheFirstEightNotesOfThePage) {
    struct Page {
        int notes;
        int shown;
    };
    for (const Page page : {Page{12, 8}, Page{3, 3}, Page{0, 0}}) {
        SCOPED_TRACE(page.notes);
        std::string html = "<html><body>";
        for (int i = 1; i <= page.notes; ++i) {
            html += "<div class=\"patch-note\"><div class=\"content\"><p>Note number " +
                    std::to_string(i) + "</p></div></div>";
        }
        html += "</body></html>";
        WorkerRecord record;
        BackgroundWorkHooks hooks = RecordingHooks(record);
        hooks.fetchPage = [&html](const std::wstring&, std::vector<uint8_t>& body) {
            body.assign(html.begin(), html.end());
            return true;
        };
        RunBackgroundWork(nullptr, L"C:\\game\\", hooks);
        ASSERT_GE(record.messages.size(), 2u);
        const std::wstring& notes = record.messages[1];
        int shown = 0;
        for (size_t at = notes.find(L"Note number "); at != std::wstring::npos;
             at = notes.find(L"Note number ", at + 1)) {
            ++shown;
        }
        EXPECT_EQ(shown, page.shown) << notes;
        if (page.notes == 0) {
            EXPECT_EQ(notes, NotesEntry(BuildPatchNotes("No patch note found.")));
        }
    }
}

TEST(BackgroundWork, PreparesTheUpdaterAndForwardsItsStatusTexts) {
    WorkerRecord record;
    BackgroundWorkHooks hooks = RecordingHooks(record);
    hooks.runUpdate = [](Updater& updater) {
        EXPECT_EQ(updater.baseUrl, UpdateFolderUrl());
        EXPECT_EQ(updater.selfUpdateFolder, L"_launcher_self_update");
        EXPECT_FALSE(updater.launcherUpdatePending);
        EXPECT_TRUE(updater.runningExecutablePath.empty());
        updater.onStatus(L"Downloading... 7% (3.2 KB/s)");
        updater.onStatus(L"Extracting... 100%");
        return true;
    };
    RunBackgroundWork(nullptr, L"C:\\game\\", hooks);
    const std::vector<std::wstring> expected = {L"status:Downloading... 7% (3.2 KB/s)",
                                                L"status:Extracting... 100%",
                                                L"status:Ready to start.", L"ready"};
    EXPECT_EQ(AfterUpdateCheck(record), expected);
}

TEST(BackgroundWork, PayloadsThatCannotBePostedAreFreedBySender) {
    // Every post fails, as when the window is already gone: the worker runs
    // to its end, and every payload it could not hand over is freed.
    WorkerRecord unused;
    BackgroundWorkHooks hooks = RecordingHooks(unused);
    int posts = 0;
    hooks.runUpdate = [](Updater& updater) {
        updater.onStatus(L"Downloading... 50% (1.0 KB/s)");
        return true;
    };
    hooks.post = [&posts](UINT, WPARAM, LPARAM) {
        ++posts;
        return false;
    };
    RunBackgroundWork(nullptr, L"C:\\game\\", hooks);
    EXPECT_EQ(posts, 6);
    EXPECT_TRUE(hooks.statusMailbox->Take().empty()) << "texts for a window that is gone";

    struct Counted {
        explicit Counted(int& destroyed) : destroyed(destroyed) {}
        ~Counted() { ++destroyed; }
        int& destroyed;
    };
    int destroyed = 0;
    PostPayload([](UINT, WPARAM, LPARAM) { return false; }, WM_LAUNCHER_PATCHNOTES,
                std::make_unique<Counted>(destroyed));
    EXPECT_EQ(destroyed, 1) << "not posted: freed by the sender";
    LPARAM handedOver = 0;
    PostPayload(
        [&handedOver](UINT, WPARAM, LPARAM payload) {
            handedOver = payload;
            return true;
        },
        WM_LAUNCHER_PATCHNOTES, std::make_unique<Counted>(destroyed));
    EXPECT_EQ(destroyed, 1) << "posted: the receiver's now";
    delete reinterpret_cast<Counted*>(handedOver);
    EXPECT_EQ(destroyed, 2);
}
