#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "tests/support/standin_tools.h"
#include "tests/support/temp_folder.h"
#include "tests/support/diary_lines.h"
#include "updater/extract.h"

namespace {

// A game folder as the current directory, and stand-ins for the system
// tools in a system folder of the test's own.
class SystemToolsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(CreateDirectoryW(destination_.c_str(), nullptr));
        ASSERT_TRUE(WriteBytes(archive_, "PK\x05\x06"));
        ASSERT_TRUE(InstallSystemToolStandIns(system_));
    }

    void Script(const wchar_t* tool, const wchar_t* mode, const std::string& script) {
        ASSERT_TRUE(WriteStandInScript(SystemToolFolder(system_, tool), tool, mode, script));
    }
    std::vector<StandInCall> RawCalls(const wchar_t* tool) const {
        return StandInCalls(SystemToolFolder(system_, tool), tool);
    }
    std::vector<std::string> Calls(const wchar_t* tool) const {
        std::vector<std::string> lines;
        for (const StandInCall& call : RawCalls(tool)) {
            lines.push_back(call.commandLine);
        }
        return lines;
    }
    void ForgetCalls() {
        DeleteFileW((SystemToolFolder(system_, L"tar") + L"\\tar-calls.txt").c_str());
        DeleteFileW((SystemToolFolder(system_, L"powershell") + L"\\powershell-calls.txt").c_str());
    }
    std::string Utf8(const std::wstring& text) const { return WideToUtf8(text); }

    StatusCallback Collect() {
        return [this](const std::wstring& text) { texts_.push_back(text); };
    }

    TempFolder folder_{L" \u00E9"};
    ScopedCurrentDirectory inside_{folder_.path()};
    std::wstring archive_ = folder_.Child(L"full.zip");
    std::wstring destination_ = folder_.Child(L"Bob's game");
    std::wstring system_ = folder_.Child(L"system32");
    SystemTools tools_ = FindSystemTools(system_, L"");
    std::string tar_ = "\"" + Utf8(tools_.tar) + "\"";
    std::vector<std::wstring> texts_;
};

}  // namespace

TEST_F(SystemToolsTest, ListingReportsFirstEntryEveryThousandthAndTheEnd) {
    Script(L"tar", L"tf", "lines 2500 data/file-\n");
    int count = 0;
    bool artifacts = false;
    ASSERT_TRUE(CountTarEntries(archive_, destination_, count, artifacts, Collect(), tools_.tar));
    EXPECT_EQ(count, 2500);
    EXPECT_FALSE(artifacts);
    EXPECT_EQ(texts_, (std::vector<std::wstring>{
                          L"Opening archive... 5% (1 files)", L"Opening archive... 9% (1000 files)",
                          L"Opening archive... 13% (2000 files)", L"Opening archive... 100%"}));
    const std::string command = tar_ + " -tf \"" + Utf8(archive_) + "\"";
    EXPECT_EQ(Calls(L"tar"), std::vector<std::string>{command});
    EXPECT_EQ(RawCalls(L"tar")[0].workingFolder, Utf8(destination_));
    EXPECT_EQ(DiaryLines(),
              (std::vector<std::string>{"Counting archive entries: " + command,
                                        "Archive entry count finished. Entries=2500"}));

    // A long listing stops raising the percentage at 95.
    texts_.clear();
    Script(L"tar", L"tf", "lines 25000 data/file-\n");
    count = 0;
    ASSERT_TRUE(CountTarEntries(archive_, destination_, count, artifacts, Collect(), tools_.tar));
    ASSERT_EQ(texts_.size(), 27u);
    EXPECT_EQ(texts_[22], L"Opening archive... 93% (22000 files)");
    EXPECT_EQ(texts_[23], L"Opening archive... 95% (23000 files)");
    EXPECT_EQ(texts_[25], L"Opening archive... 95% (25000 files)");
}

TEST_F(SystemToolsTest, ListingOutcomes) {
    const struct {
        const char* script;
        bool result;
        int count;
        bool artifacts;
        const char* lastLog;
    } cases[] = {
        {"lines 3 x\nexit 2\n", false, 3, false,
         "Archive entry count failed. ExitCode=2 Entries=3"},
        {"exit 0\n", false, 0, false, "Archive entry count failed. ExitCode=0 Entries=0"},
        {"out \n", true, 1, false, "Archive entry count finished. Entries=1"},
        {"out data/a.dat\nerr x86/Tessaly Win7.exe\n", true, 2, true,
         "Archive entry count finished. Entries=2"},
        {"out Launcher/SELVANE.EXE\n", true, 1, true, "Archive entry count finished. Entries=1"},
        {"out tessaly.exe.old\n", true, 1, false, "Archive entry count finished. Entries=1"},
    };
    for (const auto& c : cases) {
        Script(L"tar", L"tf", c.script);
        int count = 0;
        bool artifacts = false;
        EXPECT_EQ(CountTarEntries(archive_, destination_, count, artifacts, Collect(), tools_.tar),
                  c.result)
            << c.script;
        EXPECT_EQ(count, c.count) << c.script;
        EXPECT_EQ(artifacts, c.artifacts) << c.script;
        EXPECT_EQ(DiaryLines().back(), c.lastLog) << c.script;
    }
}

