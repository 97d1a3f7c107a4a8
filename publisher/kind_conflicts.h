#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "updater/archive_plan.h"

// Plans the archive at path as a launcher extracting it into its game folder
// would. False when the archive does not open.
bool PlanAsLauncher(const std::wstring& path, ArchivePlan& plan);

// An archive of the update folder with the stamp launchers apply it by.
struct StampedArchive {
    int64_t stamp = 0;
    std::wstring path;  // empty when there is no archive to read
};

// For each patch (in the order given), the entries that would need a file
// and a folder at one path of an installation: within the patch's own
// archive and, for a patch above the newest full, against that full and the
// patches between the two, which launchers apply before it. An archive that
// does not open adds nothing.
std::vector<std::vector<std::wstring>> FindKindConflicts(
    const StampedArchive& newestFull, const std::vector<StampedArchive>& patches);
