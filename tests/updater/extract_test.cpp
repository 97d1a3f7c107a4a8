#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/text.h"
#include "tests/support/standin_tools.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_builder.h"
#include "tests/support/diary_lines.h"
#include "tests/support/emulation.h"
#include "tests/selfupdate/installation.h"
#include "updater/extract.h"
#include "updater/updater.h"

namespace {

const char kWineReason[] = "Running under Wine. Using bundled miniz extractor.";

size_t ThreadsOfThisProcess() {
    UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 thread = {};
    thread.dwSize = sizeof(thread);
    size_t count = 0;
    for (BOOL more = Thread32First(snapshot.get(), &thread); more;
         more = Thread32Next(snapshot.get(), &thread)) {
        count += thread.th32OwnerProcessID == GetCurrentProcessId() ? 1 : 0;
    }
    return count;
}

// The game folder "game" inside a scratch folder is the current directory,
// as in a real update run; the scratch folder around it shows whether
// anything was written outside. Stand-ins for tar and PowerShell sit in a
// system folder of the test's own and record every call.
class ExtractZipTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(CreateDirectoryW(game_.c_str(), nullptr));
        inside_ = std::make_unique<ScopedCurrentDirectory>(game_);
        ASSERT_TRUE(InstallSystemToolStandIns(system_));
        updater_.systemTools = [this] { return FindSystemTools(system_, L""); };
        updater_.onStatus = [this](const std::wstring& text) { texts_.push_back(text); };
        updater_.extractionThreads = TestExtractionThreads();
        UseSystemTools(false);
    }
    void TearDown() override { inside_.reset(); }

    // Off: the built-in reader as under Wine. On: the system tools road,
    // with tools that succeed unless told otherwise.
    void UseSystemTools(bool on) {
        updater_.runsUnderWine = [on] { return !on; };
        Script(L"tar", L"tf", "lines 3 f\n");
        Script(L"tar", L"xvf", "lines 3 f\n");
        Script(L"tar", L"xf", "exit 0\n");
        Script(L"powershell", L"NoProfile", "exit 0\n");
    }
    void FailSystemTools() {
        Script(L"tar", L"tf", "exit 1\n");
        Script(L"tar", L"xf", "exit 1\n");
        Script(L"powershell", L"NoProfile", "exit 1\n");
    }
    void Script(const wchar_t* tool, const wchar_t* mode, const std::string& script) {
        WriteStandInScript(SystemToolFolder(system_, tool), tool, mode, script);
    }
    std::vector<StandInCall> Calls(const wchar_t* tool) const {
        return StandInCalls(SystemToolFolder(system_, tool), tool);
    }
    bool ToolsWereStarted() const {
        return !Calls(L"tar").empty() || !Calls(L"powershell").empty();
    }
    std::string Game(const std::wstring& relative) const {
        return ReadBytes(game_ + L"\\" + relative);
    }

    TempFolder folder_;
    std::wstring game_ = folder_.Child(L"game");
    std::wstring system_ = folder_.Child(L"system32");
    std::unique_ptr<ScopedCurrentDirectory> inside_;
    ScopedEnvironmentVariable path_{L"PATH", L"C:\\windows\\system32;C:\\windows"};
    Updater updater_;
    std::vector<std::wstring> texts_;
};

}  // namespace

