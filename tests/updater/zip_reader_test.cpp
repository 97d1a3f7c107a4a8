#include "updater/zip_reader.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "common/text.h"
#include "updater/file_replace.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_builder.h"

namespace {

class ZipReaderTest : public ::testing::Test {
  protected:
    // A folder whose name is not ASCII, so every path below it is not either.
    TempFolder folder_{L"-\u0434\u0430\u043D\u043D\u044B\u0435-\u00E9"};

    std::string Utf8(const std::wstring& path) const { return WideToUtf8(path); }
};

// Names of the files in a folder.
std::vector<std::wstring> FolderNames(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            names.push_back(data.cFileName);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

uint64_t LastWriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 |
           data.ftLastWriteTime.dwLowDateTime;
}

// 2024-<month>-15 10:30:20 local time as a UTC file time, with the offset
// of the zone's daylight or standard time on that day (mid-month, clear of
// the changes).
uint64_t ExpectedUtc(const TIME_ZONE_INFORMATION& zone, WORD month) {
    const WORD from = zone.DaylightDate.wMonth;
    const WORD to = zone.StandardDate.wMonth;
    const bool daylight =
        from != 0 && (from < to ? month > from && month < to : month > from || month < to);
    const LONG biasMinutes = zone.Bias + (daylight ? zone.DaylightBias : zone.StandardBias);
    SYSTEMTIME local = {};
    local.wYear = 2024;
    local.wMonth = month;
    local.wDay = 15;
    local.wHour = 10;
    local.wMinute = 30;
    local.wSecond = 20;
    FILETIME asIfUtc = {};
    SystemTimeToFileTime(&local, &asIfUtc);
    const uint64_t ticks =
        static_cast<uint64_t>(asIfUtc.dwHighDateTime) << 32 | asIfUtc.dwLowDateTime;
    return ticks + static_cast<int64_t>(biasMinutes) * 60 * 10000000;
}

}  // namespace

TEST_F(ZipReaderTest, ListsEntriesOfAnArchiveAtANonAsciiPath) {
    ZipBuilder builder;
    builder.AddFile("data/a.dat", "alpha")
        .AddFolder("data/sub/")
        .AddFile("\xD0\xBA\xD0\xB0\xD1\x80\xD1\x82\xD0\xB0.map", std::string(100000, 'm'));
    ZipBuilder::Entry folderByAttribute;
    folderByAttribute.name = "maps";
    folderByAttribute.deflate = false;
    folderByAttribute.directoryAttribute = true;
    builder.Add(folderByAttribute);
    const std::wstring archive = folder_.Child(L"\u0430\u0440\u0445\u0438\u0432.zip");
    ASSERT_TRUE(builder.WriteTo(archive));

    ZipReader reader;
    ASSERT_TRUE(reader.Open(Utf8(archive))) << ZipErrorText(reader.TakeLastError());
    ASSERT_EQ(reader.EntryCount(), 4);

    ZipEntryStat stat;
    // Visit out of order: the reader finds entries by index either way.
    ASSERT_TRUE(reader.GetEntryStat(2, stat));
    EXPECT_EQ(stat.name, "\xD0\xBA\xD0\xB0\xD1\x80\xD1\x82\xD0\xB0.map");
    EXPECT_FALSE(stat.isDirectory);
    EXPECT_EQ(stat.uncompressedSize, 100000u);
    EXPECT_LT(stat.compressedSize, 100000u);
    ASSERT_TRUE(reader.GetEntryStat(0, stat));
    EXPECT_EQ(stat.name, "data/a.dat");
    EXPECT_FALSE(stat.isDirectory);
    ASSERT_TRUE(reader.GetEntryStat(1, stat));
    EXPECT_TRUE(stat.isDirectory);  // trailing slash
    ASSERT_TRUE(reader.GetEntryStat(3, stat));
    EXPECT_EQ(stat.name, "maps");
    EXPECT_TRUE(stat.isDirectory);  // DOS directory attribute

    EXPECT_FALSE(reader.GetEntryStat(4, stat));
    EXPECT_EQ(reader.TakeLastError(), kZipInvalidParameter);
    EXPECT_EQ(reader.TakeLastError(), kZipOk);  // taken and cleared
}

