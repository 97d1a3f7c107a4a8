#include "settings/user_ini.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cwchar>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/path.h"
#include "settings/schema.h"

namespace {

constexpr size_t kFolderBufferLength = 260;

constexpr wchar_t kResolveFailed[] = L"Could not resolve %LOCALAPPDATA%\\VantoraOnline.";
constexpr wchar_t kCreateFailed[] = L"Could not create %LOCALAPPDATA%\\VantoraOnline.";
constexpr wchar_t kMigrateFailed[] = L"Could not migrate the existing setup.ini to LocalAppData.";
constexpr wchar_t kInitializeFailed[] = L"Could not initialize the new client setup.ini.";

bool Fail(std::wstring* error, const wchar_t* message) {
    if (error) {
        *error = message;
    }
    return false;
}

bool CreatedOrExists(BOOL created) {
    return created || GetLastError() == ERROR_ALREADY_EXISTS;
}

// Creates the folder and every missing parent. The first three characters
// (a drive letter, colon and backslash) are never created.
bool CreateFolderWithParents(const std::wstring& folder) {
    if (folder.size() >= kFolderBufferLength) {
        return false;
    }
    wchar_t buffer[kFolderBufferLength] = {};
    wmemcpy(buffer, folder.c_str(), folder.size() + 1);
    const size_t length = folder.size();
    if (length > 3) {
        for (size_t i = 3; i < length; ++i) {
            if (buffer[i] != L'\\' && buffer[i] != L'/') {
                continue;
            }
            const wchar_t separator = buffer[i];
            buffer[i] = L'\0';
            const BOOL created = CreateDirectoryW(buffer, nullptr);
            buffer[i] = separator;
            if (!CreatedOrExists(created)) {
                return false;
            }
        }
    }
    return CreatedOrExists(CreateDirectoryW(buffer, nullptr));
}

bool MigrateLegacyFile(const std::wstring& legacyIniPath, const std::wstring& userIniPath) {
    if (PathFileExistsW(userIniPath.c_str()) || legacyIniPath.empty() ||
        !PathFileExistsW(legacyIniPath.c_str())) {
        return true;
    }
    return CopyFileW(legacyIniPath.c_str(), userIniPath.c_str(), TRUE) ||
           GetLastError() == ERROR_FILE_EXISTS;
}

// Passed as the default of a read, a value of this text counts as missing.
constexpr wchar_t kMissingKeyMarker[] = L"{C4BDBE38-6DB0-4D0B-A25D-0E68E13F4A91}";

// The keys of section in the file that hold a value, upper-cased (the
// profile functions match keys without regard to case). A value that is the
// missing-key marker, with or without the quotes a read would strip, counts
// as none. One read per section rather than one per key.
std::set<std::wstring> KeysWithValues(const wchar_t* section, const std::wstring& path) {
    std::vector<wchar_t> lines(8192);
    for (;;) {
        const DWORD length = GetPrivateProfileSectionW(
            section, lines.data(), static_cast<DWORD>(lines.size()), path.c_str());
        if (length + 2 < lines.size()) {
            break;
        }
        lines.resize(lines.size() * 2);  // the section was cut short
    }
    const std::wstring marker = kMissingKeyMarker;
    std::set<std::wstring> keys;
    for (const wchar_t* line = lines.data(); *line != L'\0'; line += wcslen(line) + 1) {
        const wchar_t* equals = wcschr(line, L'=');
        if (equals == nullptr) {
            continue;
        }
        std::wstring key(line, equals);
        std::wstring value(equals + 1);
        key.erase(key.find_last_not_of(L" \t") + 1);
        value.erase(0, value.find_first_not_of(L" \t"));
        value.erase(value.find_last_not_of(L" \t") + 1);
        if (value == marker || value == L"\"" + marker + L"\"" || value == L"'" + marker + L"'") {
            continue;
        }
        CharUpperBuffW(&key[0], static_cast<DWORD>(key.size()));
        keys.insert(key);
    }
    return keys;
}

bool FillMissingKeys(const std::wstring& userIniPath) {
    std::map<std::wstring, std::set<std::wstring>> present;  // by section
    for (const KnownClientKey& known : kKnownClientKeys) {
        auto section = present.find(known.section);
        if (section == present.end()) {
            section =
                present.emplace(known.section, KeysWithValues(known.section, userIniPath)).first;
        }
        std::wstring key = known.key;
        CharUpperBuffW(&key[0], static_cast<DWORD>(key.size()));
        if (section->second.count(key) != 0) {
            continue;
        }
        if (!WritePrivateProfileStringW(known.section, known.key, known.defaultValue,
                                        userIniPath.c_str())) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::wstring GetUserDataFolder() {
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                SHGFP_TYPE_CURRENT, buffer))) {
        return std::wstring();
    }
    return JoinPath(buffer, L"VantoraOnline");
}

std::wstring GetUserSetupIniPath(const UserFolderFunction& userFolder) {
    const std::wstring folder = userFolder();
    return folder.empty() ? std::wstring() : folder + L"\\setup.ini";
}

bool EnsureUserSetupIni(const std::wstring& legacyIniPath, std::wstring* error,
                        const UserFolderFunction& userFolder) {
    const std::wstring folder = userFolder();
    if (folder.empty()) {
        return Fail(error, kResolveFailed);
    }
    const std::wstring userIniPath = folder + L"\\setup.ini";

    if (!PathIsDirectoryW(folder.c_str()) && !CreateFolderWithParents(folder)) {
        return Fail(error, kCreateFailed);
    }
    if (!MigrateLegacyFile(legacyIniPath, userIniPath)) {
        return Fail(error, kMigrateFailed);
    }
    if (!FillMissingKeys(userIniPath)) {
        return Fail(error, kInitializeFailed);
    }
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, userIniPath.c_str());
    return true;
}