TEST_F(ExtractZipTest, BuiltInReaderWritesEveryEntryBelowTheDestination) {
    ASSERT_TRUE(ZipBuilder()
                    .AddFolder("maps/")
                    .AddFile("data/sub/deep/a.dat", "deep")
                    .AddFile("./lead/dot.txt", "dot")
                    .AddFile("/root.txt", "root")
                    .AddFile(".config/x", "config")
                    .AddFile("caf\xE9.txt", "latin-1 name")
                    .AddFile("\xD0\xBA\xD0\xB0\xD1\x80\xD1\x82\xD0\xB0/big.bin",
                             std::string(600 * 1024, 'b'))
                    .WriteTo(L"full.zip"));
    ASSERT_TRUE(WriteBytes(game_ + L"\\root.txt", "an older root file"));
    // What an extraction killed part-way left in a folder it writes to.
    ASSERT_TRUE(CreateDirectoryW((game_ + L"\\data").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((game_ + L"\\data\\sub").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((game_ + L"\\data\\sub\\deep").c_str(), nullptr));
    const std::wstring leftover = game_ + L"\\data\\sub\\deep\\a.dat.~fffffff0-1c.tmp";
    ASSERT_TRUE(WriteBytes(leftover, "partial"));
    updater_.runsUnderWine = IsRunningUnderWine;  // the real check: the tests run under Wine

    ASSERT_TRUE(updater_.ExtractZip(L"full.zip", L"."));
    EXPECT_FALSE(FileExists(leftover));
    EXPECT_EQ(Game(L"data\\sub\\deep\\a.dat"), "deep");
    EXPECT_EQ(Game(L"lead\\dot.txt"), "dot");
    EXPECT_EQ(Game(L"root.txt"), "root");
    EXPECT_EQ(Game(L"config\\x"), "config");
    EXPECT_EQ(Game(L"caf\u00E9.txt"), "latin-1 name");
    EXPECT_EQ(Game(L"\u043A\u0430\u0440\u0442\u0430\\big.bin"), std::string(600 * 1024, 'b'));
    EXPECT_FALSE(updater_.launcherUpdatePending);
    EXPECT_FALSE(ToolsWereStarted());
    EXPECT_EQ(DiaryLines(), (std::vector<std::string>{"Opening archive: full.zip", kWineReason}));
    EXPECT_EQ(texts_.front(), L"Opening archive...");
    EXPECT_EQ(texts_.back(), L"Extraction complete");
}

TEST_F(ExtractZipTest, BuiltInReaderReportsProgressPerEntry) {
    ASSERT_TRUE(ZipBuilder()
                    .AddFile("a", "1")
                    .AddFile("b", "2")
                    .AddFile("c", "3")
                    .AddFile("d", "4")
                    .WriteTo(L"patch.zip"));
    ASSERT_TRUE(updater_.ExtractZip(L"patch.zip", L"."));
    EXPECT_EQ(texts_, (std::vector<std::wstring>{L"Opening archive...", L"Extracting... 0%",
                                                 L"Extracting... 25%", L"Extracting... 50%",
                                                 L"Extracting... 75%", L"Extraction complete"}));

    texts_.clear();
    ASSERT_TRUE(ZipBuilder().WriteTo(L"patch.zip"));  // no entries at all
    EXPECT_TRUE(updater_.ExtractZip(L"patch.zip", L"."));
    EXPECT_EQ(texts_, (std::vector<std::wstring>{L"Opening archive...", L"Extraction complete"}));
}

TEST_F(ExtractZipTest, EachBuildStagesItsLauncherAndSkipsTheOtherBuildsFiles) {
    const struct {
        const VariantNames* names;
        std::vector<std::wstring> staged;
        std::vector<std::wstring> written;
        std::vector<std::wstring> absent;
        std::vector<std::string> skipped;
    } cases[] = {
        {&kX64VariantNames,
         {L"Launcher\\Tessaly.exe"},
         {L"data\\a.dat", L"Selvane.exe"},
         {L"Launcher\\Tessaly.exe", L"x86\\TESSALY WIN7.EXE", L"selvane win7.exe"},
         {"x86\\TESSALY WIN7.EXE", "selvane win7.exe"}},
        {&kWin7VariantNames,
         {L"x86\\TESSALY WIN7.EXE"},
         {L"data\\a.dat", L"selvane win7.exe"},
         {L"Launcher\\Tessaly.exe", L"x86\\TESSALY WIN7.EXE", L"Selvane.exe"},
         {"Launcher\\Tessaly.exe", "Selvane.exe"}},
    };
    ASSERT_TRUE(ZipBuilder()
                    .AddFile("data/a.dat", "a")
                    .AddFile("Launcher/Tessaly.exe", "x64 launcher")
                    .AddFile("x86/TESSALY WIN7.EXE", "win7 launcher")
                    .AddFile("Selvane.exe", "x64 self-updater")
                    .AddFile("selvane win7.exe", "win7 self-updater")
                    .WriteTo(L"full.zip"));
    for (const auto& c : cases) {
        // Leftovers of an earlier hand-off never reach the self-updater.
        const std::wstring leftover = game_ + L"\\_launcher_self_update\\old\\left.dll";
        CreateDirectoryW((game_ + L"\\_launcher_self_update").c_str(), nullptr);
        CreateDirectoryW((game_ + L"\\_launcher_self_update\\old").c_str(), nullptr);
        ASSERT_TRUE(WriteBytes(leftover, "left"));
        TempFolder destination;
        Updater updater;
        updater.extractionThreads = TestExtractionThreads();
        updater.variantNames = c.names;
        updater.runsUnderWine = [] { return false; };  // the archive decides the road
        DeleteFileW(L"updateerror.txt");

        ASSERT_TRUE(updater.ExtractZip(L"full.zip", destination.path()));
        EXPECT_TRUE(updater.launcherUpdatePending);
        for (const std::wstring& name : c.staged) {
            EXPECT_TRUE(FileExists(game_ + L"\\_launcher_self_update\\" + name));
        }
        for (const std::wstring& name : c.written) {
            EXPECT_TRUE(FileExists(destination.Child(name)));
        }
        for (const std::wstring& name : c.absent) {
            EXPECT_FALSE(FileExists(destination.Child(name)));
        }
        std::vector<std::string> log = {
            "Opening archive: " + WideToUtf8(L"full.zip"),
            "Archive contains launcher-managed artifacts. Using miniz filtering path."};
        for (const std::string& name : c.skipped) {
            log.push_back("Skipping incompatible launcher artifact from update package: " + name);
        }
        EXPECT_EQ(DiaryLines(), log);
        EXPECT_FALSE(ToolsWereStarted());
        EXPECT_FALSE(FolderExists(game_ + L"\\_launcher_self_update\\old"));
        ASSERT_TRUE(DeleteFileW((game_ + L"\\_launcher_self_update\\" + c.staged[0]).c_str()));
    }
}

TEST_F(ExtractZipTest, ProgramInUseStopsTheUpdateBeforeAnythingIsWritten) {
    ASSERT_TRUE(InstallStandIn(game_, L"VantoraOnlineClient.exe"));
    const std::string before = Game(L"VantoraOnlineClient.exe");
    ASSERT_TRUE(ZipBuilder()
                    .AddFile("data/a.dat", "a")
                    .AddFile("VantoraOnlineClient.exe", "new client")
                    .WriteTo(L"full.zip"));
    const std::wstring client = game_ + L"\\VantoraOnlineClient.exe";
    for (bool systemTools : {false, true}) {
        UseSystemTools(systemTools);
        texts_.clear();
        HeldProgram running(client);
        ASSERT_TRUE(running.started());
        EXPECT_FALSE(updater_.ExtractZip(L"full.zip", L"."));
        EXPECT_TRUE(updater_.blockedByRunningExecutable);
        EXPECT_EQ(updater_.runningExecutablePath, client);
        EXPECT_EQ(texts_.back(), L"Update stopped. Close the running executable: " + client);
        EXPECT_EQ(DiaryLines().back(),
                  "Update stopped because target executable is running: " + WideToUtf8(client));
        EXPECT_FALSE(FolderExists(game_ + L"\\data"));
        EXPECT_FALSE(FileExists(L"failed_download.zip"));
        EXPECT_FALSE(ToolsWereStarted());
    }

    // Closed: the next attempt clears the flags and writes everything.
    UseSystemTools(false);
    EXPECT_EQ(Game(L"VantoraOnlineClient.exe"), before);
    ASSERT_TRUE(updater_.ExtractZip(L"full.zip", L"."));
    EXPECT_FALSE(updater_.blockedByRunningExecutable);
    EXPECT_TRUE(updater_.runningExecutablePath.empty());
    EXPECT_EQ(Game(L"VantoraOnlineClient.exe"), "new client");
}

TEST_F(ExtractZipTest, ProgramStartedDuringExtractionStopsItAtThatEntry) {
    ASSERT_TRUE(InstallStandIn(game_, L"Corvath.exe"));
    ASSERT_TRUE(ZipBuilder()
                    .AddFile("a.dat", "a")
                    .AddFile("Corvath.exe", "new file-check tool")
                    .AddFile("z.dat", "z")
                    .WriteTo(L"patch.zip"));
    const std::wstring tool = game_ + L"\\Corvath.exe";
    std::unique_ptr<HeldProgram> running;
    updater_.onStatus = [&](const std::wstring& text) {
        texts_.push_back(text);
        if (text == L"Extracting... 0%") {
            running = std::make_unique<HeldProgram>(tool);
        }
    };
    EXPECT_FALSE(updater_.ExtractZip(L"patch.zip", L"."));
    ASSERT_TRUE(running && running->started());
    EXPECT_TRUE(updater_.blockedByRunningExecutable);
    EXPECT_EQ(updater_.runningExecutablePath, tool);
    EXPECT_EQ(texts_.back(), L"Update stopped. Close the running executable: " + tool);
    EXPECT_EQ(Game(L"a.dat"), "a");
    EXPECT_FALSE(FileExists(game_ + L"\\z.dat"));
    EXPECT_FALSE(FileExists(L"failed_download.zip"));
}

TEST_F(ExtractZipTest, ArchivesTheReaderCannotProcessAreKeptAsFailedDownload) {
    const std::string valid = ZipBuilder().AddFile("a.dat", std::string(5000, 'a')).Build();
    std::string damagedEntry = ZipBuilder().Add({"b.dat", std::string(64, 'b'), false}).Build();
    damagedEntry[30 + 5 + 10] ^= 0x55;  // a byte of the stored data: the checksum fails

    const struct {
        const char* name;
        std::string bytes;
        bool systemTools;
        std::vector<std::string> log;
        const wchar_t* status;
    } cases[] = {
        {"truncated",
         valid.substr(0, 100),
         false,
         {"Opening archive: patch.zip",
          "Could not preflight archive for running executables with miniz.", kWineReason,
          "Failed to open zip. Error 2: not a zip archive or archive damaged | File size: 100 "
          "bytes"},
         L"Failed to open zip"},
        {"truncated, system tools",
         valid.substr(0, 100),
         true,
         {"Opening archive: patch.zip",
          "Could not preflight archive for running executables with miniz.",
          "Archive entry paths could not be checked. Skipping native extraction.",
          "Failed to open zip. Error 2: not a zip archive or archive damaged | File size: 100 "
          "bytes"},
         L"Failed to open zip"},
        {"damaged entry",
         damagedEntry,
         false,
         {"Opening archive: patch.zip", kWineReason,
          "Failed to extract file: b.dat | miniz error 5: CRC-32 check failed"},
         L"Failed file: b.dat"},
    };
    for (const auto& c : cases) {
        UseSystemTools(c.systemTools);
        DeleteFileW(L"updateerror.txt");
        DeleteFileW(L"failed_download.zip");
        ASSERT_TRUE(WriteBytes(L"patch.zip", c.bytes));
        EXPECT_FALSE(updater_.ExtractZip(L"patch.zip", L".")) << c.name;
        EXPECT_FALSE(updater_.blockedByRunningExecutable) << c.name;
        EXPECT_EQ(DiaryLines(), c.log) << c.name;
        EXPECT_EQ(texts_.back(), c.status) << c.name;
        EXPECT_EQ(ReadBytes(L"failed_download.zip"), c.bytes) << c.name;
        EXPECT_FALSE(FileExists(game_ + L"\\b.dat")) << c.name;
        EXPECT_FALSE(ToolsWereStarted()) << c.name;
    }

    DeleteFileW(L"updateerror.txt");
    EXPECT_FALSE(updater_.ExtractZip(L"missing.zip", L"."));
    EXPECT_EQ(DiaryLines().back(),
              "Failed to open zip. Error 1: file open failed | Could not query file size.");
}

TEST_F(ExtractZipTest, SystemToolsDoTheWorkUnlessTheyFail) {
    ASSERT_TRUE(ZipBuilder().AddFile("data/a.dat", "a").WriteTo(L"full.zip"));
    // The system's own tools run, never a "tar.exe" in the game folder.
    ASSERT_TRUE(InstallStandIn(game_, L"tar.exe"));
    UseSystemTools(true);
    ASSERT_TRUE(updater_.ExtractZip(L"full.zip", L"."));
    EXPECT_TRUE(StandInCalls(game_, L"tar").empty());
    // The stand-ins write nothing: the built-in reader did not run.
    EXPECT_FALSE(FileExists(game_ + L"\\data\\a.dat"));
    EXPECT_EQ(Calls(L"tar").size(), 2u);
    EXPECT_EQ(texts_.back(), L"Extraction complete");

    FailSystemTools();
    DeleteFileW(L"updateerror.txt");
    ASSERT_TRUE(updater_.ExtractZip(L"full.zip", L"."));
    EXPECT_EQ(Game(L"data\\a.dat"), "a");
    EXPECT_EQ(DiaryLines().back(), "Native extraction failed. Trying miniz fallback.");
    EXPECT_EQ(texts_.back(), L"Extraction complete");
}

TEST_F(ExtractZipTest, EntriesThatLeaveTheirFolderAreRefusedOnEveryRoad) {
    const char kOutside[] = "Refused archive entry that points outside the destination folder: ";
    const char kLink[] = "Refused archive entry that is a link: ";
    ZipBuilder::Entry unixLink{"data/cache", "C:/Windows/System32/", false};
    unixLink.madeBy = 3 << 8 | 20;
    unixLink.extraAttributes = 0120777u << 16;
    ZipBuilder::Entry reparsePoint{"data/cache", "", false};
    reparsePoint.extraAttributes = 0x400;
    const char kBadName[] =
        "Refused archive entry with a NUL, control character or colon in its name: ";
    const struct {
        ZipBuilder::Entry entry;
        const char* log;
        const char* shown = nullptr;  // the name in the diary and the status, when not as stored
    } refused[] = {
        {{"../evil.txt", "outside"}, kOutside},
        {{"data/../../evil.txt", "outside"}, kOutside},
        {{"data\\..\\..\\evil.txt", "outside"}, kOutside},
        {{"C:/evil.txt", "outside"}, kOutside},
        {{"//server/share/evil.txt", "outside"}, kOutside},
        {{"../Tessaly.exe", "outside"},
         kOutside},  // the staged launcher stays in the staging folder
        {{"sub/../../evil/", "", false, true}, kOutside},  // tar would create the folder
        // A link left in the game folder would take a later archive's
        // files wherever it points.
        {unixLink, kLink},
        {reparsePoint, kLink},
        // Windows ends a name at a NUL, takes a colon for a stream and has no
        // control characters in names: the other build's launcher, a program
        // that dodges the running-program check, a stream of a launcher file.
        {{std::string("Tessaly Win7.exe\0", 17), "other build"}, kBadName, "Tessaly Win7.exe\\x00"},
        {{std::string("VantoraOnlineClient.exe\0.dat", 28), "client"},
         kBadName,
         "VantoraOnlineClient.exe\\x00.dat"},
        {{"Tessaly.exe:x", "stream"}, kBadName},
        {{"data/a\tb.dat", "tab"}, kBadName, "data/a\\x09b.dat"},
    };
    // The system tools, the built-in reader under Wine, and the built-in
    // reader for an archive that carries a launcher program.
    enum Road { kTools, kWine, kLauncherFiles };
    for (Road road : {kTools, kWine, kLauncherFiles}) {
        for (const auto& c : refused) {
            const std::string shown = c.shown != nullptr ? c.shown : c.entry.name;
            const std::string label = shown + " (road " + std::to_string(road) + ")";
            UseSystemTools(road != kWine);
            DeleteFileW(L"updateerror.txt");
            DeleteFileW(L"failed_download.zip");
            texts_.clear();
            ZipBuilder builder;
            builder.AddFile("data/first.dat", "first");
            if (road == kLauncherFiles) {
                builder.AddFile("Tessaly.exe", "launcher");
            }
            ASSERT_TRUE(builder.Add(c.entry).WriteTo(L"full.zip"));

            EXPECT_FALSE(updater_.ExtractZip(L"full.zip", L".")) << label;
            EXPECT_FALSE(updater_.blockedByRunningExecutable) << label;
            EXPECT_EQ(texts_.back(), L"Failed file: " + ArchiveNameToWide(shown)) << label;
            EXPECT_EQ(DiaryLines(),
                      (std::vector<std::string>{"Opening archive: full.zip", c.log + shown}))
                << label;
            EXPECT_EQ(ReadBytes(L"failed_download.zip"), ReadBytes(L"full.zip")) << label;
            EXPECT_FALSE(FolderExists(game_ + L"\\data")) << label;
            EXPECT_FALSE(FolderExists(game_ + L"\\_launcher_self_update")) << label;
            EXPECT_FALSE(ToolsWereStarted()) << label;
            // The scratch folder around the game folder holds nothing else.
            EXPECT_FALSE(FileExists(folder_.Child(L"evil.txt"))) << label;
            EXPECT_FALSE(FolderExists(folder_.Child(L"evil"))) << label;
            EXPECT_FALSE(FileExists(folder_.Child(L"Tessaly.exe"))) << label;
            EXPECT_FALSE(FileExists(game_ + L"\\Tessaly Win7.exe")) << label;
            EXPECT_FALSE(FileExists(game_ + L"\\VantoraOnlineClient.exe")) << label;
        }
    }
}

TEST_F(ExtractZipTest, BuiltInReaderStreamsEntriesToDisk) {
    const uint32_t size = 96u * 1024 * 1024;
    ASSERT_TRUE(WriteZeroFilledEntryArchive(L"full.zip", "data/huge.bin", size));
    PROCESS_MEMORY_COUNTERS before = {};
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof(before)));

    ASSERT_TRUE(updater_.ExtractZip(L"full.zip", L"."));
    PROCESS_MEMORY_COUNTERS after = {};
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof(after)));
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ASSERT_TRUE(GetFileAttributesExW(L"data\\huge.bin", GetFileExInfoStandard, &data));
    EXPECT_EQ(data.nFileSizeLow, size);
    // The peak grows by far less than the entry: it never sits in memory whole.
    EXPECT_LT(after.PeakWorkingSetSize, before.PeakWorkingSetSize + 32u * 1024 * 1024);
}

