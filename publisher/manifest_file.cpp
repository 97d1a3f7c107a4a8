#include "publisher/manifest_file.h"

#include <windows.h>

#include "common/path.h"
#include "common/win_handle.h"
#include "updater/file_replace.h"

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
    DWORD code = ERROR_SUCCESS;
    if (!ReplaceFileContents(path_, root_.dump(2) + "\n", code)) {
        error = L"Cannot write " + path_ + L" (Win32 error " + std::to_wstring(code) + L").";
        return false;
    }
    return true;
}
