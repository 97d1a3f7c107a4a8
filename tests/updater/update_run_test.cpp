#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "common/sha256.h"
#include "common/text.h"
#include "common/win_handle.h"
#include "tests/support/http_test_server.h"
#include "tests/support/standin_tools.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_builder.h"
#include "tests/support/diary_lines.h"
#include "updater/updater.h"

namespace {

const char kUpdatePath[] = "/ClientUpdates/";

// An archive named NAME holds "data\NAME.txt" and "data\last.txt", both
// holding NAME, so the game folder tells which archives were applied and
// which came last.
std::string Archive(const std::string& name) {
    return ZipBuilder()
        .AddFile("data/" + name + ".txt", name)
        .AddFile("data/last.txt", name)
        .Build();
}

struct RunScenario {
    const char* title;
    const char* manifest;                      // nullptr: the server has none
    std::vector<const char*> archives;         // served sound, without ".zip"
    std::vector<const char*> damagedArchives;  // served, but not zip archives
    const char* stampBefore;                   // nullptr: no "version.txt"
    std::vector<int> answers;                  // to the extraction-failure dialog
    const char* repairWith;  // the archive in the game folder is replaced by this one when the
                             // dialog shows
    bool result;
    const char* stampAfter;
    std::vector<const char*> downloads;  // archives fetched after the manifest (patterns)
    const char* lastApplied;             // nullptr: no archive was applied
    const wchar_t* console;
    bool halted;
    std::vector<const wchar_t*> statuses;  // these appear in this order among the status texts
    std::optional<std::vector<const char*>> nextRunDownloads;  // a second run fetches these
    std::vector<const char*> diary = {};  // these lines appear in this order in the diary
};

// Each row: title, manifest; archives served sound and damaged; the stamp
// before; dialog answers and the repair; then what the run must leave.
// clang-format off
const RunScenario kScenarios[] = {
    {"nothing due",
     R"({"latest":"3","fulls":[],"patches":[{"version":3,"zip":"patch_3.zip","created":3},
                                           {"version":4,"zip":"patch_4.zip","created":4}]})",
     {"patch_3", "patch_4"}, {}, "4", {}, nullptr,
     true, "4", {}, nullptr, L"Checking for updates...\nUpdate finished\n", false, {}, std::nullopt},
    {"fulls 5 and 7 into an empty folder",
     R"({"fulls":[{"version":"v7","zip":"full_7.zip","created":7},
                  {"version":"v5","zip":"full_5.zip","created":5}]})",
     {"full_5", "full_7"}, {}, nullptr, {}, nullptr,
     true, "7", {"full_5", "full_7"}, "full_7",
     L"Checking for updates...\nApplying FULL: v5\nApplying FULL: v7\nUpdate finished\n", false,
     {L"Opening archive...", L"Extraction complete", L"Opening archive...", L"Extraction complete"},
     std::vector<const char*>{},
     {"Opening archive: full.zip", "Running under Wine. Using bundled miniz extractor.",
      "Opening archive: full.zip", "Running under Wine. Using bundled miniz extractor."}},
    {"patches compared with the stamp the full left",
     R"({"fulls":[{"version":"v10","zip":"full_10.zip","created":10}],
         "patches":[{"version":912,"zip":"patch_12.zip","created":12},
                    {"version":908,"zip":"patch_8.zip","created":8},
                    {"version":911,"zip":"patch_11.zip","created":11}]})",
     {"full_10", "patch_8", "patch_11", "patch_12"}, {}, "0", {}, nullptr,
     true, "12", {"full_10", "patch_11", "patch_12"}, "patch_12",
     L"Checking for updates...\nApplying FULL: v10\nApplying PATCH: 11\nApplying PATCH: 12\n"
     L"Update finished\n", false, {}, std::nullopt},
    {"equal stamps apply once",
     R"({"patches":[{"version":1,"zip":"patch_6a.zip","created":6},
                    {"version":2,"zip":"patch_6b.zip","created":6}]})",
     {"patch_6a", "patch_6b"}, {}, "5", {}, nullptr,
     true, "6", {"patch_6[ab]"}, "patch_6[ab]",
     L"Checking for updates...\nApplying PATCH: 6\nUpdate finished\n", false, {}, std::nullopt},
    {"dotted stamp",
     R"({"patches":[{"version":1,"zip":"patch_a.zip","created":10203},
                    {"version":2,"zip":"patch_b.zip","created":10204}]})",
     {"patch_a", "patch_b"}, {}, "1.2.3", {}, nullptr,
     true, "10204", {"patch_b"}, "patch_b",
     L"Checking for updates...\nApplying PATCH: 10204\nUpdate finished\n", false, {}, std::nullopt},
    {"second of three patches missing",
     R"({"patches":[{"version":1,"zip":"patch_1.zip","created":1},
                    {"version":2,"zip":"patch_2.zip","created":2},
                    {"version":3,"zip":"patch_3.zip","created":3}]})",
     {"patch_1", "patch_3"}, {}, nullptr, {}, nullptr,
     false, "1", {"patch_1", "patch_2"}, "patch_1",
     L"Checking for updates...\nApplying PATCH: 1\nApplying PATCH: 2\n", false, {},
     std::vector<const char*>{"patch_2"}},
    {"manifest missing", nullptr, {}, {}, "3", {}, nullptr,
     false, "3", {}, nullptr, L"Checking for updates...\nFailed to download manifest\n", false, {},
     std::nullopt},
    {"manifest malformed", R"({"patches":[{"version":"1","created":9}]})", {}, {}, "3", {}, nullptr,
     false, "3", {}, nullptr, L"Checking for updates...\nFailed to parse manifest\n", false, {},
     std::nullopt},
    {"damaged archive, Continue",
     R"({"patches":[{"version":1,"zip":"patch_11.zip","created":11},
                    {"version":2,"zip":"patch_12.zip","created":12}]})",
     {"patch_12"}, {"patch_11"}, "10", {IDCONTINUE}, nullptr,
     true, "12", {"patch_11", "patch_12"}, "patch_12",
     L"Checking for updates...\nApplying PATCH: 11\nApplying PATCH: 12\nUpdate finished\n", false,
     {L"Failed to open zip", L"Extraction failed. Waiting for user action.",
      L"Manual extraction confirmed.", L"Extraction complete"},
     std::nullopt, {"User confirmed manual extraction for version 11.", "Opening archive: patch.zip"}},
    {"damaged archive, Cancel",
     R"({"patches":[{"version":1,"zip":"patch_11.zip","created":11},
                    {"version":2,"zip":"patch_12.zip","created":12}]})",
     {"patch_12"}, {"patch_11"}, "10", {IDCANCEL}, nullptr,
     false, "11", {"patch_11"}, nullptr, L"Checking for updates...\nApplying PATCH: 11\n", true,
     {L"Extraction failed. Waiting for user action.", L"Update halted after extraction failure."},
     std::vector<const char*>{"patch_12"}, {"Updater halted after extraction failure for version 11."}},
    {"damaged full, Try Again after the archive is repaired",
     R"({"fulls":[{"version":"v11","zip":"full_11.zip","created":11}],
         "patches":[{"version":1,"zip":"patch_12.zip","created":12}]})",
     {"patch_12"}, {"full_11"}, "10", {IDTRYAGAIN}, "full_11",
     true, "12", {"full_11", "patch_12"}, "patch_12",
     L"Checking for updates...\nApplying FULL: v11\nApplying PATCH: 12\nUpdate finished\n", false,
     {L"Extraction failed. Waiting for user action.", L"Extraction complete"}, std::nullopt},
};
// clang-format on