// Entries go to several writer threads; what a player sees must not depend
// on how many.
TEST_F(ExtractZipTest, AnyNumberOfWriterThreadsWritesTheSameFilesInOrder) {
    ZipBuilder builder;
    for (int i = 0; i < 40; ++i) {
        ZipBuilder::Entry entry{"data/" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".dat",
                                std::string(1000 + 37 * i, static_cast<char>('a' + i % 26)),
                                i != 24};  // stored, so that its bytes can be damaged
        entry.dosTime = static_cast<uint16_t>(0x6000 + i % 30);  // two seconds apart
        builder.Add(entry);
        if (i == 10) {
            // The same file to Windows twice: the later entry wins, though
            // the earlier one takes longer to write.
            builder.AddFile("data/dup.dat", std::string(4 << 20, 'x'));
            builder.AddFile("DATA/Dup.dat", "second");
        }
    }
    ASSERT_TRUE(builder.WriteTo(L"full.zip"));
    std::string damaged = builder.AddFile("data/z.dat", "z").Build();
    const size_t at = damaged.find("data/3/f24.dat");  // a middle entry's stored bytes
    ASSERT_NE(at, std::string::npos);
    damaged[at + 14 + 100] ^= 0x55;
    ASSERT_TRUE(WriteBytes(L"damaged.zip", damaged));

    // Whichever thread writes an entry, the texts come in archive order.
    std::vector<std::wstring> expected;
    for (int i = 0; i < 42; ++i) {
        expected.push_back(L"Extracting... " + std::to_wstring(i * 100 / 42) + L"%");
    }
    expected.push_back(L"Extraction complete");
    std::vector<uint64_t> written[2];
    const unsigned threads[] = {1, 4};
    for (int run = 0; run < 2; ++run) {
        TempFolder destination;
        updater_.extractionThreads = threads[run];
        texts_.clear();
        size_t mostThreads = 0;
        updater_.onStatus = [&](const std::wstring& text) {
            texts_.push_back(text);
            mostThreads = std::max(mostThreads, ThreadsOfThisProcess());
        };
        const size_t threadsBefore = ThreadsOfThisProcess();
        ASSERT_TRUE(updater_.ExtractZip(L"full.zip", destination.path())) << threads[run];
        EXPECT_EQ(std::vector<std::wstring>(texts_.begin() + 1, texts_.end()), expected);
        // The calling thread writes too: one thread fewer is started.
        EXPECT_EQ(mostThreads - threadsBefore, threads[run] - 1);
        EXPECT_EQ(ReadBytes(destination.Child(L"data\\dup.dat")), "second");
        for (int i = 0; i < 40; ++i) {
            const std::wstring file = destination.Child(L"data\\" + std::to_wstring(i % 7) +
                                                        L"\\f" + std::to_wstring(i) + L".dat");
            EXPECT_EQ(ReadBytes(file).size(), 1000u + 37 * i) << i;
            WIN32_FILE_ATTRIBUTE_DATA data = {};
            GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data);
            written[run].push_back(static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime)
                                       << 32 |
                                   data.ftLastWriteTime.dwLowDateTime);
        }

        // A damaged middle entry: the texts stop before it, it is the one
        // reported, and the files before it are whole.
        texts_.clear();
        DeleteFileW(L"failed_download.zip");
        ASSERT_FALSE(updater_.ExtractZip(L"damaged.zip", destination.path())) << threads[run];
        ASSERT_EQ(texts_.size(), 1u + 26 + 1);
        EXPECT_EQ(texts_[26], L"Extracting... " + std::to_wstring(25 * 100 / 43) + L"%");
        EXPECT_EQ(texts_.back(), L"Failed file: data\\3\\f24.dat");
        EXPECT_EQ(DiaryLines().back(),
                  "Failed to extract file: data\\3\\f24.dat | miniz error 5: CRC-32 check failed");
        EXPECT_EQ(ReadBytes(L"failed_download.zip"), damaged);
        EXPECT_EQ(ReadBytes(destination.Child(L"data\\3\\f24.dat")).size(), 1000u + 37 * 24)
            << "the earlier file stays as it was";
        if (threads[run] == 1) {
            EXPECT_FALSE(FileExists(destination.Child(L"data\\z.dat")));
        }
    }
    EXPECT_EQ(written[0], written[1]) << "modification times";
}

