#include "common/update_log.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/win_handle.h"
#include "tests/support/temp_folder.h"
#include "tests/support/diary_lines.h"

namespace {

class UpdateLogTest : public ::testing::Test {
  protected:
    TempFolder folder_;
    ScopedCurrentDirectory cwd_{folder_.path()};
};

}  // namespace

TEST_F(UpdateLogTest, CreatesTheFileAndStampsEachLineWithTheLocalTime) {
    ASSERT_FALSE(FileExists(L"updateerror.txt"));
    SYSTEMTIME before;
    GetLocalTime(&before);
    LogUpdate(L"Download finished. Bytes=%llu", 12345ULL);
    SYSTEMTIME after;
    GetLocalTime(&after);

    const std::string text = ReadBytes(L"updateerror.txt");
    ASSERT_GE(text.size(), 11u);
    // "[hh:mm:ss] " with two digits each, taken from the local clock.
    const int hour = std::stoi(text.substr(1, 2));
    const int minute = std::stoi(text.substr(4, 2));
    const int second = std::stoi(text.substr(7, 2));
    const int stamp = hour * 3600 + minute * 60 + second;
    const int low = before.wHour * 3600 + before.wMinute * 60 + before.wSecond;
    const int high = after.wHour * 3600 + after.wMinute * 60 + after.wSecond;
    if (low <= high) {  // not across midnight
        EXPECT_GE(stamp, low);
        EXPECT_LE(stamp, high);
    }
    EXPECT_EQ(text.substr(0, 1), "[");
    EXPECT_EQ(text.substr(9, 2), "] ");
    EXPECT_EQ(text.substr(11), "Download finished. Bytes=12345\r\n");
}

TEST(UpdateLogPrefix, PadsHourMinuteAndSecondToTwoDigits) {
    SYSTEMTIME time = {};
    time.wHour = 9;
    time.wMinute = 5;
    time.wSecond = 3;
    EXPECT_EQ(FormatLogPrefix(time), L"[09:05:03] ");
    time.wHour = 23;
    time.wMinute = 59;
    time.wSecond = 0;
    EXPECT_EQ(FormatLogPrefix(time), L"[23:59:00] ");
}

TEST_F(UpdateLogTest, AppendsAfterLinesOfEarlierRuns) {
    ASSERT_TRUE(WriteBytes(L"updateerror.txt", "[01:02:03] from an earlier run\r\n"));
    LogUpdate(L"Download start: %s -> %s", L"https://host/ClientUpdates/manifest.json",
              L"manifest.json");
    LogUpdate(L"Download returned HTTP status %lu", 404UL);
    const auto lines = DiaryLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "from an earlier run");
    EXPECT_EQ(lines[1],
              "Download start: https://host/ClientUpdates/manifest.json -> manifest.json");
    EXPECT_EQ(lines[2], "Download returned HTTP status 404");
}

TEST_F(UpdateLogTest, StoresWideAndUtf8ArgumentsAsUtf8) {
    // %s takes UTF-16, %S takes the UTF-8 bytes of an archive entry name.
    LogUpdate(L"Opening archive: %s", L"\u0434\u0430\u043D\u043D\u044B\u0435.zip");
    LogUpdate(L"Skipping incompatible launcher artifact from update package: %S",
              "\xD0\xB4\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5\\Tessaly Win7.exe");
    const auto lines = DiaryLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Opening archive: \xD0\xB4\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5.zip");
    EXPECT_EQ(lines[1],
              "Skipping incompatible launcher artifact from update package: "
              "\xD0\xB4\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5\\Tessaly Win7.exe");
    // No byte order mark in front of the first line.
    EXPECT_EQ(ReadBytes(L"updateerror.txt").substr(0, 1), "[");
}

TEST_F(UpdateLogTest, FormatsEveryKindOfValueTheDiaryUses) {
    LogUpdate(L"Writing download failed. Win32=%lu Written=%lu Expected=%lu", 112UL, 0UL, 8192UL);
    LogUpdate(L"Download size mismatch. Expected=%llu Received=%llu", 5000000000ULL, 17ULL);
    LogUpdate(L"Failed to extract file: %s | miniz error %d: %S", L"data\\a.dat", -5,
              "CRC-32 check failed");
    LogUpdate(L"100%% done, %.1f KB/s, %c", 12.345, L'x');
    // Past a conversion it cannot size, no argument is taken for the wrong one.
    LogUpdate(L"%d|%hd|%p|%d", 7, 3, nullptr, 9);
    const auto lines = DiaryLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Writing download failed. Win32=112 Written=0 Expected=8192");
    EXPECT_EQ(lines[1], "Download size mismatch. Expected=5000000000 Received=17");
    EXPECT_EQ(lines[2],
              "Failed to extract file: data\\a.dat | miniz error -5: CRC-32 check failed");
    EXPECT_EQ(lines[3], "100% done, 12.3 KB/s, x");
    EXPECT_EQ(lines[4], "7|%hd|%p|%d");
}

TEST_F(UpdateLogTest, DropsTheLineWhenTheFileCannotBeOpened) {
    ASSERT_TRUE(WriteBytes(L"updateerror.txt", "[01:02:03] from an earlier run\r\n"));
    {
        // Another program holds the diary without sharing it.
        UniqueFile holder(CreateFileW(L"updateerror.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder);
        LogUpdate(L"Download finished. Bytes=%llu", 1ULL);
    }
    // The line is gone, not kept for later nor written anywhere else; the
    // next one goes in as usual.
    LogUpdate(L"Download finished. Bytes=%llu", 2ULL);
    EXPECT_EQ(DiaryLines(),
              (std::vector<std::string>{"from an earlier run", "Download finished. Bytes=2"}));
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(L"*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    std::vector<std::wstring> names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            names.push_back(data.cFileName);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    EXPECT_EQ(names, std::vector<std::wstring>{L"updateerror.txt"});

    // A folder of that name: nothing to write into, and nothing breaks.
    ASSERT_TRUE(DeleteFileW(L"updateerror.txt"));
    ASSERT_TRUE(CreateDirectoryW(L"updateerror.txt", nullptr));
    LogUpdate(L"Download finished. Bytes=%llu", 3ULL);
    EXPECT_TRUE(FolderExists(L"updateerror.txt"));
}
