#include "selfupdate/paths.h"

#include <windows.h>

#include <vector>

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool EqualIgnoringCase(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength) {
    return CompareStringOrdinal(a, static_cast<int>(aLength), b, static_cast<int>(bLength), TRUE) ==
           CSTR_EQUAL;
}

}  // namespace

bool NormalizeAbsolutePath(const std::wstring& path, std::wstring* normalized) {
    if (path.find(L'\0') != std::wstring::npos) {
        return false;
    }
    std::wstring input = path;
    const bool drive = input.size() >= 2 && IsDriveLetter(input[0]) && input[1] == L':';
    const bool unc = input.size() >= 3 && IsSeparator(input[0]) && IsSeparator(input[1]) &&
                     !IsSeparator(input[2]);
    if (drive && input.size() == 2) {
        input += L'\\';
    } else if (!(drive && IsSeparator(input[2])) && !unc) {
        return false;
    }
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetFullPathNameW(input.c_str(), static_cast<DWORD>(buffer.size()),
                                              buffer.data(), nullptr);
        if (length == 0) {
            return false;
        }
        if (length < buffer.size()) {
            normalized->assign(buffer.data(), length);
            break;
        }
        buffer.resize(length + 1);
    }
    // Keep "C:\" whole; strip separators after anything longer.
    while (normalized->size() > 3 && IsSeparator(normalized->back())) {
        normalized->pop_back();
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
    return IsSeparator(folder.back()) || IsSeparator(path[folder.size()]);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& relative) {
    if (folder.empty()) {
        return relative;
    }
    if (IsSeparator(folder.back())) {
        return folder + relative;
    }
    return folder + L"\\" + relative;
}

std::wstring ParentFolder(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}