// Folders are made through the same form as the files below them: a folder
// "data " (the plain form drops the blank) holds its file.
TEST_F(ExtractZipTest, FoldersAreMadeAsTheirFilesAreNamed) {
    ASSERT_TRUE(ZipBuilder().AddFile("data /x.dat", "blank").WriteTo(L"full.zip"));
    ASSERT_TRUE(updater_.ExtractZip(L"full.zip", L"."));
    EXPECT_EQ(ReadBytes(L"\\\\?\\" + game_ + L"\\data \\x.dat"), "blank");
}

// Two entries that name one file: the later one wins on any number of
// writer threads, even while the earlier one's write is held back for as
// long as the later one could overtake it.
TEST_F(ExtractZipTest, TheLaterOfTwoEntriesForOneFileWinsOnAnyNumberOfThreads) {
    ASSERT_TRUE(ZipBuilder()
                    .AddFile("data/Case.dat", "earlier")
                    .AddFile("DATA/case.DAT", "later")
                    .AddFile("data/dots.dat", "earlier")
                    .AddFile("data/dots.dat. .", "later")
                    .WriteTo(L"full.zip"));
    for (unsigned threads : {1u, 2u, 4u}) {
        TempFolder destination;
        updater_.extractionThreads = threads;
        std::mutex mutex;
        std::condition_variable changed;
        std::vector<int> written;
        updater_.entryWriteHook = [&](int index, bool done) {
            std::unique_lock<std::mutex> lock(mutex);
            if (done) {
                written.push_back(index);
                changed.notify_all();
            } else if (index % 2 == 0) {
                changed.wait_for(lock, std::chrono::milliseconds(300), [&] {
                    return std::count(written.begin(), written.end(), index + 1) != 0;
                });
            }
        };
        ASSERT_TRUE(updater_.ExtractZip(L"full.zip", destination.path()));
        EXPECT_EQ(ReadBytes(destination.Child(L"data\\case.dat")), "later") << threads;
        EXPECT_EQ(ReadBytes(destination.Child(L"data\\dots.dat")), "later") << threads;
    }
}