TEST_F(SystemToolsTest, TarExtractionReportsEachWholePercentOnce) {
    // Verbose lines on standard error with blank lines between them.
    Script(L"tar", L"xvf", "errlines 300 x data/file-\nout \nout \n");
    ASSERT_TRUE(ExtractZipWithTarProgress(archive_, destination_, 300, Collect(), tools_.tar));
    ASSERT_EQ(texts_.size(), 102u);
    for (int percent = 0; percent <= 100; ++percent) {
        EXPECT_EQ(texts_[percent], L"Extracting... " + std::to_wstring(percent) + L"%");
    }
    EXPECT_EQ(texts_.back(), L"Extracting... 100%");
    const std::string command =
        tar_ + " -xvf \"" + Utf8(archive_) + "\" -C \"" + Utf8(destination_) + "\"";
    EXPECT_EQ(Calls(L"tar"), std::vector<std::string>{command});
    EXPECT_EQ(DiaryLines(), (std::vector<std::string>{
                                "Native extraction start: " + command,
                                "Native tar extraction finished. ExtractedEntries=300/300"}));

    texts_.clear();
    Script(L"tar", L"xvf", "lines 2 x\nexit 3\n");
    EXPECT_FALSE(ExtractZipWithTarProgress(archive_, destination_, 4, Collect(), tools_.tar));
    EXPECT_EQ(texts_, (std::vector<std::wstring>{L"Extracting... 25%", L"Extracting... 50%"}));
    EXPECT_EQ(DiaryLines().back(), "Native tar extraction failed. ExitCode=3 ExtractedEntries=2/4");

    texts_.clear();
    Script(L"tar", L"xvf", "lines 2 x\n");
    EXPECT_TRUE(ExtractZipWithTarProgress(archive_, destination_, 0, Collect(), tools_.tar));
    EXPECT_EQ(texts_, (std::vector<std::wstring>{L"Extracting... 0%", L"Extracting... 100%"}));
}

