#include <gtest/gtest.h>
#include <windows.h>
#include <GL/glu.h>

#include <string>
#include <vector>

#include "common/system_dlls.h"
#include "tests/support/temp_folder.h"
#include "updater/updater.h"

// glu32.dll, delay-loaded through the programs' hook, comes from the system folder though the DLL
// directory, searched first, holds a file of its name (Wine takes it when told to), and keeps
// floating-point arguments the thunk would lose. The restricted search skips the current folder.
TEST(SystemDlls, LoadsLeaveOutTheFoldersSearchedBeforeTheSystemFolder) {
    ASSERT_EQ(GetModuleHandleW(L"glu32.dll"), nullptr);
    TempFolder folder;
    const std::wstring glu = folder.Child(L"glu32.dll"), other = folder.Child(L"planted.dll");
    ASSERT_TRUE(CopyFileW(VANTORA_DLL_LOAD_MARKER_PATH, glu.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(VANTORA_DLL_LOAD_MARKER_PATH, other.c_str(), FALSE));
    const wchar_t overrides[] = L"Software\\Wine\\DllOverrides", fileFirst[] = L"native,builtin";
    if (IsRunningUnderWine()) {
        RegSetKeyValueW(HKEY_CURRENT_USER, overrides, L"glu32", REG_SZ, fileFirst,
                        sizeof(fileFirst));
    }
    SetDllDirectoryW(folder.path().c_str());
    EXPECT_NE(gluErrorString(GLU_INVALID_ENUM), nullptr);
    SetDllDirectoryW(nullptr);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, overrides, L"glu32");
    EXPECT_FALSE(FileExists(glu + L".loaded"));
    const GLdouble identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const GLint viewport[4] = {0, 0, 2, 2};
    GLdouble x = 0, y = 0, z = 0;
    ASSERT_TRUE(gluProject(0.5, 0.25, -0.5, identity, identity, viewport, &x, &y, &z));
    EXPECT_EQ((std::vector<GLdouble>{x, y, z}), (std::vector<GLdouble>{1.5, 1.25, 0.25}));

    ScopedCurrentDirectory current(folder.path());
    RestrictDllSearchToSystemFolder();
    EXPECT_EQ(LoadLibraryW(L"planted.dll"), nullptr);
    EXPECT_FALSE(FileExists(other + L".loaded"));
}
