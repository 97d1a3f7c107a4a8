#pragma once

#include <windows.h>

// The launcher and the self-updater run from the game folder with
// administrator rights, and Windows looks for a DLL in a program's own folder
// before the system folder, unless the DLL is one of its KnownDLLs. Both
// programs import KnownDLLs alone and load every other system DLL from the
// system folder by its full path: the ones they link through delay-import
// libraries (cmake/DelayImports.cmake) through the delay-load hook of
// system_dlls.cpp, the first time one of their functions is called; the
// others through LoadSystemDll.

// Limits the DLL search of the whole process to the system folder
// (SetDefaultDllDirectories, which Windows 7 has only with update
// KB2533623), or, where that is missing, takes the current folder out of it.
// Both programs call it first thing.
void RestrictDllSearchToSystemFolder();

// Loads the DLL of that file name from the system folder by its full path;
// the DLLs it imports are looked for in the system folder first. nullptr
// when it cannot be loaded.
HMODULE LoadSystemDll(const wchar_t* fileName);
