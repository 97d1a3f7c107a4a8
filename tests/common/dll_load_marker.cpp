#include <windows.h>

#include <cwchar>

#include "common/win_handle.h"

// Leaves an empty file "<its own path>.loaded" when loaded: the tests put
// copies, named as system DLLs, where no program may load those from.
BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*) {
    wchar_t path[MAX_PATH + 8] = {};
    if (reason == DLL_PROCESS_ATTACH && GetModuleFileNameW(self, path, MAX_PATH) < MAX_PATH) {
        UniqueFile marker(CreateFileW(std::wcscat(path, L".loaded"), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, 0, nullptr));
    }
    return TRUE;
}