class UpdateRunTest : public ::testing::Test {
  protected:
    // A fresh server for each scenario, so that no archive of another one is served.
    void NewServer() {
        server_ = std::make_unique<TestHttpServer>();
        ASSERT_TRUE(server_->Start());
        server_->SetResponse(std::string(kUpdatePath) + "manifest.json",
                             ScriptedResponse::Status(404, "Not Found"));
    }

    void Serve(const std::string& name, const std::string& body) {
        server_->SetResponse(kUpdatePath + name, ScriptedResponse::Ok(body));
    }

    // One run with a fresh Updater on the built-in extraction road; the dialog
    // takes the scripted answers. ownName: the launcher's own file ("": the
    // test program).
    bool RunOnce(std::vector<int> answers = {}, const char* repairWith = nullptr,
                 const std::wstring& ownName = L"") {
        Updater& updater = updater_.emplace();
        updater.baseUrl = server_->BaseUrl() + Utf8ToWide(kUpdatePath);
        updater.runsUnderWine = [] { return true; };
        updater.console = &console_;
        statuses_.clear();
        console_.str(L"");
        updater.onStatus = [this](const std::wstring& text) { statuses_.push_back(text); };
        updater.showMessageBox = [answers, repairWith](HWND, const std::wstring&,
                                                       const std::wstring&, UINT) mutable {
            if (answers.empty()) {
                ADD_FAILURE() << "unexpected dialog";
                return IDCANCEL;
            }
            if (repairWith != nullptr) {
                WriteBytes(FileExists(L"full.zip") ? L"full.zip" : L"patch.zip",
                           Archive(repairWith));
            }
            const int answer = answers.front();
            answers.erase(answers.begin());
            return answer;
        };
        if (!ownName.empty()) {
            updater.moduleFileName = [ownName](wchar_t* buffer, DWORD size) {
                wcsncpy(buffer, ownName.c_str(), size);
                return static_cast<DWORD>(ownName.size());
            };
        }
        firstRequest_ = server_->Requests().size();
        return updater.Run();
    }

