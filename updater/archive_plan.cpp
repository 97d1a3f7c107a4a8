#include "updater/archive_plan.h"

#include <windows.h>

#include <unordered_map>

#include "common/path.h"
#include "common/text.h"
#include "common/win_handle.h"
#include "updater/archive_paths.h"
#include "updater/delta_header.h"
#include "updater/exe_guard.h"

namespace {

// A file name as the file system compares it: without regard to case.
std::wstring FoldCase(std::wstring path) {
    if (!path.empty()) {
        CharUpperBuffW(&path[0], static_cast<DWORD>(path.size()));
    }
    return path;
}

// The name of the file at fullPath as the file system knows it: a short
// name ("TESSAL~1.EXE") of an existing file gives way to its long one.
std::wstring ResolvedFileName(const std::wstring& fullPath) {
    const size_t slash = fullPath.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? fullPath : fullPath.substr(slash + 1);
    WIN32_FIND_DATAW data;
    // (A name with wildcards names no file: it is not looked up.)
    if (name.find(L'~') != std::wstring::npos && name.find_first_of(L"*?") == std::wstring::npos) {
        UniqueFind found(FindFirstFileW(ExtendedFullPath(fullPath).c_str(), &data));
        if (found) {
            return data.cFileName;
        }
    }
    return name;
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
    destinationBase = WithoutTrailingSeparators(GetFullPath(destination));
    stagingBase = WithoutTrailingSeparators(GetFullPath(stagingFolder));
    std::unordered_map<std::wstring, int> lastWriter;
    // The reader bounds the count by what its directory can hold.
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
        // The file Windows writes: trailing dots and blanks dropped.
        const std::wstring relative = ArchiveNameToWide(WithoutTrailingDotsAndSpaces(entry.name));
        entry.targetPath = GetFullPath(destinationBase + L"\\" + relative);
        const ResolvedNameRules rules =
            RulesForResolvedName(ResolvedFileName(entry.targetPath), names);
        if (entry.stat.isDirectory) {
            entry.role = EntryRole::kFolder;
        } else if (rules.skipped) {
            entry.role = EntryRole::kSkipped;
        } else if (rules.staged) {
            entry.role = EntryRole::kStaged;
            entry.targetPath = GetFullPath(stagingBase + L"\\" + relative);
        }
        const std::wstring& base = entry.role == EntryRole::kStaged ? stagingBase : destinationBase;
        if (IsUnsafeEntryName(entry.stat.name) || !IsInsideFolder(entry.targetPath, base)) {
            entry.safety = EntrySafety::kOutside;
        } else if (HasForbiddenCharacter(entry.stat.name)) {
            entry.safety = EntrySafety::kBadName;
        } else if (entry.stat.isLink) {
            // A link left in the game folder would take a later archive's
            // files wherever it points.
            entry.safety = EntrySafety::kLink;
        }
        if (entry.safety != EntrySafety::kSafe && unsafeAt < 0) {
            unsafeAt = i;
        }
        entry.artifact = entry.role != EntryRole::kFolder && rules.artifact;
        entry.program = entry.role == EntryRole::kWritten && entry.safety == EntrySafety::kSafe &&
                        rules.program;
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
        if (entry.artifact) {
            return true;
        }
    }
    return false;
}

void ArchivePlan::MarkDifferences() {
    for (PlannedEntry& entry : entries) {
        entry.delta = entry.role != EntryRole::kFolder && IsDeltaComment(entry.stat.comment);
    }
}
