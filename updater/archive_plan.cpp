#include "updater/archive_plan.h"

#include <windows.h>

#include <unordered_map>

#include "common/path.h"
#include "common/text.h"
#include "updater/archive_paths.h"
#include "updater/exe_guard.h"

namespace {

// A file name as the file system compares it: without regard to case.
std::wstring FoldCase(std::wstring path) {
    if (!path.empty()) {
        CharUpperBuffW(&path[0], static_cast<DWORD>(path.size()));
    }
    return path;
}

}  // namespace

bool ArchivePlan::Read(const std::wstring& archivePath, const std::wstring& destination,
                       const std::wstring& stagingFolder, const VariantNames& names) {
    entries.clear();
    unsafeAt = -1;
    unreadableAt = -1;
    if (!reader.Open(WideToUtf8(archivePath))) {
        openError = reader.TakeLastError();
        return false;
    }
    const std::wstring destinationBase = WithoutTrailingSeparators(GetFullPath(destination));
    const std::wstring stagingBase = WithoutTrailingSeparators(GetFullPath(stagingFolder));
    std::unordered_map<std::wstring, int> lastWriter;
    const int count = reader.EntryCount();
    entries.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        PlannedEntry entry;
        if (!reader.GetEntryStat(i, entry.stat)) {
            reader.TakeLastError();
            unreadableAt = i;
            break;
        }
        entry.name = NormalizeEntryPath(entry.stat.name);
        if (entry.stat.isDirectory) {
            entry.role = EntryRole::kFolder;
        } else if (IsSkippedArtifact(entry.name, names)) {
            entry.role = EntryRole::kSkipped;
        } else if (IsStagedLauncher(entry.name, names)) {
            entry.role = EntryRole::kStaged;
        }
        // The file Windows writes: trailing dots and blanks dropped.
        const std::wstring& base = entry.role == EntryRole::kStaged ? stagingBase : destinationBase;
        entry.targetPath =
            GetFullPath(base + L"\\" + ArchiveNameToWide(WithoutTrailingDotsAndSpaces(entry.name)));
        if (IsUnsafeEntryName(entry.stat.name) || !IsInsideFolder(entry.targetPath, base)) {
            entry.safety = EntrySafety::kOutside;
        } else if (entry.stat.isLink) {
            // A link left in the game folder would take a later archive's
            // files wherever it points.
            entry.safety = EntrySafety::kLink;
        }
        if (entry.safety != EntrySafety::kSafe && unsafeAt < 0) {
            unsafeAt = i;
        }
        entry.program = entry.role == EntryRole::kWritten && entry.safety == EntrySafety::kSafe &&
                        HasExeExtension(entry.name);
        if (entry.role == EntryRole::kWritten || entry.role == EntryRole::kStaged) {
            int& last = lastWriter.emplace(FoldCase(entry.targetPath), -1).first->second;
            entry.earlierSameTarget = last;
            last = i;
        }
        entries.push_back(std::move(entry));
    }
    return true;
}

bool ArchivePlan::FindRunningProgram(std::wstring& runningPath) const {
    for (const PlannedEntry& entry : entries) {
        if (entry.program && IsFileInUse(entry.targetPath)) {
            runningPath = entry.targetPath;
            return true;
        }
    }
    return false;
}

bool ArchivePlan::HasLauncherArtifacts() const {
    for (const PlannedEntry& entry : entries) {
        if (entry.role != EntryRole::kFolder && IsLauncherManagedArtifact(entry.name)) {
            return true;
        }
    }
    return false;
}
