#include "updater/zip_reader.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "common/text.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_builder.h"

namespace {

class ZipReaderTest : public ::testing::Test {
  protected:
    // A folder whose name is not ASCII, so every path below it is not either.
    TempFolder folder_{L"-\u0434\u0430\u043D\u043D\u044B\u0435-\u00E9"};

    std::string Utf8(const std::wstring& path) const { return WideToUtf8(path); }
};

FILETIME LastWriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
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
    stored.dosDate = (2024 - 1980) << 9 | 3 << 5 | 15;  // 2024-03-15
    stored.dosTime = 10 << 11 | 30 << 5 | 20 / 2;       // 10:30:20
    ZipBuilder builder;
    builder.Add(stored).AddFile("big.bin", std::string(3 * 1024 * 1024, 'z') + "end");
    const std::wstring archive = folder_.Child(L"full.zip");
    ASSERT_TRUE(builder.WriteTo(archive));
    const std::wstring target = folder_.Child(L"\u00E9t\u00E9.txt");
    ASSERT_TRUE(WriteBytes(target, "an older and longer version of the file"));

    ZipReader reader;
    ASSERT_TRUE(reader.Open(Utf8(archive)));
    ASSERT_TRUE(reader.ExtractToFile(0, target));
    ASSERT_TRUE(reader.ExtractToFile(1, folder_.Child(L"big.bin")));
    reader.Close();
    EXPECT_FALSE(reader.IsOpen());

    EXPECT_EQ(ReadBytes(target), "stored bytes");
    EXPECT_EQ(ReadBytes(folder_.Child(L"big.bin")), std::string(3 * 1024 * 1024, 'z') + "end");
    EXPECT_FALSE(FileExists(target + L".partial"));

    // The entry's local time, read back with the offset of its own date.
    FILETIME utc = LastWriteTime(target);
    SYSTEMTIME utcTime;
    SYSTEMTIME time;
    ASSERT_TRUE(FileTimeToSystemTime(&utc, &utcTime));
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &time));
    EXPECT_EQ(time.wYear, 2024);
    EXPECT_EQ(time.wMonth, 3);
    EXPECT_EQ(time.wDay, 15);
    EXPECT_EQ(time.wHour, 10);
    EXPECT_EQ(time.wMinute, 30);
    EXPECT_EQ(time.wSecond, 20);
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
    EXPECT_FALSE(FileExists(target + L".partial"));
}

TEST_F(ZipReaderTest, OutputThatCannotBeCreatedOrReplacedIsReported) {
    const std::wstring archive = folder_.Child(L"a.zip");
    ASSERT_TRUE(ZipBuilder().AddFile("a.txt", "new").WriteTo(archive));
    ZipReader reader;
    ASSERT_TRUE(reader.Open(Utf8(archive)));
    EXPECT_FALSE(reader.ExtractToFile(0, folder_.Child(L"no-such-folder\\a.txt")));
    EXPECT_EQ(reader.TakeLastError(), kZipFileCreateFailed);
    EXPECT_STREQ(ZipErrorText(kZipFileCreateFailed), "file create failed");

    // A file held open without delete sharing (a running program, say) stays
    // as it is, and nothing is left beside it.
    const std::wstring target = folder_.Child(L"in-use.exe");
    ASSERT_TRUE(WriteBytes(target, "running"));
    {
        UniqueFile holder(CreateFileW(target.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder);
        EXPECT_FALSE(reader.ExtractToFile(0, target));
        EXPECT_EQ(reader.TakeLastError(), kZipFileReplaceFailed);
    }
    EXPECT_EQ(ReadBytes(target), "running");
    EXPECT_FALSE(FileExists(target + L".partial"));
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
        EXPECT_FALSE(reader.IsOpen());
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

TEST_F(ZipReaderTest, ArchiveWithoutEntriesOpensEmpty) {
    const std::wstring archive = folder_.Child(L"none.zip");
    ASSERT_TRUE(ZipBuilder().WriteTo(archive));
    ZipReader reader;
    ASSERT_TRUE(reader.Open(Utf8(archive)));
    EXPECT_EQ(reader.EntryCount(), 0);
}