// An exception while an archive is written or planned fails that archive,
// as a damaged one does, and never ends the program.
TEST_F(ExtractZipTest, AnExceptionFailsTheArchiveInsteadOfTheProgram) {
    ASSERT_TRUE(
        ZipBuilder().AddFile("data/a.dat", "a").AddFile("data/b.dat", "b").WriteTo(L"full.zip"));
    updater_.extractionThreads = TestExtractionThreads() == 1 ? 1 : 2;
    updater_.entryWriteHook = [](int index, bool) {
        if (index == 1) {
            throw std::runtime_error("out of handles");
        }
    };
    EXPECT_FALSE(updater_.ExtractZip(L"full.zip", L"."));
    EXPECT_EQ(texts_.back(), L"Failed file: data\\b.dat");
    const auto diary = DiaryLines();
    EXPECT_NE(std::find(diary.begin(), diary.end(), "Internal error: out of handles"), diary.end());

    updater_.entryWriteHook = nullptr;
    updater_.runsUnderWine = []() -> bool { throw std::runtime_error("no answer"); };
    DeleteFileW(L"failed_download.zip");
    EXPECT_FALSE(updater_.ExtractZip(L"full.zip", L"."));
    EXPECT_EQ(DiaryLines().back(), "Internal error: no answer");
    EXPECT_EQ(texts_.back(), L"Failed to open zip");
    EXPECT_EQ(ReadBytes(L"failed_download.zip"), ReadBytes(L"full.zip"));
}

