#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Fills buffer with the running program's full file name the way
// GetModuleFileNameW(nullptr, buffer, size) does and returns the same value
// (0 on failure, size when the name was cut short).
using ModuleFileNameFunction = std::function<DWORD(wchar_t* buffer, DWORD size)>;

// GetModuleFileNameW of the running program.
DWORD SystemModuleFileName(wchar_t* buffer, DWORD size);

// The folder of the running program with a trailing backslash: the program's
// file name (read into 260 units) without its last component.
std::wstring GetModuleFolder(const ModuleFileNameFunction& moduleFileName = SystemModuleFileName);
