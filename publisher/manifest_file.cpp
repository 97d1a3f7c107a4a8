#include "publisher/manifest_file.h"

#include <windows.h>

#include <algorithm>

#include "common/file_read.h"
#include "common/path.h"
#include "common/text.h"
#include "publisher/update_signature.h"
#include "updater/file_replace.h"

bool ManifestFile::Load(const std::wstring& updateFolder, std::wstring& error) {
    folder_ = updateFolder;
    path_ = JoinPath(updateFolder, L"manifest.json");
    std::string text;
    DWORD readError = 0;
    if (!ReadFileBytes(path_, text, SIZE_MAX, readError)) {
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
    text_.swap(text);
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

int64_t ManifestFile::NewestStamp(const char* list) const {
    const auto& packages = std::string(list) == "fulls" ? parsed_.fulls : parsed_.patches;
    int64_t newest = 0;
    for (const UpdatePackage& package : packages) {
        newest = std::max(newest, package.created);
    }
    return newest;
}

bool ManifestFile::ListsArchive(const std::string& zipName) const {
    for (const char* list : {"fulls", "patches"}) {
        if (!root_.contains(list) || !root_[list].is_array()) {
            continue;
        }
        for (const nlohmann::ordered_json& package : root_[list]) {
            const auto names = [&](const nlohmann::ordered_json& object) {
                return object.is_object() && object.contains("zip") && object["zip"].is_string() &&
                       AsciiLower(object["zip"].get<std::string>()) == AsciiLower(zipName);
            };
            if (names(package) ||
                (package.is_object() && package.contains("delta") && names(package["delta"]))) {
                return true;
            }
        }
    }
    return false;
}

void ManifestFile::Add(const char* list, const nlohmann::ordered_json& package,
                       const std::string& latest) {
    if (!root_.contains(list) || root_[list].is_null()) {
        root_[list] = nlohmann::ordered_json::array();
    }
    root_[list].push_back(package);
    root_["latest"] = latest;
}

ManifestSave ManifestFile::Save(const ByteString& signingKey, std::wstring& error) const {
    const std::string text = root_.dump(2) + "\n";
    DWORD code = ERROR_SUCCESS;
    if (signingKey.empty()) {
        if (!ReplaceFileContents(path_, text, code)) {
            error = L"Cannot write " + path_ + L" (Win32 error " + std::to_wstring(code) + L").";
            return ManifestSave::kNothingWritten;
        }
        return ManifestSave::kSaved;
    }
    const std::string signature = SignatureFileText(signingKey, text);
    if (signature.empty()) {
        error = L"The system could not sign the manifest.";
        return ManifestSave::kNothingWritten;
    }
    const std::wstring signaturePath = JoinPath(folder_, kSignatureFileName);
    ScratchFile manifestCopy;
    ScratchFile signatureCopy;
    if (!manifestCopy.Write(path_, text, code) ||
        !signatureCopy.Write(signaturePath, signature, code) ||
        !manifestCopy.MoveOver(path_, code)) {
        error = L"Cannot write " + path_ + L" and its signature (Win32 error " +
                std::to_wstring(code) + L").";
        return ManifestSave::kNothingWritten;
    }
    // The manifest goes first: should the signature not follow, "sign"
    // completes the folder as this run meant it.
    if (!signatureCopy.MoveOver(signaturePath, code)) {
        error = L"The new manifest is in place, but " + signaturePath +
                L" could not be written (Win32 error " + std::to_wstring(code) +
                L"); launchers refuse the update until \"vantora-publish sign\" has signed it.";
        return ManifestSave::kSignatureNotWritten;
    }
    return ManifestSave::kSaved;
}
