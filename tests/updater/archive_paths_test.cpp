#include "updater/archive_paths.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "tests/support/temp_folder.h"

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