TEST_F(ZipReaderTest, ExtractsEntriesReplacingFilesAndKeepingTheirTime) {
    ZipBuilder::Entry stored;
    stored.name = "stored.txt";
    stored.data = "stored bytes";
    stored.deflate = false;
    stored.dosDate = (2024 - 1980) << 9 | 7 << 5 | 15;  // 2024-07-15
    stored.dosTime = 10 << 11 | 30 << 5 | 20 / 2;       // 10:30:20
    ZipBuilder::Entry winter = stored;
    winter.name = "winter.txt";
    winter.dosDate = (2024 - 1980) << 9 | 1 << 5 | 15;  // 2024-01-15
    ZipBuilder builder;
    builder.Add(stored).AddFile("big.bin", std::string(3 * 1024 * 1024, 'z') + "end").Add(winter);
    const std::wstring archive = folder_.Child(L"full.zip");
    ASSERT_TRUE(builder.WriteTo(archive));
    const std::wstring target = folder_.Child(L"\u00E9t\u00E9.txt");
    ASSERT_TRUE(WriteBytes(target, "an older and longer version of the file"));
    // A game file whose name is the target's plus a suffix is no scratch file.
    ASSERT_TRUE(WriteBytes(target + L".partial", "a game file"));

    ZipReader reader;
    ASSERT_TRUE(reader.Open(Utf8(archive)));
    ASSERT_TRUE(reader.ExtractToFile(0, target));
    ASSERT_TRUE(reader.ExtractToFile(1, folder_.Child(L"big.bin")));
    reader.Close();

    EXPECT_EQ(ReadBytes(target), "stored bytes");
    EXPECT_EQ(ReadBytes(folder_.Child(L"big.bin")), std::string(3 * 1024 * 1024, 'z') + "end");
    EXPECT_EQ(ReadBytes(target + L".partial"), "a game file");
    EXPECT_EQ(FolderNames(folder_.path()).size(), 4u);  // nothing left beside them

    // Each entry's local time is taken with the offset in force on its own
    // date, whatever the offset is today.
    ASSERT_TRUE(reader.Open(Utf8(archive)));
    ASSERT_TRUE(reader.ExtractToFile(2, folder_.Child(L"winter.txt")));
    TIME_ZONE_INFORMATION zone = {};
    ASSERT_NE(GetTimeZoneInformation(&zone), TIME_ZONE_ID_INVALID);
    if (GetEnvironmentVariableW(L"VANTORA_EXPECT_DAYLIGHT_SAVING", nullptr, 0) != 0) {
        ASSERT_NE(zone.DaylightDate.wMonth, 0) << "the run's time zone has no daylight saving";
        ASSERT_NE(zone.DaylightBias, zone.StandardBias);
    }
    EXPECT_EQ(LastWriteTime(target), ExpectedUtc(zone, 7));
    EXPECT_EQ(LastWriteTime(folder_.Child(L"winter.txt")), ExpectedUtc(zone, 1));
}

TEST_F(ZipReaderTest, DamagedEntryLeavesTheExistingFileAsItWas) {
    ZipBuilder::Entry entry;
    entry.name = "client.dat";
    entry.data = std::string(5000, 'c');
    entry.deflate = false;
    std::string bytes = ZipBuilder().Add(entry).Build();
    // Flip one byte of the stored data: the checksum no longer matches.
    const size_t dataStart = 30 + entry.name.size();
    bytes[dataStart + 100] = 'X';
    const std::wstring archive = folder_.Child(L"patch.zip");
    ASSERT_TRUE(WriteBytes(archive, bytes));
    const std::wstring target = folder_.Child(L"client.dat");
    ASSERT_TRUE(WriteBytes(target, "good old data"));

    ZipReader reader;
    ASSERT_TRUE(reader.Open(Utf8(archive)));
    EXPECT_FALSE(reader.ExtractToFile(0, target));
    EXPECT_EQ(reader.TakeLastError(), kZipCrcMismatch);
    EXPECT_EQ(ReadBytes(target), "good old data");
    EXPECT_EQ(FolderNames(folder_.path()).size(), 2u);  // the archive and the target
}