    // Archives fetched by the last run after its manifest, without ".zip".
    std::vector<std::string> FetchedArchives() const {
        const auto targets = server_->RequestedTargets();
        std::vector<std::string> names;
        for (size_t i = firstRequest_; i < targets.size(); ++i) {
            if (i == firstRequest_) {
                EXPECT_EQ(targets[i], std::string(kUpdatePath) + "manifest.json");
                continue;
            }
            const std::string name = targets[i].substr(sizeof(kUpdatePath) - 1);
            names.push_back(name.substr(0, name.size() - 4));
        }
        return names;
    }

    static void ExpectMatches(const std::vector<std::string>& actual,
                              const std::vector<const char*>& patterns) {
        ASSERT_EQ(actual.size(), patterns.size());
        for (size_t i = 0; i < actual.size(); ++i) {
            EXPECT_TRUE(std::regex_match(actual[i], std::regex(patterns[i])))
                << actual[i] << " vs " << patterns[i];
        }
    }

    // The status texts hold these in this order (others may come between).
    void ExpectStatuses(const std::vector<std::wstring>& expected) const {
        auto at = statuses_.begin();
        for (const std::wstring& text : expected) {
            at = std::find(at, statuses_.end(), text);
            ASSERT_NE(at, statuses_.end()) << "missing status " << WideToUtf8(text);
            ++at;
        }
    }

    std::unique_ptr<TestHttpServer> server_;
    std::optional<Updater> updater_;
    std::wostringstream console_;
    std::vector<std::wstring> statuses_;
    size_t firstRequest_ = 0;
};

}  // namespace

TEST_F(UpdateRunTest, WalksFullsThenPatchesOverLoopback) {
    for (const RunScenario& s : kScenarios) {
        SCOPED_TRACE(s.title);
        TempFolder game(L" Game Folder");
        ScopedCurrentDirectory cwd(game.path());
        NewServer();
        if (s.manifest != nullptr) {
            Serve("manifest.json", s.manifest);
        }
        for (const char* name : s.archives) {
            Serve(std::string(name) + ".zip", Archive(name));
        }
        for (const char* name : s.damagedArchives) {
            Serve(std::string(name) + ".zip", "PK\x03\x04 cut short");
        }
        if (s.stampBefore != nullptr) {
            ASSERT_TRUE(WriteBytes(L"version.txt", s.stampBefore));
        }

        EXPECT_EQ(RunOnce(s.answers, s.repairWith), s.result);

        EXPECT_EQ(ReadBytes(L"version.txt"), s.stampAfter);
        ExpectMatches(FetchedArchives(), s.downloads);
        if (s.lastApplied != nullptr) {
            const std::string last = ReadBytes(L"data\\last.txt");
            EXPECT_TRUE(std::regex_match(last, std::regex(s.lastApplied))) << last;
            EXPECT_TRUE(FileExists(Utf8ToWide("data\\" + last + ".txt")));
        } else {
            EXPECT_FALSE(FileExists(L"data\\last.txt"));
        }
        EXPECT_EQ(console_.str(), s.console);
        EXPECT_EQ(updater_->haltedAfterExtractionFailure, s.halted);
        EXPECT_FALSE(updater_->blockedByRunningExecutable);
        EXPECT_FALSE(updater_->launcherUpdatePending);
        ExpectStatuses(std::vector<std::wstring>(s.statuses.begin(), s.statuses.end()));
        const auto diary = DiaryLines();
        auto line = diary.begin();
        for (const char* expected : s.diary) {
            line = std::find(line, diary.end(), expected);
            ASSERT_NE(line, diary.end()) << "missing diary line " << expected;
            ++line;
        }

        if (s.nextRunDownloads) {
            SCOPED_TRACE("next run");
            RunOnce();
            ExpectMatches(FetchedArchives(), *s.nextRunDownloads);
        }
    }
}

