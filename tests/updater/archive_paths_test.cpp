#include "updater/archive_paths.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "tests/support/temp_folder.h"

namespace {

std::wstring CurrentDirectory() {
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    return current;
}

}  // namespace

TEST(ArchivePaths, QuotesArgumentsForTarAndPowerShell) {
    struct Case {
        const wchar_t* text;
        const wchar_t* argument;
        const wchar_t* literal;
    };
    const Case cases[] = {
        {L"C:\\Games\\Vantora Online\\full.zip", L"\"C:\\Games\\Vantora Online\\full.zip\"",
         L"'C:\\Games\\Vantora Online\\full.zip'"},
        {L"say \"hi\"", L"\"say \\\"hi\\\"\"", L"'say \"hi\"'"},
        {L"C:\\Bob's game", L"\"C:\\Bob's game\"", L"'C:\\Bob''s game'"},
        {L"''", L"\"''\"", L"''''''"},
        {L"", L"\"\"", L"''"},
        // A trailing backslash is left as it is.
        {L"C:\\dir\\", L"\"C:\\dir\\\"", L"'C:\\dir\\'"},
        // PowerShell ends a literal at the typographic single quotes too.
        {L"C:\\O\u2019Neil", L"\"C:\\O\u2019Neil\"", L"'C:\\O\u2019\u2019Neil'"},
        {L"\u2018\u201A\u201B'", L"\"\u2018\u201A\u201B'\"",
         L"'\u2018\u2018\u201A\u201A\u201B\u201B'''"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(QuoteArgument(c.text), c.argument) << c.text;
        EXPECT_EQ(QuotePowerShellLiteral(c.text), c.literal) << c.text;
    }
}

TEST(ArchivePaths, NormalizesStoredNamesToRelativeWindowsPaths) {
    const struct {
        const char* stored;
        const char* normalized;
    } cases[] = {
        {"./data/a.dat", "data\\a.dat"},
        {"/x", "x"},
        {".config/x", "config\\x"},
        {"data/sub/a.dat", "data\\sub\\a.dat"},
        {"data\\sub\\a.dat", "data\\sub\\a.dat"},
        {"//server/share/x", "server\\share\\x"},
        {"data/../../x", "data\\..\\..\\x"},  // refused elsewhere, not here
        {"./", ""},
        {"a.dat", "a.dat"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NormalizeEntryPath(c.stored), c.normalized) << c.stored;
    }
}

TEST(ArchivePaths, FullPathsAreAbsoluteOrTheInput) {
    TempFolder folder;
    ScopedCurrentDirectory inside(folder.path());
    const std::wstring current = CurrentDirectory();
    EXPECT_EQ(GetFullPath(L"."), current);
    EXPECT_EQ(GetFullPath(L"sub\\x.txt"), current + L"\\sub\\x.txt");
    EXPECT_EQ(GetFullPath(L"a\\..\\b"), current + L"\\b");
    EXPECT_EQ(GetFullPath(L""), L"");
}

TEST(ArchivePaths, CreatesTheFoldersAboveAnEntryButNotTheEntry) {
    TempFolder folder;
    ScopedCurrentDirectory inside(folder.path());
    CreateParentFolders("data\\sub\\a.dat");
    CreateParentFolders("./lib/x.dll");
    CreateParentFolders("d\xE9/f.txt");  // not UTF-8
    CreateParentFolders("top.txt");
    EXPECT_TRUE(FolderExists(folder.Child(L"data")));
    EXPECT_TRUE(FolderExists(folder.Child(L"data\\sub")));
    EXPECT_FALSE(FolderExists(folder.Child(L"data\\sub\\a.dat")));
    EXPECT_FALSE(FileExists(folder.Child(L"data\\sub\\a.dat")));
    EXPECT_TRUE(FolderExists(folder.Child(L"lib")));
    EXPECT_TRUE(FolderExists(folder.Child(L"d\u00E9")));
    EXPECT_FALSE(FolderExists(folder.Child(L"top.txt")));
}

TEST(ArchivePaths, TellsEntryNamesThatReachOutsideTheirFolder) {
    const struct {
        const char* stored;
        bool unsafe;
    } cases[] = {
        {"data/a.dat", false},
        {"./data/a.dat", false},
        {"/x", false},
        {".config/x", false},
        {"data/..x/y", false},
        {"a..b/c", false},
        {"data/sub/", false},
        {"../x", true},
        {"./../x", true},
        {"data/../../x", true},
        {"data\\..\\x", true},
        {"a/b/..", true},
        {"data/.. /x", true},
        {"C:/Windows/system32/x.exe", true},
        {"c:x", true},
        {"/C:/x", true},
        {"//server/share/x", true},
        {"\\\\server\\share\\x", true},
        {"\\\\?\\C:\\x", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsUnsafeEntryName(c.stored), c.unsafe) << c.stored;
    }
}
