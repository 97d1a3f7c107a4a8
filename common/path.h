#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Paths of the file system, shared by the launcher and the self-updater.

bool IsPathSeparator(wchar_t c);

// The absolute form of path from GetFullPathNameW (the buffer grows as the
// path needs, so long paths are never cut); path itself when the system
// cannot make one.
std::wstring GetFullPath(const std::wstring& path);

// The extended-length form ("\\?\C:\...", "\\?\UNC\server\...") of path made
// absolute, which the file functions take beyond 260 units; a path already
// in that form, or a device path, stays as it is.
std::wstring ExtendedLengthPath(const std::wstring& path);

// The extended-length form of a path that is already full ("C:\...",
// "\\server\...") and nothing else: a trailing blank or dot of its last
// component, which GetFullPathNameW would drop, stays.
std::wstring ExtendedFullPath(const std::wstring& fullPath);

// path without the separators at its end.
std::wstring WithoutTrailingSeparators(std::wstring path);

// Turns a fully qualified path ("C:\...", "C:/...", "\\server\share\...")
// into its canonical form: backslashes, "." and ".." resolved, no trailing
// separator except after a drive root. A bare drive ("D:") is taken as the
// root of that drive, which is how the launcher names an installation at a
// drive root. Relative and drive-relative paths are refused.
bool NormalizeAbsolutePath(const std::wstring& path, std::wstring& normalized);

// True when both normalized paths name the same item (ASCII and Unicode
// letters compared without regard to case, as the file system does).
bool SamePath(const std::wstring& a, const std::wstring& b);

// True when the normalized path lies strictly below the normalized folder.
bool IsInsideFolder(const std::wstring& path, const std::wstring& folder);

// folder + "\" + relative, without doubling a separator at a drive root.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& relative);

// The folder part of a path ("" for a bare name).
std::wstring ParentFolder(const std::wstring& path);

// The folder of the file at path with one trailing backslash
// ("C:\Games\Tessaly.exe" gives "C:\Games\", "C:\Tessaly.exe" "C:\");
// empty for a bare name.
std::wstring FolderOf(const std::wstring& path);

// Fills buffer with the running program's full file name the way
// GetModuleFileNameW(nullptr, buffer, size) does and returns the same value
// (0 on failure, size when the name was cut short).
using ModuleFileNameFunction = std::function<DWORD(wchar_t* buffer, DWORD size)>;

// GetModuleFileNameW of the running program.
DWORD SystemModuleFileName(wchar_t* buffer, DWORD size);

// The running program's full file name, read into a buffer that grows until
// the name fits; empty when it cannot be read.
std::wstring ModulePath(const ModuleFileNameFunction& moduleFileName = SystemModuleFileName);

// The folder of the running program: FolderOf(ModulePath()).
std::wstring ModuleFolder(const ModuleFileNameFunction& moduleFileName = SystemModuleFileName);