TEST_F(UpdateRunTest, StopsWithoutADialogWhenAProgramOfTheArchiveIsRunning) {
    TempFolder game(L" Game Folder");
    ScopedCurrentDirectory cwd(game.path());
    NewServer();
    const std::wstring client = game.Child(L"VantoraOnlineClient.exe");
    ASSERT_TRUE(InstallStandIn(game.path(), L"VantoraOnlineClient.exe"));
    HeldProgram running(client);
    ASSERT_TRUE(running.started());
    Serve("manifest.json", R"({"patches":[{"version":1,"zip":"patch_2.zip","created":2}]})");
    Serve("patch_2.zip", ZipBuilder()
                             .AddFile("data/new.dat", "new")
                             .AddFile("VantoraOnlineClient.exe", "new client")
                             .Build());
    ASSERT_TRUE(WriteBytes(L"version.txt", "1"));

    EXPECT_FALSE(RunOnce());  // a dialog would fail the test

    EXPECT_TRUE(updater_->blockedByRunningExecutable);
    EXPECT_EQ(updater_->runningExecutablePath, client);
    EXPECT_FALSE(updater_->haltedAfterExtractionFailure);
    EXPECT_EQ(ReadBytes(L"version.txt"), "1");
    EXPECT_FALSE(FileExists(L"data\\new.dat"));
    EXPECT_EQ(console_.str(), L"Checking for updates...\nApplying PATCH: 2\n");
    ASSERT_FALSE(statuses_.empty());
    EXPECT_EQ(statuses_.back(), L"Update stopped. Close the running executable: " + client);
}

TEST_F(UpdateRunTest, HandsAStagedLauncherToTheSelfUpdater) {
    const VariantNames& names = CurrentVariantNames();
    for (const bool installed : {true, false}) {
        SCOPED_TRACE(installed ? "self-updater present" : "self-updater missing");
        TempFolder game(L" Game Folder");
        ScopedCurrentDirectory cwd(game.path());
        NewServer();
        Serve("manifest.json", R"({"fulls":[{"version":"v5","zip":"full_5.zip","created":5}]})");
        Serve("full_5.zip", ZipBuilder()
                                .AddFile("data/full_5.txt", "full_5")
                                .AddFile(WideToUtf8(names.launcherProgram), "new launcher")
                                .Build());
        const std::wstring updaterPath = game.Child(names.selfUpdaterProgram);
        if (installed) {
            ASSERT_TRUE(InstallStandIn(game.path(), names.selfUpdaterProgram));
        }
        const std::wstring launcher = game.Child(names.launcherProgram);

        EXPECT_EQ(RunOnce({}, nullptr, launcher), installed);

        EXPECT_TRUE(updater_->launcherUpdatePending);
        EXPECT_EQ(ReadBytes(L"version.txt"), "5");
        EXPECT_EQ(ReadBytes(L"data\\full_5.txt"), "full_5");
        EXPECT_FALSE(FileExists(launcher));
        const std::wstring staging = game.Child(L"_launcher_self_update");
        EXPECT_EQ(ReadBytes(staging + L"\\" + names.launcherProgram), "new launcher");
        const std::wstring ready = L"Launcher update ready. Restarting launcher...";
        if (!installed) {
            ExpectStatuses({ready, std::wstring(names.selfUpdaterProgram) + L" not found."});
            EXPECT_EQ(console_.str(), L"Checking for updates...\nApplying FULL: v5\n");
            continue;
        }
        EXPECT_EQ(statuses_.back(), ready);
        EXPECT_EQ(console_.str(), L"Checking for updates...\nApplying FULL: v5\nUpdate finished\n");
        EXPECT_EQ(WaitForRecordedArguments(updaterPath),
                  (std::vector<std::wstring>{updaterPath, std::to_wstring(GetCurrentProcessId()),
                                             staging, game.path(), launcher}));
    }
}

