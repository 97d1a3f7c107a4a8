#include "common/path.h"

#include <gtest/gtest.h>

#include "common/text.h"
#include "tests/support/temp_folder.h"

namespace {

std::wstring CurrentDirectory() {
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    return current;
}

}  // namespace

TEST(Path, FullPathsAreAbsoluteOrTheInputAtAnyLength) {
    TempFolder folder;
    ScopedCurrentDirectory inside(folder.path());
    const std::wstring current = CurrentDirectory();
    EXPECT_EQ(GetFullPath(L"."), current);
    EXPECT_EQ(GetFullPath(L"sub\\x.txt"), current + L"\\sub\\x.txt");
    EXPECT_EQ(GetFullPath(L"a\\..\\b"), current + L"\\b");
    EXPECT_EQ(GetFullPath(L""), L"");
    // Past 260 units the path is made whole, not cut.
    const std::wstring deep = std::wstring(300, L'd') + L"\\x.txt";
    EXPECT_EQ(GetFullPath(deep), current + L"\\" + deep);
    EXPECT_EQ(ExtendedLengthPath(deep), L"\\\\?\\" + current + L"\\" + deep);
}

TEST(Path, NormalizesOnlyFullyQualifiedPaths) {
    struct Case {
        const wchar_t* input;
        const wchar_t* normalized;  // nullptr: refused
    };
    const Case cases[] = {
        {L"C:\\Games\\Vantora", L"C:\\Games\\Vantora"},
        {L"C:\\Games\\Vantora\\\\", L"C:\\Games\\Vantora"},
        {L"C:/Games/Vantora/", L"C:\\Games\\Vantora"},
        {L"C:\\Games\\x\\..\\Vantora\\.", L"C:\\Games\\Vantora"},
        {L"D:", L"D:\\"},
        {L"D:\\", L"D:\\"},
        {L"\\\\server\\share\\Vantora", L"\\\\server\\share\\Vantora"},
        {L"Vantora", nullptr},
        {L".\\Vantora", nullptr},
        {L"C:Vantora", nullptr},
        {L"\\Games\\Vantora", nullptr},
        {L"", nullptr},
    };
    for (const Case& c : cases) {
        std::wstring normalized;
        const bool accepted = NormalizeAbsolutePath(c.input, normalized);
        EXPECT_EQ(accepted, c.normalized != nullptr) << WideToUtf8(c.input);
        if (accepted && c.normalized != nullptr) {
            EXPECT_EQ(normalized, c.normalized) << WideToUtf8(c.input);
        }
    }
}

TEST(Path, InsideMeansStrictlyBelowWithoutRegardToCase) {
    struct Case {
        const wchar_t* path;
        const wchar_t* folder;
        bool inside;
    };
    const Case cases[] = {
        {L"C:\\Games\\Vantora\\Tessaly.exe", L"C:\\Games\\Vantora", true},
        {L"c:\\GAMES\\vantora\\sub\\x", L"C:\\Games\\Vantora", true},
        {L"C:\\Games\\Vantora", L"C:\\Games\\Vantora", false},
        {L"C:\\Games\\Vantora2\\x", L"C:\\Games\\Vantora", false},
        {L"C:\\Games", L"C:\\Games\\Vantora", false},
        {L"D:\\Tessaly.exe", L"D:\\", true},
        {L"D:\\", L"D:\\", false},
        {L"E:\\Tessaly.exe", L"D:\\", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsInsideFolder(c.path, c.folder), c.inside)
            << WideToUtf8(c.path) << " in " << WideToUtf8(c.folder);
    }
}

TEST(Path, FolderOfAFileAndOfTheRunningProgramHasOneTrailingBackslash) {
    struct Case {
        const wchar_t* program;
        const wchar_t* folder;
    };
    const Case cases[] = {
        {L"C:\\Games\\Vantora\\Tessaly.exe", L"C:\\Games\\Vantora\\"},
        {L"C:\\Tessaly.exe", L"C:\\"},
        {L"\\\\server\\share\\game\\Tessaly Win7.exe", L"\\\\server\\share\\game\\"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FolderOf(c.program), c.folder);
    }
    EXPECT_EQ(FolderOf(L"Tessaly.exe"), L"");
    EXPECT_TRUE(FileExists(ModuleFolder() + L"launcher_tests.exe"));
}
