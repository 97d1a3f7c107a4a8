#include <gtest/gtest.h>

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
}

TEST_F(VersionFile, WriteReplacesTheWholeFileWithoutLineEnd) {
    ASSERT_TRUE(WriteBytes(L"version.txt", "99999999999 and more text"));
    WriteVersionFile("17");
    EXPECT_EQ(ReadBytes(L"version.txt"), "17");
    EXPECT_EQ(ReadVersionFile(), "17");
    WriteVersionFile("-5");
    EXPECT_EQ(ReadVersionFile(), "-5");
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
