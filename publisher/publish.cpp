#include "publisher/publish.h"

#include <windows.h>

#include <vector>

#include <nlohmann/json.hpp>

#include "common/path.h"
#include "common/text.h"
#include "publisher/archive_digest.h"
#include "publisher/console.h"
#include "publisher/delta_archive.h"
#include "publisher/entry_pipeline.h"
#include "publisher/file_blocks.h"
#include "publisher/manifest_file.h"
#include "publisher/release_tree.h"
#include "publisher/tree_diff.h"
#include "publisher/update_signature.h"
#include "publisher/zip_writer.h"
#include "updater/file_replace.h"

namespace {

// The release a patch's differences are made from.
struct DeltaRequest {
    std::wstring oldRoot;
    std::string from;  // its stamp
};

int Refuse(const std::wstring& message) {
    PrintError(L"vantora-publish: " + message);
    return kPublishFailed;
}

// The update folder, created when it does not exist yet.
bool PrepareUpdateFolder(const std::wstring& folder, std::wstring& error) {
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return true;
    }
    if (attributes == INVALID_FILE_ATTRIBUTES && CreateDirectoryW(folder.c_str(), nullptr)) {
        return true;
    }
    error = L"Cannot use the update folder " + folder + L".";
    return false;
}

// Zips items of the tree at root into archivePath. The archive is written
// under a temporary name and moved into place only when complete.
bool WriteArchive(const std::wstring& root, const std::vector<TreeItem>& items,
                  const std::wstring& archivePath, std::wstring& error) {
    uint64_t files = 0;
    uint64_t bytes = 0;
    for (const TreeItem& item : items) {
        files += item.folder ? 0 : 1;
        bytes += item.size;
    }
    const std::wstring temporary = archivePath + L".partial";
    Progress progress(L"Zipped", files, bytes);
    bool ok = false;
    {
        // Closed at the end of this block, so that a failed archive can go.
        ZipWriter zip;
        ok = zip.Create(temporary) &&
             WriteEntries(
                 zip, DeflatedFileEntries(root, items), PipelineOptions(), error,
                 [&](uint64_t block) { progress.AddBytes(block); },
                 [&](size_t) { progress.FileDone(); }) &&
             zip.Close();
        if (!ok && error.empty()) {
            error = zip.error();
        }
    }
    if (ok && !MoveFileExW(temporary.c_str(), archivePath.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = L"Cannot move the archive into place as " + archivePath + L" (Win32 error " +
                std::to_wstring(GetLastError()) + L").";
        ok = false;
    }
    if (!ok) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    wchar_t seconds[32];
    _snwprintf(seconds, 31, L"%.1f s", progress.Seconds());
    seconds[31] = L'\0';
    PrintLine(L"  Zipped " + std::to_wstring(files) + L" files, " + Megabytes(bytes) + L", in " +
              seconds + L".");
    return true;
}

// False, with a message, when an archive of that name is in the folder and
// a package lists it; one no package lists is what a run that stopped
// between the archive's move and the manifest's left, and may go.
bool MayWriteArchive(const std::wstring& path, const std::string& name,
                     const ManifestFile& manifest, std::wstring& error) {
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    if (manifest.ListsArchive(name)) {
        error = path + L" already exists; pick another stamp.";
        return false;
    }
    PrintLine(L"Replacing " + path + L", which no package lists (left by a run that did not " +
              L"finish).");
    return true;
}

// The package's fields of an archive: its name, size and digests.
bool DescribeArchive(const std::wstring& path, const std::string& name,
                     nlohmann::ordered_json& package, std::wstring& error) {
    ArchiveDigest digest;
    if (!DigestArchive(path, digest)) {
        error = L"Cannot read back " + path + L".";
        return false;
    }
    package["zip"] = name;
    package["size"] = digest.size;
    package["crc"] = digest.crc;
    package["sha256"] = digest.sha256;
    return true;
}

// Writes the archive of differences beside the whole patch at wholePath and
// describes it in delta.
bool PublishDifferences(const std::wstring& wholePath, const std::wstring& newRoot,
                        const DeltaRequest& request, const std::wstring& deltaPath,
                        const std::string& deltaName, nlohmann::ordered_json& delta,
                        std::wstring& error) {
    DeltaSummary summary;
    if (!WriteDeltaArchive(wholePath, request.oldRoot, newRoot, deltaPath, summary, error) ||
        !DescribeArchive(deltaPath, deltaName, delta, error)) {
        return false;
    }
    delta["from"] = request.from;
    WIN32_FILE_ATTRIBUTE_DATA whole = {};
    GetFileAttributesExW(wholePath.c_str(), GetFileExInfoStandard, &whole);
    const uint64_t wholeSize =
        (static_cast<uint64_t>(whole.nFileSizeHigh) << 32) | whole.nFileSizeLow;
    wchar_t share[32];
    _snwprintf(share, 31, L"%.1f %%", wholeSize == 0 ? 0.0 : 100.0 * summary.size / wholeSize);
    share[31] = L'\0';
    PrintLine(L"  Differences: " + std::to_wstring(summary.differences) +
              L" files as differences, " + std::to_wstring(summary.whole) + L" whole, " +
              Megabytes(summary.size) + L" (" + share + L" of the whole patch), from " +
              Utf8ToWide(request.from) + L".");
    return true;
}

// Writes the archive of items (and, with delta, its archive of differences),
// then lists them in the manifest. On any failure neither the archives nor
// the manifest change.
int Publish(const std::wstring& root, const std::vector<TreeItem>& items,
            const std::wstring& updateFolder, const char* list, const std::string& zipName,
            int64_t stamp, const nlohmann::ordered_json& version, const std::string& latest,
            ManifestFile& manifest, const ByteString& signingKey,
            const DeltaRequest* delta = nullptr) {
    const std::wstring archivePath = JoinPath(updateFolder, Utf8ToWide(zipName));
    const std::string deltaName = zipName.substr(0, zipName.size() - 4) + "_delta.zip";
    const std::wstring deltaPath = JoinPath(updateFolder, Utf8ToWide(deltaName));
    std::wstring error;
    if (!MayWriteArchive(archivePath, zipName, manifest, error) ||
        (delta != nullptr && !MayWriteArchive(deltaPath, deltaName, manifest, error))) {
        return Refuse(error);
    }
    if (!WriteArchive(root, items, archivePath, error)) {
        return Refuse(error);
    }
    nlohmann::ordered_json package;
    package["version"] = version;
    nlohmann::ordered_json differences;
    const bool described =
        DescribeArchive(archivePath, zipName, package, error) &&
        (delta == nullptr ||
         PublishDifferences(archivePath, root, *delta, deltaPath, deltaName, differences, error));
    const auto removeArchives = [&] {
        DeleteFileW(archivePath.c_str());
        if (delta != nullptr) {
            DeleteFileW(deltaPath.c_str());
        }
    };
    if (!described) {
        removeArchives();
        return Refuse(error);
    }
    package["created"] = stamp;
    if (delta != nullptr) {
        package["delta"] = differences;
    }
    manifest.Add(list, package, latest);
    const ManifestSave saved = manifest.Save(signingKey, error);
    if (saved == ManifestSave::kNothingWritten) {
        removeArchives();
    }
    if (saved != ManifestSave::kSaved) {
        return Refuse(error);
    }
    PrintLine(L"Published " + Utf8ToWide(zipName) + L" (" +
              Megabytes(package["size"].get<uint64_t>()) + L", sha256 " +
              Utf8ToWide(package["sha256"].get<std::string>()) + L"); \"latest\" is now \"" +
              Utf8ToWide(latest) + L"\".");
    return kPublishOk;
}

// The release a patch's differences are made from: the stamp of the
// folder's newest package, whose files oldRoot must hold.
bool FindDeltaBase(const ManifestFile& manifest, const std::wstring& updateFolder,
                   const std::wstring& oldRoot, DeltaRequest& request, std::wstring& error) {
    std::string zip;
    int64_t newest = 0;
    for (const char* list : {"fulls", "patches"}) {
        const nlohmann::ordered_json& root = manifest.json();
        if (!root.contains(list) || !root[list].is_array()) {
            continue;
        }
        for (const nlohmann::ordered_json& package : root[list]) {
            const int64_t stamp = package.value("created", int64_t{0});
            if (stamp > newest) {
                newest = stamp;
                zip = package.value("zip", std::string());
            }
        }
    }
    if (newest == 0) {
        error = L"--delta needs the package of OLD_DIR in the update folder; it has none.";
        return false;
    }
    std::wstring mismatch;
    if (!ReleaseHoldsArchiveFiles(JoinPath(updateFolder, Utf8ToWide(zip)), oldRoot, mismatch,
                                  error)) {
        if (error.empty()) {
            error = oldRoot + L" is not the release of stamp " + std::to_wstring(newest) +
                    L", the folder's newest: \"" + mismatch + L"\" differs from " +
                    Utf8ToWide(zip) + L". Differences must be made from it.";
        }
        return false;
    }
    request.oldRoot = oldRoot;
    request.from = std::to_string(newest);
    return true;
}

// False, with a message, when the folder is signed: a manifest written
// without the key would no longer match its signature.
bool RefuseSignedFolder(const std::wstring& updateFolder, std::wstring& error) {
    if (GetFileAttributesW(JoinPath(updateFolder, kSignatureFileName).c_str()) ==
        INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    error = updateFolder + L" is signed (" + kSignatureFileName + L"); pass --key KEY_FILE.";
    return false;
}

// Reads the signing key, loads the manifest and checks the stamp; a message
// on failure.
bool Prepare(const std::wstring& updateFolder, const std::wstring& keyFile, const char* list,
             int64_t stamp, ManifestFile& manifest, ByteString& signingKey, std::wstring& error) {
    return (keyFile.empty() ? RefuseSignedFolder(updateFolder, error)
                            : ReadKeyFile(keyFile, signingKey, error)) &&
           PrepareUpdateFolder(updateFolder, error) && manifest.Load(updateFolder, error) &&
           manifest.CheckStamp(list, stamp, error);
}

}  // namespace

int PublishFull(const FullRequest& request) {
    ManifestFile manifest;
    ByteString signingKey;
    std::wstring error;
    std::vector<TreeItem> items;
    if (!ListTree(request.releaseFolder, items, error) ||
        !Prepare(request.updateFolder, request.keyFile, "fulls", request.stamp, manifest,
                 signingKey, error)) {
        return Refuse(error);
    }
    const std::string version =
        request.version.empty() ? std::to_string(request.stamp) : request.version;
    return Publish(request.releaseFolder, items, request.updateFolder, "fulls",
                   "full_" + std::to_string(request.stamp) + ".zip", request.stamp, version,
                   version, manifest, signingKey);
}

int PublishPatch(const PatchRequest& request) {
    ManifestFile manifest;
    ByteString signingKey;
    std::wstring error;
    std::vector<TreeItem> oldItems;
    std::vector<TreeItem> newItems;
    if (!ListTree(request.oldFolder, oldItems, error) ||
        !ListTree(request.newFolder, newItems, error) ||
        !Prepare(request.updateFolder, request.keyFile, "patches", request.stamp, manifest,
                 signingKey, error)) {
        return Refuse(error);
    }
    const int64_t newestFull = manifest.NewestStamp("fulls");
    if (request.stamp <= newestFull) {
        return Refuse(L"Stamp " + std::to_wstring(request.stamp) + L" is not above the newest " +
                      L"full's stamp " + std::to_wstring(newestFull) +
                      L"; launchers that install that full never apply this patch.");
    }
    DeltaRequest delta;
    if (request.delta &&
        !FindDeltaBase(manifest, request.updateFolder, request.oldFolder, delta, error)) {
        return Refuse(error);
    }
    uint64_t bytes = 0;
    for (const TreeItem& item : newItems) {
        bytes += item.size;
    }
    Progress progress(L"Compared", 0, bytes);
    TreeDiff diff;
    if (!DiffTrees(request.oldFolder, oldItems, request.newFolder, newItems, diff, error,
                   [&](uint64_t block) { progress.AddBytes(block); })) {
        return Refuse(error);
    }
    if (!diff.kindChanged.empty()) {
        PrintLine(
            L"A file in one tree and a folder in the other; no installation can take that "
            L"change from a patch:");
        for (const std::wstring& relative : diff.kindChanged) {
            PrintLine(L"  " + relative);
        }
        return Refuse(std::to_wstring(diff.kindChanged.size()) +
                      L" path(s) changed between file and folder; publish a full.");
    }
    if (!diff.removed.empty()) {
        PrintLine(request.allowRemovals
                      ? L"Not in the new tree; a patch cannot delete files, so players keep them:"
                      : L"Not in the new tree; a patch cannot delete files:");
        for (const std::wstring& relative : diff.removed) {
            PrintLine(L"  " + relative);
        }
        if (!request.allowRemovals) {
            PrintError(L"vantora-publish: " + std::to_wstring(diff.removed.size()) +
                       L" file(s) removed; publish a full, or pass --allow-removals to leave "
                       L"them on players' machines.");
            return kPublishRemovalsRefused;
        }
    }
    if (diff.changed.empty()) {
        PrintLine(L"No file was added or changed; nothing was written.");
        return kPublishOk;
    }
    const std::string stamp = std::to_string(request.stamp);
    return Publish(request.newFolder, diff.changed, request.updateFolder, "patches",
                   "patch_" + stamp + ".zip", request.stamp, request.stamp, stamp, manifest,
                   signingKey, request.delta ? &delta : nullptr);
}

int GenerateKey(const std::wstring& keyFile) {
    std::string publicKey;
    std::wstring error;
    if (!CreateKeyFile(keyFile, publicKey, error)) {
        return Refuse(error);
    }
    PrintLine(L"Wrote the private key to " + keyFile +
              L"; keep it secret and out of the update folder. The public key, for the "
              L"launcher:");
    PrintLine(Utf8ToWide(publicKey));
    return kPublishOk;
}

int SignUpdateFolder(const std::wstring& updateFolder, const std::wstring& keyFile) {
    ManifestFile manifest;
    ByteString signingKey;
    std::wstring error;
    const std::wstring manifestPath = JoinPath(updateFolder, L"manifest.json");
    if (GetFileAttributesW(manifestPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return Refuse(manifestPath + L" is missing.");
    }
    if (!ReadKeyFile(keyFile, signingKey, error) || !manifest.Load(updateFolder, error)) {
        return Refuse(error);
    }
    const std::string signature = SignatureFileText(signingKey, manifest.text());
    if (signature.empty()) {
        return Refuse(L"The system could not sign the manifest.");
    }
    const std::wstring signaturePath = JoinPath(updateFolder, kSignatureFileName);
    DWORD code = ERROR_SUCCESS;
    if (!ReplaceFileContents(signaturePath, signature, code)) {
        return Refuse(L"Cannot write " + signaturePath + L" (Win32 error " + std::to_wstring(code) +
                      L").");
    }
    PrintLine(L"Signed manifest.json with the key " +
              Utf8ToWide(BytesToHex(P256PublicKeyOf(signingKey))) + L".");
    return kPublishOk;
}
