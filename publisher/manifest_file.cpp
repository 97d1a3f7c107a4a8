#include "publisher/manifest_file.h"

#include <windows.h>

#include "common/path.h"
#include "common/win_handle.h"

namespace {

bool ReadWholeFile(const std::wstring& path, std::string& text, DWORD& error) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = GetLastError();
        return false;
    }
    char block[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), block, sizeof(block), &read, nullptr) && read > 0) {
        text.append(block, read);
    }
    error = GetLastError();
    return read == 0;
}

}  // namespace

bool ManifestFile::Load(const std::wstring& updateFolder, std::wstring& error) {
    path_ = JoinPath(updateFolder, L"manifest.json");
    std::string text;
    DWORD readError = 0;
    if (!ReadWholeFile(path_, text, readError)) {
        if (readError == ERROR_FILE_NOT_FOUND) {
            return true;
        }
        error = L"Cannot read " + path_ + L" (Win32 error " + std::to_wstring(readError) + L").";
        return false;
    }
    root_ = nlohmann::ordered_json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (!ParseManifestText(text, parsed_) || root_.is_discarded()) {
        error = path_ + L" does not parse as the launcher parses it; fix it by hand first.";
        return false;
    }
    return true;
}

bool ManifestFile::CheckStamp(const char* list, int64_t stamp, std::wstring& error) const {
    const auto& packages = std::string(list) == "fulls" ? parsed_.fulls : parsed_.patches;
    for (const UpdatePackage& package : packages) {
        if (package.created >= stamp) {
            error = L"Stamp " + std::to_wstring(stamp) + L" is not above stamp " +
                    std::to_wstring(package.created) + L" already in \"" +
                    std::wstring(list, list + strlen(list)) + L"\".";
            return false;
        }
    }
    return true;
}

void ManifestFile::Add(const char* list, const nlohmann::ordered_json& package,
                       const std::string& latest) {
    if (!root_.contains(list) || root_[list].is_null()) {
        root_[list] = nlohmann::ordered_json::array();
    }
    root_[list].push_back(package);
    root_["latest"] = latest;
}

bool ManifestFile::Save(std::wstring& error) const {
    const std::string text = root_.dump(2) + "\n";
    const std::wstring temporary = path_ + L".partial";
    {
        UniqueFile file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file ||
            !WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written,
                       nullptr) ||
            written != text.size() || !FlushFileBuffers(file.get())) {
            error = L"Cannot write " + temporary + L" (Win32 error " +
                    std::to_wstring(GetLastError()) + L").";
            file.reset();
            DeleteFileW(temporary.c_str());
            return false;
        }
    }
    if (!MoveFileExW(temporary.c_str(), path_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = L"Cannot replace " + path_ + L" (Win32 error " + std::to_wstring(GetLastError()) +
                L").";
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}