TEST_F(ZipReaderTest, OutputThatCannotBeCreatedOrReplacedIsReported) {
    const std::wstring archive = folder_.Child(L"a.zip");
    ASSERT_TRUE(ZipBuilder().AddFile("a.txt", "new").WriteTo(archive));
    ZipReader reader;
    ASSERT_TRUE(reader.Open(Utf8(archive)));
    EXPECT_FALSE(reader.ExtractToFile(0, folder_.Child(L"no-such-folder\\a.txt")));
    EXPECT_EQ(reader.TakeLastError(), kZipFileCreateFailed);
    EXPECT_STREQ(ZipErrorText(kZipFileCreateFailed), "file create failed");

    // Another program holds the target without delete sharing, so it cannot
    // be replaced: a running program (no write sharing either) for good, a
    // scanner that lets writers in, or either only for a moment.
    struct Case {
        const wchar_t* name;
        DWORD sharing;
        bool letsGo;
        bool extracted;
    };
    const Case cases[] = {
        {L"running.exe", FILE_SHARE_READ, false, false},
        {L"scanned.dat", FILE_SHARE_READ | FILE_SHARE_WRITE, false, true},
        {L"indexed.dat", FILE_SHARE_READ, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.name));
        const std::wstring target = folder_.Child(c.name);
        ASSERT_TRUE(WriteBytes(target, "old contents"));
        UniqueFile holder(CreateFileW(target.c_str(), GENERIC_READ, c.sharing, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder);
        std::thread release;
        if (c.letsGo) {
            // Lets go shortly after the reader has its verified copy ready.
            release = std::thread([&] {
                const DWORD start = GetTickCount();
                while (FolderNames(folder_.path()).size() < 3 && GetTickCount() - start < 5000) {
                    Sleep(5);
                }
                Sleep(50);
                holder.reset();
            });
        }
        const bool extracted = reader.ExtractToFile(0, target);
        const int error = reader.TakeLastError();
        if (release.joinable()) {
            release.join();
        }
        holder.reset();
        EXPECT_EQ(extracted, c.extracted);
        EXPECT_EQ(error, c.extracted ? kZipOk : kZipFileReplaceFailed);
        EXPECT_EQ(ReadBytes(target), c.extracted ? "new" : "old contents");
        EXPECT_EQ(FolderNames(folder_.path()).size(), 2u) << "left beside the target";
        DeleteFileW(target.c_str());
    }
}

TEST_F(ZipReaderTest, TruncatedMissingAndForeignFilesDoNotOpen) {
    const std::string full = ZipBuilder().AddFile("a.txt", std::string(4000, 'a')).Build();
    const std::wstring truncated = folder_.Child(L"truncated.zip");
    ASSERT_TRUE(WriteBytes(truncated, full.substr(0, full.size() / 2)));
    const std::wstring text = folder_.Child(L"notes.txt");
    ASSERT_TRUE(WriteBytes(text, "this is not an archive"));
    const std::wstring empty = folder_.Child(L"empty.zip");
    ASSERT_TRUE(WriteBytes(empty, ""));

    ZipReader reader;
    for (const std::wstring& path : {truncated, text, empty}) {
        EXPECT_FALSE(reader.Open(Utf8(path)));
        EXPECT_EQ(reader.TakeLastError(), kZipInvalidArchive);
    }
    EXPECT_FALSE(reader.Open(Utf8(folder_.Child(L"missing.zip"))));
    EXPECT_EQ(reader.TakeLastError(), kZipFileOpenFailed);
    // A sound archive that another program holds exclusively is not damaged.
    const std::wstring locked = folder_.Child(L"locked.zip");
    ASSERT_TRUE(WriteBytes(locked, full));
    {
        UniqueFile holder(CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder);
        EXPECT_FALSE(reader.Open(Utf8(locked)));
        EXPECT_EQ(reader.TakeLastError(), kZipFileOpenFailed);
    }
    EXPECT_STREQ(ZipErrorText(kZipFileOpenFailed), "file open failed");
    EXPECT_STRNE(ZipErrorText(kZipInvalidArchive), ZipErrorText(kZipFileOpenFailed));

    // Nothing open: every query is refused cleanly.
    ZipEntryStat stat;
    EXPECT_EQ(reader.EntryCount(), 0);
    EXPECT_FALSE(reader.GetEntryStat(0, stat));
    EXPECT_EQ(reader.TakeLastError(), kZipInvalidParameter);
}