// A folder of the game folder that is a link (a junction a standard user
// put there) is never written through, on either road; a staging folder
// that is a link goes as a link, and what it points to stays.
TEST_F(ExtractZipTest, LinksInTheGameFolderAreNeverFollowed) {
    const std::wstring elsewhere = folder_.Child(L"elsewhere");
    ASSERT_TRUE(CreateDirectoryW(elsewhere.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(elsewhere + L"\\keep.txt", "keep"));
    ASSERT_TRUE(CreateDirectoryW((game_ + L"\\data").c_str(), nullptr));
    ASSERT_TRUE(MakeFolderLink(game_ + L"\\data\\maps", elsewhere));
    ASSERT_TRUE(ZipBuilder().AddFile("data/maps/x.dat", "x").WriteTo(L"full.zip"));
    for (bool tools : {false, true}) {
        UseSystemTools(tools);
        EXPECT_FALSE(updater_.ExtractZip(L"full.zip", L".")) << tools;
        EXPECT_EQ(DiaryLines().back(),
                  "Refused to write through a link: " + WideToUtf8(game_ + L"\\data\\maps"));
        EXPECT_EQ(texts_.back(), L"Failed file: data/maps/x.dat");
        EXPECT_FALSE(FileExists(elsewhere + L"\\x.dat"));
        EXPECT_FALSE(ToolsWereStarted());
    }
    ASSERT_TRUE(RemoveFolderLink(game_ + L"\\data\\maps"));

    const std::wstring staging = game_ + L"\\_launcher_self_update";
    ASSERT_TRUE(MakeFolderLink(staging, elsewhere));
    UseSystemTools(false);
    ASSERT_TRUE(ZipBuilder()
                    .AddFile(WideToUtf8(updater_.variantNames->launcherProgram), "new launcher")
                    .WriteTo(L"patch.zip"));
    updater_.ExtractZip(L"patch.zip", L".");
    EXPECT_EQ(ReadBytes(elsewhere + L"\\keep.txt"), "keep");
    EXPECT_FALSE(FileExists(elsewhere + L"\\" + updater_.variantNames->launcherProgram));
    RemoveFolderLink(staging);
}

// A role belongs to the file a name resolves to: the other build's launcher
// named by its short name is skipped, not written over.
TEST_F(ExtractZipTest, RolesComeFromTheFileANameResolvesTo) {
    const std::wstring installed = game_ + L"\\" + Utf8ToWide(updater_.variantNames->skipped[0]);
    ASSERT_TRUE(WriteBytes(installed, "installed"));
    wchar_t shortPath[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(installed.c_str(), shortPath, MAX_PATH), 0u);
    const std::string shortName = WideToUtf8(wcsrchr(shortPath, L'\\') + 1);
    if (shortName.find('~') == std::string::npos) {
        GTEST_SKIP() << "this file system gives no short names";
    }
    ASSERT_TRUE(ZipBuilder().AddFile(shortName, "planted").WriteTo(L"full.zip"));

    ASSERT_TRUE(updater_.ExtractZip(L"full.zip", L"."));
    EXPECT_EQ(ReadBytes(installed), "installed");
    EXPECT_EQ(DiaryLines().back(),
              "Skipping incompatible launcher artifact from update package: " + shortName);
}
