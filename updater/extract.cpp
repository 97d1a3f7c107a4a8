#include "updater/extract.h"

#include <windows.h>

#include <cwchar>
#include <set>
#include <vector>

#include "common/folder_tree.h"
#include "common/link_guard.h"
#include "common/path.h"
#include "common/text.h"
#include "common/update_log.h"
#include "updater/archive_paths.h"
#include "updater/archive_plan.h"
#include "updater/entry_writers.h"
#include "updater/exe_guard.h"
#include "updater/file_replace.h"
#include "updater/zip_reader.h"

namespace {

const wchar_t kFailedArchiveCopy[] = L"failed_download.zip";
const size_t kMaxErrorTextLength = 256;

void KeepFailedArchive(const std::wstring& archivePath) {
    // A copy, never a write through whatever lies at that name (a link).
    DeleteFileW(kFailedArchiveCopy);
    CopyFileW(archivePath.c_str(), kFailedArchiveCopy, TRUE);
}

// Makes folder and every folder above it that this archive has not made yet,
// the outer ones first, through the same extended-length form as the files
// (a plain path drops a trailing blank and stops at 248 units).
void MakeFolder(const std::wstring& folder, std::set<std::wstring>& made) {
    if (folder.empty() || !made.insert(folder).second) {
        return;
    }
    const size_t slash = folder.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 0) {
        MakeFolder(folder.substr(0, slash), made);
    }
    CreateDirectoryW(ExtendedFullPath(folder).c_str(), nullptr);
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
    if (!RemoveFolderTree(selfUpdateFolder, left, error)) {
        LogUpdate(L"Could not empty the staging folder: %s Win32=%lu", left.c_str(), error);
    }
}

void Updater::StopForRunningExecutable(const std::wstring& path) {
    blockedByRunningExecutable = true;
    runningExecutablePath = path;
    ReportStatus(L"Update stopped. Close the running executable: " + path);
    LogUpdate(L"Update stopped because target executable is running: %s", path.c_str());
}

bool Updater::RefuseUnsafeEntry(const std::wstring& archivePath, const PlannedEntry& entry) {
    const std::string name = VisibleEntryName(entry.stat.name);
    switch (entry.safety) {
        case EntrySafety::kLink:
            LogUpdate(L"Refused archive entry that is a link: %S", name.c_str());
            break;
        case EntrySafety::kBadName:
            LogUpdate(
                L"Refused archive entry with a NUL, control character or colon in its name: %S",
                name.c_str());
            break;
        default:
            LogUpdate(L"Refused archive entry that points outside the destination folder: %S",
                      name.c_str());
            break;
    }
    return FailEntry(archivePath, entry);
}

bool Updater::RefuseLink(const std::wstring& archivePath, const PlannedEntry& entry,
                         const std::wstring& link) {
    LogUpdate(L"Refused to write through a link: %s", link.c_str());
    return FailEntry(archivePath, entry);
}

bool Updater::FailEntry(const std::wstring& archivePath, const PlannedEntry& entry) {
    ReportStatus(L"Failed file: " + ArchiveNameToWide(VisibleEntryName(entry.stat.name)));
    KeepFailedArchive(archivePath);
    return false;
}

bool Updater::ExtractZip(const std::wstring& archivePath, const std::wstring& destination) {
    return ExtractGuarded(archivePath, destination, false);
}

bool Updater::ApplyDeltaArchive(const std::wstring& archivePath, const std::wstring& destination) {
    return ExtractGuarded(archivePath, destination, true);
}

bool Updater::ExtractGuarded(const std::wstring& archivePath, const std::wstring& destination,
                             bool differences) {
    blockedByRunningExecutable = false;
    runningExecutablePath.clear();
    // Whatever goes wrong inside, the archive counts as one that could not
    // be extracted: the run goes on to the failure dialog instead of ending.
    try {
        return ExtractArchive(archivePath, destination, differences);
    } catch (const std::exception& error) {
        LogUpdate(L"Internal error: %S", error.what());
    }
    KeepFailedArchive(archivePath);
    ReportStatus(L"Failed to open zip");
    return false;
}

bool Updater::ExtractArchive(const std::wstring& archivePath, const std::wstring& destination,
                             bool differences) {
    LogUpdate(L"Opening archive: %s", archivePath.c_str());
    ReportStatus(L"Opening archive...");

    // One reading of the directory answers every question below.
    ArchivePlan plan;
    const bool opened = plan.Read(archivePath, destination, selfUpdateFolder, *variantNames);
    if (opened && differences) {
        plan.MarkDifferences();
    }
    if (opened && plan.unsafeAt >= 0) {
        return RefuseUnsafeEntry(archivePath, plan.entries[static_cast<size_t>(plan.unsafeAt)]);
    }
    std::wstring runningPath;
    if (!opened) {
        LogUpdate(L"Could not preflight archive for running executables with miniz.");
    } else if (plan.FindRunningProgram(runningPath)) {
        StopForRunningExecutable(runningPath);
        return false;
    }

    const wchar_t* reason = nullptr;
    if (differences) {
        // Only the built-in reader applies differences.
        if (!opened) {
            return ReportUnopenedArchive(archivePath, plan.openError);
        }
        return ExtractWithBuiltInReader(archivePath, plan);
    }
    if (runsUnderWine && runsUnderWine()) {
        reason = L"Running under Wine. Using bundled miniz extractor.";
    } else if (!opened || plan.unreadableAt >= 0) {
        // The system tools would see names nobody has checked.
        reason = L"Archive entry paths could not be checked. Skipping native extraction.";
    } else if (plan.HasLauncherArtifacts()) {
        reason = L"Archive contains launcher-managed artifacts. Using miniz filtering path.";
    } else {
        // The tools follow links: every target is checked before they run,
        // and the folders stay held while they do.
        LinkGuard guard(plan.destinationBase);
        std::wstring link;
        for (const PlannedEntry& entry : plan.entries) {
            if (!guard.IsLinkFree(entry.targetPath, link)) {
                return RefuseLink(archivePath, entry, link);
            }
        }
        const StatusCallback forward = [this](const std::wstring& text) { ReportStatus(text); };
        if (ExtractWithSystemTools(archivePath, destination, forward, systemTools())) {
            ReportStatus(L"Extraction complete");
            return true;
        }
        reason = L"Native extraction failed. Trying miniz fallback.";
    }
    LogUpdate(L"%s", reason);
    if (!opened) {
        return ReportUnopenedArchive(archivePath, plan.openError);
    }
    return ExtractWithBuiltInReader(archivePath, plan);
}