// An end record may claim any count; one that claims more entries than its
// directory can hold marks a damaged archive, whatever memory the count
// would take.
TEST_F(ZipReaderTest, ACountBeyondWhatTheDirectoryHoldsDoesNotOpen) {
    const std::wstring archive = folder_.Child(L"count.zip");
    ZipBuilder builder;
    builder.AddFile("a.txt", "a").AddFile("b.txt", "b");
    ZipReader reader;
    ASSERT_TRUE(builder.ClaimEntries(2).WriteTo(archive));
    ASSERT_TRUE(reader.Open(Utf8(archive)));
    EXPECT_EQ(reader.EntryCount(), 2);
    reader.Close();
    for (uint64_t claimed : {3ull, 0x7FFFFFFFull, 0x100000000ull}) {
        ASSERT_TRUE(builder.ClaimEntries(claimed).WriteTo(archive));
        EXPECT_FALSE(reader.Open(Utf8(archive))) << claimed;
        EXPECT_EQ(reader.TakeLastError(), kZipInvalidArchive);
    }
}

TEST_F(ZipReaderTest, ArchiveWithoutEntriesOpensEmpty) {
    const std::wstring archive = folder_.Child(L"none.zip");
    ASSERT_TRUE(ZipBuilder().WriteTo(archive));
    ZipReader reader;
    ASSERT_TRUE(reader.Open(Utf8(archive)));
    EXPECT_EQ(reader.EntryCount(), 0);
}

TEST_F(ZipReaderTest, ScratchFilesWorkBeyondThePlainPathLimitAndLeftoversOfDeadRunsGo) {
    // A target whose full path is 255 units: its scratch name passes 260,
    // which a plain path cannot reach on Windows.
    std::wstring folder = folder_.path();
    while (folder.size() < 255 - 60) {
        folder += L"\\" + std::wstring(std::min<size_t>(40, 255 - 60 - folder.size()), L'f');
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    }
    const std::wstring target = folder + L"\\" + std::wstring(255 - folder.size() - 1, L't');
    ASSERT_EQ(target.size(), 255u);
    std::wstring scratch;
    {
        UniqueFile file = CreateTempFileBeside(target, scratch);
        ASSERT_TRUE(file);
    }
    EXPECT_GE(scratch.size(), 260u);
    EXPECT_EQ(scratch.compare(0, 4, L"\\\\?\\"), 0) << WideToUtf8(scratch);
    ASSERT_TRUE(DeleteFileW(scratch.c_str()));
    const std::wstring archive = folder_.Child(L"long.zip");
    ASSERT_TRUE(ZipBuilder().AddFile("t", "long").WriteTo(archive));
    ZipReader reader;
    ASSERT_TRUE(reader.Open(Utf8(archive)));
    ASSERT_TRUE(reader.ExtractToFile(0, target));
    EXPECT_EQ(ReadBytes(L"\\\\?\\" + target), "long");

    // Scratch files of a process that no longer runs go; those of a running
    // one (this process) and every other name stay.
    wchar_t live[64];
    swprintf(live, 64, L"b.dat.~%lx-9.tmp", GetCurrentProcessId());
    const std::vector<std::wstring> gone = {L"a.dat.~fffffff0-3.tmp",
                                            L"version.txt.~FFFFFFF4-0.tmp"};
    const std::vector<std::wstring> kept = {live, L"keep.~zz-1.tmp", L"x.~fffffff0-1.tmp.bak",
                                            L".~fffffff0-1.tmp", L"c.~fffffff0.tmp"};
    for (const auto* names : {&gone, &kept}) {
        for (const std::wstring& name : *names) {
            ASSERT_TRUE(WriteBytes(folder_.Child(name), "x"));
        }
    }
    RemoveLeftoverScratchFiles(folder_.path(), L"a.dat");
    EXPECT_FALSE(FileExists(folder_.Child(gone[0])));
    EXPECT_TRUE(FileExists(folder_.Child(gone[1]))) << "another file's scratch file";
    RemoveLeftoverScratchFiles(folder_.path());
    EXPECT_FALSE(FileExists(folder_.Child(gone[1])));
    for (const std::wstring& name : kept) {
        EXPECT_TRUE(FileExists(folder_.Child(name))) << WideToUtf8(name);
    }
}
