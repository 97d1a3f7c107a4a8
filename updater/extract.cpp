#include "updater/extract.h"

#include <windows.h>

#include <cwchar>
#include <set>

#include "common/folder_tree.h"
#include "common/text.h"
#include "updater/archive_paths.h"
#include "updater/exe_guard.h"
#include "updater/file_replace.h"
#include "updater/update_log.h"
#include "updater/zip_reader.h"

namespace {

const wchar_t kFailedArchiveCopy[] = L"failed_download.zip";
const size_t kMaxErrorTextLength = 256;

// What the look at every entry before extraction found.
enum class EntryPathScan { kSafe, kUnsafeEntry, kLinkEntry, kUnreadable };

// True when the entry may be written: its name has no parent or drive part
// and its path stays below the folder it goes to (the staging folder for
// this build's launcher, the destination for everything else).
bool IsEntryWritable(const std::string& storedName, const std::wstring& destination,
                     const std::wstring& stagingFolder, const VariantNames& names) {
    if (IsUnsafeEntryName(storedName)) {
        return false;
    }
    const std::wstring& folder = IsStagedLauncher(storedName, names) ? stagingFolder : destination;
    return IsEntryPathInside(NormalizeEntryPath(storedName), folder);
}

// Checks every entry, folders included, before any tool writes anything.
EntryPathScan ScanEntryPaths(const std::wstring& archivePath, const std::wstring& destination,
                             const std::wstring& stagingFolder, const VariantNames& names,
                             std::string& unsafeEntry) {
    ZipReader reader;
    if (!reader.Open(WideToUtf8(archivePath))) {
        return EntryPathScan::kUnreadable;
    }
    const int count = reader.EntryCount();
    for (int i = 0; i < count; ++i) {
        ZipEntryStat stat;
        if (!reader.GetEntryStat(i, stat)) {
            return EntryPathScan::kUnreadable;
        }
        if (!IsEntryWritable(stat.name, destination, stagingFolder, names)) {
            unsafeEntry = stat.name;
            return EntryPathScan::kUnsafeEntry;
        }
        // A link left in the game folder would lead a later archive's files
        // wherever it points.
        if (stat.isLink) {
            unsafeEntry = stat.name;
            return EntryPathScan::kLinkEntry;
        }
    }
    return EntryPathScan::kSafe;
}

void KeepFailedArchive(const std::wstring& archivePath) {
    CopyFileW(archivePath.c_str(), kFailedArchiveCopy, FALSE);
}

}  // namespace

bool IsRunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void Updater::EmptyStagingFolder() {
    // What an earlier hand-off left (a half-copied program, a link) must not
    // reach the self-updater with the new launcher.
    std::wstring left;
    DWORD error = 0;
    if (!RemoveFolderTree(selfUpdateFolder, &left, &error)) {
        LogUpdate(L"Could not empty the staging folder: %s Win32=%lu", left.c_str(), error);
    }
}

void Updater::StopForRunningExecutable(const std::wstring& path) {
    blockedByRunningExecutable = true;
    runningExecutablePath = path;
    ReportStatus(L"Update stopped. Close the running executable: " + path);
    LogUpdate(L"Update stopped because target executable is running: %s", path.c_str());
}

bool Updater::RefuseUnsafeEntry(const std::wstring& archivePath, const std::string& entryName,
                                bool isLink) {
    if (isLink) {
        LogUpdate(L"Refused archive entry that is a link: %S", entryName.c_str());
    } else {
        LogUpdate(L"Refused archive entry that points outside the destination folder: %S",
                  entryName.c_str());
    }
    ReportStatus(L"Failed file: " + ArchiveNameToWide(entryName));
    KeepFailedArchive(archivePath);
    return false;
}

bool Updater::ExtractZip(const std::wstring& archivePath, const std::wstring& destination) {
    blockedByRunningExecutable = false;
    runningExecutablePath.clear();

    LogUpdate(L"Opening archive: %s", archivePath.c_str());
    ReportStatus(L"Opening archive...");

    std::string unsafeEntry;
    const EntryPathScan scan =
        ScanEntryPaths(archivePath, destination, selfUpdateFolder, *variantNames, unsafeEntry);
    if (scan == EntryPathScan::kUnsafeEntry || scan == EntryPathScan::kLinkEntry) {
        return RefuseUnsafeEntry(archivePath, unsafeEntry, scan == EntryPathScan::kLinkEntry);
    }

    std::wstring runningPath;
    if (FindRunningTargetInArchive(archivePath, destination, runningPath, *variantNames)) {
        StopForRunningExecutable(runningPath);
        return false;
    }

    const wchar_t* reason = nullptr;
    if (runsUnderWine && runsUnderWine()) {
        reason = L"Running under Wine. Using bundled miniz extractor.";
    } else if (scan == EntryPathScan::kUnreadable) {
        // The system tools would see names nobody has checked.
        reason = L"Archive entry paths could not be checked. Skipping native extraction.";
    } else if (ArchiveHasLauncherArtifacts(archivePath)) {
        reason = L"Archive contains launcher-managed artifacts. Using miniz filtering path.";
    } else {
        const StatusCallback forward = [this](const std::wstring& text) { ReportStatus(text); };
        if (ExtractWithSystemTools(archivePath, destination, forward, systemTools())) {
            ReportStatus(L"Extraction complete");
            return true;
        }
        reason = L"Native extraction failed. Trying miniz fallback.";
    }
    LogUpdate(L"%s", reason);
    return ExtractWithBuiltInReader(archivePath, destination);
}

