#include "common/path.h"

#include <windows.h>

#include <vector>

namespace {

bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool EqualIgnoringCase(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength) {
    return CompareStringOrdinal(a, static_cast<int>(aLength), b, static_cast<int>(bLength), TRUE) ==
           CSTR_EQUAL;
}

// The absolute form of path; false when GetFullPathNameW cannot make one.
bool TryFullPath(const std::wstring& path, std::wstring& full) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()),
                                              buffer.data(), nullptr);
        if (length == 0) {
            return false;
        }
        if (length < buffer.size()) {
            full.assign(buffer.data(), length);
            return true;
        }
        buffer.resize(length + 1);
    }
}

}  // namespace

bool IsPathSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::wstring GetFullPath(const std::wstring& path) {
    std::wstring full;
    return TryFullPath(path, full) ? full : path;
}

std::wstring ExtendedLengthPath(const std::wstring& path) {
    if (path.compare(0, 4, L"\\\\?\\") == 0 || path.compare(0, 4, L"\\\\.\\") == 0) {
        return path;
    }
    return ExtendedFullPath(GetFullPath(path));
}

std::wstring ExtendedFullPath(const std::wstring& fullPath) {
    if (fullPath.compare(0, 4, L"\\\\?\\") == 0 || fullPath.compare(0, 4, L"\\\\.\\") == 0) {
        return fullPath;
    }
    if (fullPath.compare(0, 2, L"\\\\") == 0) {
        return L"\\\\?\\UNC\\" + fullPath.substr(2);
    }
    return L"\\\\?\\" + fullPath;
}

std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (!path.empty() && IsPathSeparator(path.back())) {
        path.pop_back();
    }
    return path;
}

bool NormalizeAbsolutePath(const std::wstring& path, std::wstring& normalized) {
    if (path.find(L'\0') != std::wstring::npos) {
        return false;
    }
    std::wstring input = path;
    const bool drive = input.size() >= 2 && IsDriveLetter(input[0]) && input[1] == L':';
    const bool unc = input.size() >= 3 && IsPathSeparator(input[0]) && IsPathSeparator(input[1]) &&
                     !IsPathSeparator(input[2]);
    if (drive && input.size() == 2) {
        input += L'\\';
    } else if (!(drive && IsPathSeparator(input[2])) && !unc) {
        return false;
    }
    if (!TryFullPath(input, normalized)) {
        return false;
    }
    // Keep "C:\" whole; strip separators after anything longer.
    while (normalized.size() > 3 && IsPathSeparator(normalized.back())) {
        normalized.pop_back();
    }
    return true;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return EqualIgnoringCase(a.c_str(), a.size(), b.c_str(), b.size());
}

bool IsInsideFolder(const std::wstring& path, const std::wstring& folder) {
    if (folder.empty() || path.size() <= folder.size()) {
        return false;
    }
    if (!EqualIgnoringCase(path.c_str(), folder.size(), folder.c_str(), folder.size())) {
        return false;
    }
    // "C:\" ends in a separator itself; any other folder needs one next.
    return IsPathSeparator(folder.back()) || IsPathSeparator(path[folder.size()]);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& relative) {
    if (folder.empty()) {
        return relative;
    }
    if (IsPathSeparator(folder.back())) {
        return folder + relative;
    }
    return folder + L"\\" + relative;
}

std::wstring ParentFolder(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash) + L'\\';
}

DWORD SystemModuleFileName(wchar_t* buffer, DWORD size) {
    return GetModuleFileNameW(nullptr, buffer, size);
}

std::wstring ModulePath(const ModuleFileNameFunction& moduleFileName) {
    // Windows paths end at 32767 units; a name that never fits is not read.
    for (DWORD units = MAX_PATH; units <= 65536; units *= 2) {
        std::vector<wchar_t> buffer(units);
        const DWORD length = moduleFileName(buffer.data(), units);
        if (length == 0) {
            break;
        }
        if (length < units) {
            return std::wstring(buffer.data(), length);
        }
    }
    return std::wstring();
}

std::wstring ModuleFolder(const ModuleFileNameFunction& moduleFileName) {
    return FolderOf(ModulePath(moduleFileName));
}
