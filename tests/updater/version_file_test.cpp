#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "common/win_handle.h"
#include "tests/support/temp_folder.h"
#include "updater/updater.h"

namespace {

class VersionFile : public ::testing::Test {
  protected:
    TempFolder folder_;
    ScopedCurrentDirectory cwd_{folder_.path()};
};

}  // namespace

TEST_F(VersionFile, MissingFileReadsAsZeroAndEmptyFileAsEmpty) {
    EXPECT_EQ(ReadVersionFile(), "0");
    ASSERT_TRUE(WriteBytes(L"version.txt", ""));
    EXPECT_EQ(ReadVersionFile(), "");
    ASSERT_TRUE(WriteBytes(L"version.txt", " \r\n\t "));
    EXPECT_EQ(ReadVersionFile(), "");
}

TEST_F(VersionFile, ReadsTheFirstTokenOnly) {
    ASSERT_TRUE(WriteBytes(L"version.txt", "\r\n  1710000500\r\nsecond line"));
    EXPECT_EQ(ReadVersionFile(), "1710000500");

    // The dotted stamp of an older installation, compared with package stamps.
    ASSERT_TRUE(WriteBytes(L"version.txt", "1.2.3"));
    const int64_t recorded = ParseVersionNumber(ReadVersionFile());
    EXPECT_EQ(recorded, 10203);
    EXPECT_TRUE(10204 > recorded);
    EXPECT_FALSE(10203 > recorded);
}

TEST_F(VersionFile, WriteReplacesTheWholeFileAtOnceOrNotAtAll) {
    ASSERT_TRUE(WriteBytes(L"version.txt", "99999999999 and more text"));
    // A scratch stamp left by a launcher killed while writing goes.
    ASSERT_TRUE(WriteBytes(L"version.txt.~fffffff0-2.tmp", "18"));
    WriteVersionFile("17");
    EXPECT_EQ(ReadBytes(L"version.txt"), "17");
    EXPECT_FALSE(FileExists(L"version.txt.~fffffff0-2.tmp"));
    EXPECT_EQ(ReadVersionFile(), "17");
    WriteVersionFile("-5");
    EXPECT_EQ(ReadVersionFile(), "-5");

    // Whoever reads the stamp while it is being written sees the old or the
    // new one, never an empty file (what a crash or a full disk would keep).
    ASSERT_TRUE(WriteBytes(L"version.txt", "1700000000"));
    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::atomic<int> emptyReads{0};
    std::thread reader([&] {
        while (!done) {
            Sleep(1);  // lets the writer replace the file between reads
            UniqueFile file(CreateFileW(L"version.txt", GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            char bytes[32];
            DWORD read = 0;
            if (file && ReadFile(file.get(), bytes, sizeof(bytes), &read, nullptr) && read == 0) {
                ++emptyReads;
            }
            ++reads;
        }
    });
    int recorded = 0;
    for (int i = 1; i <= 200; ++i) {
        recorded += WriteVersionFile(std::to_string(1700000000 + i)) ? 1 : 0;
    }
    done = true;
    reader.join();
    EXPECT_GT(reads, 0);
    EXPECT_EQ(emptyReads, 0) << "of " << reads << " reads";
    EXPECT_GT(recorded, 0);
    EXPECT_EQ(ParseVersionNumber(ReadVersionFile()) > 1700000000, true);

    // A stamp file that cannot be replaced keeps its stamp, and no scratch
    // file stays behind.
    ASSERT_TRUE(WriteBytes(L"version.txt", "1710000500"));
    ASSERT_TRUE(SetFileAttributesW(L"version.txt", FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(WriteVersionFile("1720000000"));
    EXPECT_EQ(ReadVersionFile(), "1710000500");
    SetFileAttributesW(L"version.txt", FILE_ATTRIBUTE_NORMAL);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(L"*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    int files = 0;
    do {
        files += (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    EXPECT_EQ(files, 1);
}

TEST(VersionNumber, DottedVersionsOfOlderInstallations) {
    EXPECT_EQ(ParseVersionNumber("1.2.3"), 10203);
    EXPECT_EQ(ParseVersionNumber("2.5"), 20500);
    EXPECT_EQ(ParseVersionNumber("3."), 30000);
    EXPECT_EQ(ParseVersionNumber("1..3"), 10000);  // the scan stops at the empty part
    EXPECT_EQ(ParseVersionNumber("a.b"), 0);
    EXPECT_EQ(ParseVersionNumber("1.2.3.4"), 10203);
    EXPECT_EQ(ParseVersionNumber("-1.2.3"), -10000 + 200 + 3);
    // A dotted stamp compares with package stamps as one number.
    EXPECT_LT(ParseVersionNumber("1.2.3"), 10204);
    EXPECT_FALSE(ParseVersionNumber("1.2.3") < 10203);
}

TEST(VersionNumber, PlainStampsConvertLikeADecimalInteger) {
    EXPECT_EQ(ParseVersionNumber(""), 0);
    EXPECT_EQ(ParseVersionNumber("0"), 0);
    EXPECT_EQ(ParseVersionNumber("1710000500"), 1710000500);
    EXPECT_EQ(ParseVersionNumber("  +42abc"), 42);
    EXPECT_EQ(ParseVersionNumber("-7"), -7);
    EXPECT_EQ(ParseVersionNumber("abc"), 0);
    EXPECT_EQ(ParseVersionNumber("99999999999999999999999"), INT64_MAX);
    EXPECT_EQ(ParseVersionNumber("-99999999999999999999999"), INT64_MIN);
}
