#include "common/text.h"

#include <gtest/gtest.h>

TEST(TextConversion, RoundTripsNonAsciiText) {
    // "Привет, ☃ 😀" in UTF-8: Cyrillic, a BMP symbol and a surrogate pair.
    const std::string utf8 =
        "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xE2\x98\x83 \xF0\x9F\x98\x80";
    const std::wstring wide = Utf8ToWide(utf8);
    EXPECT_EQ(wide, L"\u041F\u0440\u0438\u0432\u0435\u0442, \u2603 \U0001F600");
    EXPECT_EQ(WideToUtf8(wide), utf8);
}

TEST(TextConversion, EmptyAndAsciiInputs) {
    EXPECT_EQ(Utf8ToWide(""), L"");
    EXPECT_EQ(Utf8ToWide("abc"), L"abc");
    EXPECT_EQ(WideToUtf8(L""), "");
    // Embedded NUL bytes are part of the text, not its end.
    EXPECT_EQ(Utf8ToWide(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
}

TEST(TextConversion, InvalidUtf8IsSubstitutedNotDropped) {
    const std::wstring wide = Utf8ToWide(
        "a\xFF"
        "b");
    ASSERT_EQ(wide.size(), 3u);
    EXPECT_EQ(wide[0], L'a');
    EXPECT_EQ(wide[2], L'b');
}

TEST(TextConversion, AsciiLowerTouchesOnlyAsciiLetters) {
    EXPECT_EQ(AsciiLower("TESSALY Win7.EXE"), "tessaly win7.exe");
    // UTF-8 bytes of "Ä" stay as they are.
    EXPECT_EQ(AsciiLower("\xC3\x84Z"), "\xC3\x84z");
}

TEST(TextConversion, ArchiveNamesDecodeAsUtf8OrFallBackPerByte) {
    EXPECT_EQ(ArchiveNameToWide(""), L"");
    EXPECT_EQ(ArchiveNameToWide("data/\xD0\xBA\xD0\xB0.map"), L"data/\u043A\u0430.map");
    // "é" stored as one Latin-1 byte is not UTF-8. Both the ANSI code pages
    // of a Western system and the per-byte fallback give U+00E9.
    EXPECT_EQ(ArchiveNameToWide("caf\xE9.txt"), L"caf\u00E9.txt");
    // A byte sequence that is invalid everywhere still gives one unit per byte.
    const std::wstring wide = ArchiveNameToWide("a\xC3(b");
    EXPECT_EQ(wide.size(), 4u);
    EXPECT_EQ(wide.front(), L'a');
    EXPECT_EQ(wide.back(), L'b');
}
