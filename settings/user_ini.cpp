#include "settings/user_ini.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cwchar>

#include "settings/schema.h"

namespace {

// Passed as the default of a read: only an absent key reads back as this text.
constexpr wchar_t kMissingKeyMarker[] = L"{C4BDBE38-6DB0-4D0B-A25D-0E68E13F4A91}";
constexpr DWORD kValueBufferLength = 512;
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

bool FillMissingKeys(const std::wstring& userIniPath) {
    wchar_t value[kValueBufferLength];
    for (const KnownClientKey& known : kKnownClientKeys) {
        GetPrivateProfileStringW(known.section, known.key, kMissingKeyMarker, value,
                                 kValueBufferLength, userIniPath.c_str());
        if (wcscmp(value, kMissingKeyMarker) != 0) {
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
    std::wstring folder = buffer;
    if (!folder.empty() && folder.back() != L'\\') {
        folder += L'\\';
    }
    return folder + L"VantoraOnline";
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