bool Updater::ExtractWithBuiltInReader(const std::wstring& archivePath,
                                       const std::wstring& destination) {
    ZipReader reader;
    if (!reader.Open(WideToUtf8(archivePath))) {
        const int code = reader.TakeLastError();
        std::wstring text = Utf8ToWide(ZipErrorText(code));
        if (text.size() > kMaxErrorTextLength) {
            text.resize(kMaxErrorTextLength);
        }
        KeepFailedArchive(archivePath);
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        if (GetFileAttributesExW(archivePath.c_str(), GetFileExInfoStandard, &data)) {
            const unsigned long long size =
                (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            LogUpdate(L"Failed to open zip. Error %d: %s | File size: %llu bytes", code,
                      text.c_str(), size);
        } else {
            LogUpdate(L"Failed to open zip. Error %d: %s | Could not query file size.", code,
                      text.c_str());
        }
        ReportStatus(L"Failed to open zip");
        return false;
    }

    const VariantNames& names = *variantNames;
    const int count = reader.EntryCount();
    std::set<std::wstring> createdFolders;
    bool stagingEmptied = false;
    for (int i = 0; i < count; ++i) {
        ZipEntryStat stat;
        if (!reader.GetEntryStat(i, stat)) {
            LogUpdate(L"Failed to read zip entry metadata at index %d", i);
            KeepFailedArchive(archivePath);
            reader.Close();
            ReportStatus(L"Failed to read zip entry");
            return false;
        }
        // Checked before extraction began; asked again for the reader that
        // actually writes, in case the file changed in between.
        if (!IsEntryWritable(stat.name, destination, selfUpdateFolder, names) || stat.isLink) {
            reader.Close();
            return RefuseUnsafeEntry(archivePath, stat.name, stat.isLink);
        }
        const std::string name = NormalizeEntryPath(stat.name);
        if (stat.isDirectory) {
            continue;
        }
        if (IsSkippedArtifact(name, names)) {
            LogUpdate(L"Skipping incompatible launcher artifact from update package: %S",
                      name.c_str());
            continue;
        }

        std::wstring targetFolder = destination;
        if (IsStagedLauncher(name, names)) {
            if (!stagingEmptied) {
                EmptyStagingFolder();
                stagingEmptied = true;
            }
            targetFolder = selfUpdateFolder;
            launcherUpdatePending = true;
        } else {
            std::wstring runningPath;
            if (IsRunningTargetExecutable(name, destination, runningPath, names)) {
                reader.Close();
                StopForRunningExecutable(runningPath);
                return false;
            }
        }

        // The name Windows would give the file: without trailing dots and blanks.
        const std::wstring outputPath =
            targetFolder + L"\\" + ArchiveNameToWide(WithoutTrailingDotsAndSpaces(name));
        // Each folder is made once; later entries below it skip the system
        // calls. Scratch files that an extraction killed part-way left there
        // go at the same time.
        const std::wstring parent = outputPath.substr(0, outputPath.find_last_of(L"\\/"));
        if (createdFolders.insert(parent).second) {
            CreateParentFolders(WideToUtf8(outputPath));
            RemoveLeftoverScratchFiles(parent);
        }
        if (!reader.ExtractToFile(i, outputPath)) {
            const int code = reader.TakeLastError();
            const std::wstring wideName = ArchiveNameToWide(name);
            ReportStatus(L"Failed file: " + wideName);
            LogUpdate(L"Failed to extract file: %s | miniz error %d: %S", wideName.c_str(), code,
                      ZipErrorText(code));
            KeepFailedArchive(archivePath);
            reader.Close();
            return false;
        }

        wchar_t text[64];
        swprintf(text, sizeof(text) / sizeof(text[0]), L"Extracting... %d%%", i * 100 / count);
        ReportStatus(text);
    }
    reader.Close();
    ReportStatus(L"Extraction complete");
    return true;
}
