#include "common/system_dlls.h"

#include <cstring>
#include <string>

// MinGW-w64's <delayimp.h> declares the notification hook writable, MSVC's
// declares it const as it is defined below: MinGW-w64's declaration goes
// under another name.
#if defined(__MINGW32__)
#define __pfnDliNotifyHook2 mingw_writable_notify_hook
#endif
#include <delayimp.h>
#if defined(__MINGW32__)
#undef __pfnDliNotifyHook2
// MinGW-w64's header also leaves out the helper that the delay-import
// thunks call (libmingwex has it).
extern "C" FARPROC WINAPI __delayLoadHelper2(PCImgDelayDescr descriptor, FARPROC* entry);
#endif

namespace {

// The DLL that the delay-load helper has just loaded on this thread, until
// the call that loaded it has been bound.
thread_local PCImgDelayDescr loadedDll = nullptr;

// Binds every function that the program imports from the DLL at once.
// binutils' x86-64 delay-import thunk keeps the integer argument registers
// across the helper but not xmm0-xmm3, so the first call of a function
// through it can lose its floating-point arguments (GDI+ takes many). Bound
// when the DLL is loaded, only that first call of the DLL passes through the
// thunk; for each DLL the programs use, it takes no floating-point argument
// (GDI+'s is GdiplusStartup).
void BindAllFunctions(const DelayLoadInfo& info) {
    HMODULE program = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(info.pidd), &program)) {
        return;
    }
    auto* entry = reinterpret_cast<FARPROC*>(reinterpret_cast<BYTE*>(program) + info.pidd->rvaIAT);
    for (; *entry != nullptr; ++entry) {
        __delayLoadHelper2(info.pidd, entry);
    }
}

FARPROC WINAPI NotifyDelayLoad(unsigned notification, PDelayLoadInfo info) {
    if (notification == dliNotePreLoadLibrary) {
        const std::wstring name(info->szDll, info->szDll + std::strlen(info->szDll));
        const HMODULE module = LoadSystemDll(name.c_str());
        if (module == nullptr) {
            // The helper would look for the DLL by name next, in the
            // program's folder first: fail as it fails when no load works.
            info->dwLastError = GetLastError();
            const ULONG_PTR argument = reinterpret_cast<ULONG_PTR>(info);
            RaiseException(VcppException(ERROR_SEVERITY_ERROR, ERROR_MOD_NOT_FOUND), 0, 1,
                           &argument);
        }
        loadedDll = info->pidd;
        return reinterpret_cast<FARPROC>(module);
    }
    if (notification == dliNoteEndProcessing && info->pidd == loadedDll) {
        loadedDll = nullptr;
        BindAllFunctions(*info);
    }
    return nullptr;
}

}  // namespace

// The delay-load helper (MSVC's and libmingwex's alike) calls the hook of
// this name, when there is one, before it loads a DLL and around each
// function it binds.
extern "C" const PfnDliHook __pfnDliNotifyHook2 = NotifyDelayLoad;

void RestrictDllSearchToSystemFolder() {
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const auto setDefaultDllDirectories =
        reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefaultDllDirectories == nullptr ||
        !setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        SetDllDirectoryW(L"");
    }
}

HMODULE LoadSystemDll(const wchar_t* fileName) {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    const std::wstring path = std::wstring(folder, length) + L'\\' + fileName;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