bool Updater::ReportUnopenedArchive(const std::wstring& archivePath, int code) {
    std::wstring text = Utf8ToWide(ZipErrorText(code));
    if (text.size() > kMaxErrorTextLength) {
        text.resize(kMaxErrorTextLength);
    }
    KeepFailedArchive(archivePath);
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (GetFileAttributesExW(archivePath.c_str(), GetFileExInfoStandard, &data)) {
        const unsigned long long size =
            (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        LogUpdate(L"Failed to open zip. Error %d: %s | File size: %llu bytes", code, text.c_str(),
                  size);
    } else {
        LogUpdate(L"Failed to open zip. Error %d: %s | Could not query file size.", code,
                  text.c_str());
    }
    ReportStatus(L"Failed to open zip");
    return false;
}

bool Updater::ExtractWithBuiltInReader(const std::wstring& archivePath, ArchivePlan& plan) {
    const int count = plan.reader.EntryCount();
    EntryWriters writers(archivePath, plan, ExtractionThreads(extractionThreads), entryWriteHook);
    // Every folder an entry goes to is checked before it is made and again
    // after, and held from then on (see LinkGuard).
    LinkGuard destinationGuard(plan.destinationBase);
    LinkGuard stagingGuard(ParentFolder(plan.stagingBase));
    std::wstring checkedFolder;
    std::set<std::wstring> madeFolders;
    std::set<std::wstring> cleanedFolders;
    bool stagingEmptied = false;
    std::vector<int> handedOver;  // archive indices, in order
    size_t reported = 0;
    // One text per written entry, in archive order, whichever thread
    // finished first.
    const auto reportWritten = [&] {
        for (; reported < handedOver.size() && writers.Outcome(handedOver[reported]) == kZipOk;
             ++reported) {
            wchar_t text[64];
            swprintf(text, sizeof(text) / sizeof(text[0]), L"Extracting... %d%%",
                     handedOver[reported] * 100 / count);
            ReportStatus(text);
        }
    };

    for (size_t i = 0; i < plan.entries.size() && !writers.AnyFailed(); ++i) {
        const PlannedEntry& entry = plan.entries[i];
        if (entry.role == EntryRole::kFolder) {
            continue;
        }
        if (entry.role == EntryRole::kSkipped) {
            LogUpdate(L"Skipping incompatible launcher artifact from update package: %S",
                      entry.name.c_str());
            continue;
        }
        // A program is checked once everything before it is written (it may
        // have been started meanwhile); a second entry for the same file
        // waits for the first, so the later one wins.
        if (entry.program || entry.earlierSameTarget >= 0) {
            writers.Drain();
            reportWritten();
            if (writers.AnyFailed()) {
                break;
            }
        }
        if (entry.role == EntryRole::kStaged) {
            if (!stagingEmptied) {
                EmptyStagingFolder();
                stagingEmptied = true;
            }
            launcherUpdatePending = true;
        } else if (entry.program && IsFileInUse(entry.targetPath)) {
            StopForRunningExecutable(entry.targetPath);
            return false;
        }
        // Folders before their files; scratch files that an extraction
        // killed part-way left there go at the same time, once per folder.
        const std::wstring folder = ParentFolder(entry.targetPath);
        if (folder != checkedFolder) {
            LinkGuard& guard = entry.role == EntryRole::kStaged ? stagingGuard : destinationGuard;
            std::wstring link;
            if (!guard.IsLinkFree(folder, link)) {
                return RefuseLink(archivePath, entry, link);
            }
            MakeFolder(folder, madeFolders);
            if (!guard.IsLinkFree(folder, link)) {
                return RefuseLink(archivePath, entry, link);
            }
            checkedFolder = folder;
        }
        if (cleanedFolders.insert(folder).second) {
            RemoveLeftoverScratchFiles(folder);
        }
        writers.Submit(static_cast<int>(i));
        handedOver.push_back(static_cast<int>(i));
        reportWritten();
    }
    writers.Drain();
    reportWritten();

    // The first entry that failed, in archive order.
    for (int index : handedOver) {
        const int code = writers.Outcome(index);
        if (code != kZipOk) {
            const std::wstring wideName =
                ArchiveNameToWide(plan.entries[static_cast<size_t>(index)].name);
            ReportStatus(L"Failed file: " + wideName);
            LogUpdate(L"Failed to extract file: %s | miniz error %d: %S", wideName.c_str(), code,
                      ZipErrorText(code));
            KeepFailedArchive(archivePath);
            return false;
        }
    }
    if (plan.unreadableAt >= 0) {
        LogUpdate(L"Failed to read zip entry metadata at index %d", plan.unreadableAt);
        KeepFailedArchive(archivePath);
        ReportStatus(L"Failed to read zip entry");
        return false;
    }
    ReportStatus(L"Extraction complete");
    return true;
}