TEST_F(SystemToolsTest, ToolsAreTriedInTurnUntilOneSucceeds) {
    const std::string archive = Utf8(archive_);
    const std::string folder = Utf8(destination_);
    const std::string listing = tar_ + " -tf \"" + archive + "\"";
    const std::string verbose = tar_ + " -xvf \"" + archive + "\" -C \"" + folder + "\"";
    const std::string plain = tar_ + " -xf \"" + archive + "\" -C \"" + folder + "\"";
    const std::string powerShell =
        "\"" + Utf8(tools_.powerShell) +
        "\" -NoProfile -ExecutionPolicy Bypass -Command \"Expand-Archive -LiteralPath '" + archive +
        "' -DestinationPath '" + Utf8(folder_.Child(L"Bob''s game")) + "' -Force\"";

    const struct {
        const char* name;
        const char* listScript;
        const char* verboseScript;
        const char* plainScript;
        const char* powerShellScript;
        bool result;
        std::vector<std::string> tarCalls;
        std::vector<std::string> powerShellCalls;
        std::vector<std::string> log;
        std::vector<std::wstring> texts;
    } cases[] = {
        {"listing and verbose tar",
         "lines 2 f\n",
         "lines 2 f\n",
         "",
         "",
         true,
         {listing, verbose},
         {},
         {"Counting archive entries: " + listing, "Archive entry count finished. Entries=2",
          "Native extraction start: " + verbose,
          "Native tar extraction finished. ExtractedEntries=2/2"},
         {L"Opening archive... 5% (1 files)", L"Opening archive... 100%", L"Extracting... 50%",
          L"Extracting... 100%", L"Extracting... 100%"}},
        {"listing fails, plain tar",
         "exit 1\n",
         "",
         "exit 0\n",
         "",
         true,
         {listing, plain},
         {},
         {"Counting archive entries: " + listing,
          "Archive entry count failed. ExitCode=1 Entries=0", "Native extraction start: " + plain,
          "Native tar extraction finished."},
         {L"Extracting... 100%"}},
        {"verbose and plain tar fail, PowerShell",
         "lines 1 f\n",
         "exit 2\n",
         "exit 5\n",
         "exit 0\n",
         true,
         {listing, verbose, plain},
         {powerShell},
         {"Counting archive entries: " + listing, "Archive entry count finished. Entries=1",
          "Native extraction start: " + verbose,
          "Native tar extraction failed. ExitCode=2 ExtractedEntries=0/1",
          "Native extraction start: " + plain, "Native tar extraction failed. ExitCode=5",
          "PowerShell extraction start.", "PowerShell extraction finished."},
         {L"Opening archive... 5% (1 files)", L"Opening archive... 100%",
          L"Extracting with PowerShell...", L"Extracting... 100%"}},
        {"everything fails",
         "exit 1\n",
         "",
         "exit 1\n",
         "exit 1\n",
         false,
         {listing, plain},
         {powerShell},
         {"Counting archive entries: " + listing,
          "Archive entry count failed. ExitCode=1 Entries=0", "Native extraction start: " + plain,
          "Native tar extraction failed. ExitCode=1", "PowerShell extraction start.",
          "PowerShell extraction failed. ExitCode=1"},
         {L"Extracting with PowerShell..."}},
        {"launcher files listed",
         "out data/a.dat\nout Tessaly.exe\n",
         "",
         "",
         "",
         false,
         {listing},
         {},
         {"Counting archive entries: " + listing, "Archive entry count finished. Entries=2",
          "Archive contains launcher-managed artifacts. Skipping native extraction so variant "
          "filtering can run."},
         {L"Opening archive... 5% (1 files)", L"Opening archive... 100%"}},
    };
    for (const auto& c : cases) {
        ForgetCalls();
        DeleteFileW(L"updateerror.txt");
        texts_.clear();
        Script(L"tar", L"tf", c.listScript);
        Script(L"tar", L"xvf", c.verboseScript);
        Script(L"tar", L"xf", c.plainScript);
        Script(L"powershell", L"NoProfile", c.powerShellScript);
        // Relative paths are made absolute first.
        EXPECT_EQ(ExtractWithSystemTools(L"full.zip", L"Bob's game", Collect(), tools_), c.result)
            << c.name;
        EXPECT_EQ(Calls(L"tar"), c.tarCalls) << c.name;
        EXPECT_EQ(Calls(L"powershell"), c.powerShellCalls) << c.name;
        EXPECT_EQ(DiaryLines(), c.log) << c.name;
        EXPECT_EQ(texts_, c.texts) << c.name;
    }
    for (const StandInCall& call : RawCalls(L"tar")) {
        EXPECT_EQ(call.workingFolder, folder);
    }
}

TEST_F(SystemToolsTest, MissingToolsFailToStart) {
    const std::wstring created = folder_.Child(L"new folder");
    ASSERT_TRUE(DeleteFileW(tools_.tar.c_str()));
    Script(L"powershell", L"NoProfile", "exit 0\n");
    EXPECT_TRUE(ExtractWithSystemTools(archive_, created, Collect(), tools_));
    EXPECT_TRUE(FolderExists(created));
    const std::vector<std::string> log = DiaryLines();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[1], "Archive entry count failed to start. Win32=2");
    EXPECT_EQ(log[3], "Native tar extraction failed to start. Win32=2");
    EXPECT_EQ(log[5], "PowerShell extraction finished.");

    ASSERT_TRUE(DeleteFileW(tools_.powerShell.c_str()));
    EXPECT_FALSE(ExtractWithSystemTools(archive_, created, Collect(), tools_));
    EXPECT_EQ(DiaryLines().back(), "PowerShell extraction failed to start. Win32=2");
}

TEST_F(SystemToolsTest, ToolsMissingFromTheSystemFolderAreTakenFromItsNativeTwin) {
    // As a 32-bit program on 64-bit Windows sees it: the redirected folder
    // holds PowerShell only, the native one ("Sysnative") both.
    const std::wstring redirected = folder_.Child(L"SysWOW64");
    const std::wstring native = folder_.Child(L"Sysnative");
    ASSERT_TRUE(InstallSystemToolStandIns(redirected));
    ASSERT_TRUE(DeleteFileW((redirected + L"\\tar.exe").c_str()));
    ASSERT_TRUE(InstallSystemToolStandIns(native));
    const SystemTools found = FindSystemTools(redirected, native);
    EXPECT_EQ(found.tar, native + L"\\tar.exe");
    EXPECT_EQ(found.powerShell, redirected + L"\\WindowsPowerShell\\v1.0\\powershell.exe");
    // Missing everywhere: the system folder's path, which then fails to start.
    EXPECT_EQ(FindSystemTools(redirected, folder_.Child(L"none")).tar, redirected + L"\\tar.exe");
    EXPECT_EQ(FindSystemTools(redirected, L"").tar, redirected + L"\\tar.exe");
    // No system folder at all: nothing to start, never a bare name.
    EXPECT_EQ(FindSystemTools(L"", native).tar, L"");
}
