#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "common/file_read.h"
#include "common/text.h"
#include "common/update_log.h"
#include "updater/manifest_signature.h"
#include "updater/updater.h"

namespace {

// How one walk over a package list differs between fulls and patches.
struct PackageWalk {
    const wchar_t* consolePrefix;  // "Applying FULL: " or "Applying PATCH: "
    bool showVersion;              // the console shows version (fulls) or created (patches)
    const wchar_t* archiveName;    // local name of the downloaded archive
};

const wchar_t kManifestName[] = L"manifest.json";

const wchar_t kDeltaArchiveName[] = L"patch_delta.zip";

const PackageWalk kFullWalk = {L"Applying FULL: ", true, L"full.zip"};
const PackageWalk kPatchWalk = {L"Applying PATCH: ", false, L"patch.zip"};

void WriteToConsole(std::wostream* console, const std::wstring& text) {
    std::wostream& out = console != nullptr ? *console : std::wcout;
    out.clear();  // a line the stream could not convert must not silence the next ones
    out << text;
    out.flush();
}

// Fetches and applies a patch's archive of differences. False when the
// package must come from the whole patch instead (the diary says why), or
// when a program in use stopped the run (blockedByRunningExecutable).
bool ApplyDelta(Updater& updater, const DeltaPackage& delta) {
    const std::wstring name = BytesToWide(delta.zip);
    if (!updater.DownloadFile(updater.baseUrl + name, kDeltaArchiveName, delta.sha256)) {
        LogUpdate(L"Delta patch not usable, using the whole patch: %s", name.c_str());
        return false;
    }
    if (!updater.ApplyDeltaArchive(kDeltaArchiveName, L".")) {
        if (!updater.blockedByRunningExecutable) {
            LogUpdate(L"Delta patch not usable, using the whole patch: %s", name.c_str());
        }
        return false;
    }
    LogUpdate(L"Delta patch applied: %s", name.c_str());
    return true;
}

bool ApplyPackages(Updater& updater, std::vector<UpdatePackage> packages,
                   const std::string& currentStamp, const PackageWalk& walk) {
    int64_t current = ParseVersionNumber(currentStamp);
    std::sort(packages.begin(), packages.end(),
              [](const UpdatePackage& a, const UpdatePackage& b) { return a.created < b.created; });

    for (const UpdatePackage& package : packages) {
        if (package.created <= current) {
            continue;
        }
        const std::string stamp = std::to_string(package.created);
        WriteToConsole(
            updater.console,
            walk.consolePrefix + BytesToWide(walk.showVersion ? package.version : stamp) + L"\n");
        // A folder at the stamp the differences were made from takes them;
        // whatever stops them, the whole patch serves.
        const DeltaPackage& delta = package.delta;
        if (!delta.zip.empty() && current > 0 && ParseVersionNumber(delta.from) == current) {
            if (ApplyDelta(updater, delta)) {
                WriteVersionFile(stamp);
                current = package.created;
                continue;
            }
            if (updater.blockedByRunningExecutable) {
                return false;
            }
        }
        if (!updater.DownloadFile(updater.baseUrl + BytesToWide(package.zip), walk.archiveName,
                                  package.sha256)) {
            return false;
        }
        if (!updater.ExtractZip(walk.archiveName, L".")) {
            if (updater.blockedByRunningExecutable) {
                return false;
            }
            if (!updater.HandleExtractionFailure(walk.archiveName, L".", stamp)) {
                return false;
            }
        }
        WriteVersionFile(stamp);
        current = package.created;
    }
    return true;
}

// The stamp a walk over packages reaches from current once all are applied.
int64_t NewestStamp(const std::vector<UpdatePackage>& packages, int64_t current) {
    for (const UpdatePackage& package : packages) {
        current = std::max(current, package.created);
    }
    return current;
}

}  // namespace

bool Updater::ApplyFullUpdates(const UpdateManifest& manifest, const std::string& currentStamp) {
    if (manifest.fulls.empty()) {
        return true;
    }
    return ApplyPackages(*this, manifest.fulls, currentStamp, kFullWalk);
}

bool Updater::ApplyPatchUpdates(const UpdateManifest& manifest, const std::string& currentStamp) {
    return ApplyPackages(*this, manifest.patches, currentStamp, kPatchWalk);
}

bool Updater::ReadManifest(UpdateManifest& manifest) {
    // The bytes read once are the bytes checked and parsed.
    std::string text;
    if (!ReadFileBytes(kManifestName, text)) {
        return false;
    }
    ManifestRefusal refusal = ManifestRefusal::kAccepted;
    if (!updateKeys.empty()) {
        std::string signature;
        const std::string* fetched = nullptr;
        DWORD error = ERROR_SUCCESS;
        if (DownloadFile(baseUrl + kSignatureFileName, kSignatureFileName) &&
            (ReadFileBytes(kSignatureFileName, signature, kSignatureFileLimit, error) ||
             error == ERROR_FILE_TOO_LARGE)) {
            fetched = &signature;  // an oversized file is checked as empty: malformed
        }
        refusal = CheckManifestSignature(text, fetched, updateKeys);
    }
    if (refusal == ManifestRefusal::kAccepted && !ParseManifestText(text, manifest)) {
        return false;
    }
    if (refusal == ManifestRefusal::kAccepted && !updateKeys.empty()) {
        refusal = CheckPackageDigests(manifest);
    }
    if (refusal != ManifestRefusal::kAccepted) {
        LogUpdate(L"Manifest signature check failed: %s", ManifestRefusalText(refusal));
        return false;
    }
    return true;
}

bool Updater::Run() {
    WriteToConsole(console, L"Checking for updates...\n");
    if (!DownloadFile(baseUrl + kManifestName, kManifestName)) {
        WriteToConsole(console, L"Failed to download manifest\n");
        return false;
    }
    UpdateManifest manifest;
    if (!ReadManifest(manifest)) {
        WriteToConsole(console, L"Failed to parse manifest\n");
        return false;
    }

    const std::string stampBefore = ReadVersionFile();
    if (!ApplyFullUpdates(manifest, stampBefore)) {
        return false;
    }
    // The full archives may have advanced the stamp. Should "version.txt"
    // have refused the new stamp, the patches are still compared with the
    // newest full applied: a patch older than it would bring back old files.
    std::string stampAfterFulls = ReadVersionFile();
    const int64_t newestFull = NewestStamp(manifest.fulls, ParseVersionNumber(stampBefore));
    if (ParseVersionNumber(stampAfterFulls) < newestFull) {
        stampAfterFulls = std::to_string(newestFull);
    }
    if (!ApplyPatchUpdates(manifest, stampAfterFulls)) {
        return false;
    }

    if (launcherUpdatePending) {
        ReportStatus(L"Launcher update ready. Restarting launcher...");
        if (!RunSelfUpdater()) {
            return false;
        }
    }
    WriteToConsole(console, L"Update finished\n");
    return true;
}
