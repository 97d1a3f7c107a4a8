#include "updater/archive_paths.h"

#include <windows.h>

#include "common/text.h"

std::wstring QuoteArgument(const std::wstring& text) {
    std::wstring quoted = L"\"";
    for (wchar_t c : text) {
        if (c == L'"') {
            quoted += L'\\';
        }
        quoted += c;
    }
    quoted += L'"';
    return quoted;
}

std::wstring QuotePowerShellLiteral(const std::wstring& text) {
    std::wstring quoted = L"'";
    for (wchar_t c : text) {
        if (c == L'\'') {
            quoted += L'\'';
        }
        quoted += c;
    }
    quoted += L'\'';
    return quoted;
}

std::wstring GetFullPath(const std::wstring& path) {
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return path;
    }
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, &full[0], nullptr);
    if (length == 0 || length >= needed) {
        return path;
    }
    full.resize(length);
    return full;
}

std::string NormalizeEntryPath(const std::string& entryName) {
    std::string path = entryName;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    const size_t start = path.find_first_not_of("\\.");
    return start == std::string::npos ? std::string() : path.substr(start);
}

void CreateParentFolders(const std::string& path) {
    for (size_t at = path.find_first_of("\\/"); at != std::string::npos;
         at = path.find_first_of("\\/", at + 1)) {
        const std::string prefix = path.substr(0, at);
        if (!prefix.empty() && prefix != ".") {
            CreateDirectoryW(ArchiveNameToWide(prefix).c_str(), nullptr);
        }
    }
}

namespace {

bool HasParentComponent(const std::string& name) {
    size_t start = 0;
    for (;;) {
        const size_t end = name.find_first_of("\\/", start);
        const std::string component = name.substr(start, end - start);
        if (component == "..") {
            return true;
        }
        if (end == std::string::npos) {
            return false;
        }
        start = end + 1;
    }
}

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool StartsWithIgnoringCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() &&
           CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

bool IsUnsafeEntryName(const std::string& storedName) {
    if (HasParentComponent(storedName)) {
        return true;
    }
    const std::string name = NormalizeEntryPath(storedName);
    if (HasParentComponent(name)) {
        return true;
    }
    const bool drive = name.size() >= 2 && IsAsciiLetter(name[0]) && name[1] == ':';
    const bool unc = name.size() >= 2 && name[0] == '\\' && name[1] == '\\';
    return drive || unc;
}

bool IsEntryPathInside(const std::string& normalizedName, const std::wstring& folder) {
    std::wstring base = GetFullPath(folder);
    while (!base.empty() && (base.back() == L'\\' || base.back() == L'/')) {
        base.pop_back();
    }
    const std::wstring target = GetFullPath(base + L"\\" + ArchiveNameToWide(normalizedName));
    return StartsWithIgnoringCase(target, base + L"\\");
}