TEST_F(UpdateRunTest, PatchesOlderThanAnAppliedFullStayOutWhenTheStampCannotBeWritten) {
    TempFolder game(L" Game Folder");
    ScopedCurrentDirectory cwd(game.path());
    NewServer();
    Serve("manifest.json", R"({"fulls":[{"version":"v10","zip":"full_10.zip","created":10}],
                               "patches":[{"version":1,"zip":"patch_8.zip","created":8},
                                          {"version":2,"zip":"patch_11.zip","created":11}]})");
    for (const char* name : {"full_10", "patch_8", "patch_11"}) {
        Serve(std::string(name) + ".zip", Archive(name));
    }
    ASSERT_TRUE(WriteBytes(L"version.txt", "0"));
    {
        // Another program holds "version.txt": it can be neither read (stamp 0) nor written.
        UniqueFile held(CreateFileW(L"version.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        EXPECT_TRUE(RunOnce());
    }

    EXPECT_EQ(ReadBytes(L"version.txt"), "0");
    ExpectMatches(FetchedArchives(), {"full_10", "patch_11"});
    EXPECT_FALSE(FileExists(L"data\\patch_8.txt"));
    EXPECT_EQ(ReadBytes(L"data\\last.txt"), "patch_11");
}

// A folder at the stamp a patch's differences were made from fetches them
// instead of the whole patch; a file the player changed sends that patch
// back to the whole archive, which still ends in the same release.
TEST_F(UpdateRunTest, PatchesComeAsDifferencesWhereTheFolderIsTheirBase) {
    const std::string before = std::string(30000, 'x') + "release 1";
    const std::string after = std::string(30000, 'x') + "release 2";
    struct Case {
        const char* title;
        const char* stamp;
        std::string notes;  // notes.txt before the run
        std::vector<const char*> downloads;
        const char* diary;
    } cases[] = {
        {"at the base", "1", before, {"patch_2_delta"}, "Delta patch applied: patch_2_delta.zip"},
        {"changed by the player",
         "1",
         before + "!",
         {"patch_2_delta", "patch_2"},
         "Delta patch not usable, using the whole patch: patch_2_delta.zip"},
        {"at another stamp", "0", before, {"patch_2"}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        TempFolder game(L"game");
        ScopedCurrentDirectory cwd(game.path());
        NewServer();
        const std::string whole = ZipBuilder().AddFile("notes.txt", after).Build();
        const std::string delta =
            ZipBuilder().Add(DifferenceEntry("notes.txt", before, after)).Build();
        Serve("manifest.json", R"({"patches":[{"version":2,"zip":"patch_2.zip","created":2,
            "sha256":")" + Sha256HexOf(whole) +
                                   R"(","delta":{"zip":"patch_2_delta.zip","size":)" +
                                   std::to_string(delta.size()) +
                                   R"(,"crc":"00000000","sha256":")" + Sha256HexOf(delta) +
                                   R"(","from":"1"}}]})");
        Serve("patch_2.zip", whole);
        Serve("patch_2_delta.zip", delta);
        ASSERT_TRUE(WriteBytes(L"version.txt", c.stamp));
        ASSERT_TRUE(WriteBytes(L"notes.txt", c.notes));

        EXPECT_TRUE(RunOnce());

        ExpectMatches(FetchedArchives(), c.downloads);
        EXPECT_EQ(ReadBytes(L"notes.txt"), after);
        EXPECT_EQ(ReadBytes(L"version.txt"), "2");
        const std::vector<std::string> diary = DiaryLines();
        if (c.diary != nullptr) {
            EXPECT_NE(std::find(diary.begin(), diary.end(), c.diary), diary.end());
        }
        ExpectStatuses({L"Extracting... 0%", L"Extraction complete"});
    }
}
