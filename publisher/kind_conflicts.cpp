#include "publisher/kind_conflicts.h"

#include <algorithm>
#include <numeric>
#include <set>
#include <unordered_map>

#include "common/path.h"
#include "common/text.h"
#include "publisher/release_tree.h"

namespace {

// Which paths of an installation are files and which are folders, as the
// archives applied so far leave it.
class InstalledKinds {
  public:
    // Adds the entries of the archive at path; problems receives a line for
    // each path that an entry needs as the other kind.
    void AddArchive(const std::wstring& path, std::vector<std::wstring>& problems) {
        ArchivePlan plan;
        if (path.empty() || !PlanAsLauncher(path, plan)) {
            return;
        }
        std::set<std::wstring> reported;
        const size_t base = plan.destinationBase.size();
        for (const PlannedEntry& entry : plan.entries) {
            if (entry.safety != EntrySafety::kSafe ||
                (entry.role != EntryRole::kWritten && entry.role != EntryRole::kFolder)) {
                continue;
            }
            const std::wstring target = WithoutTrailingSeparators(entry.targetPath);
            if (target.size() <= base + 1) {
                continue;
            }
            // Every folder above the entry, then the entry itself.
            for (size_t at = target.find(L'\\', base + 1);; at = target.find(L'\\', at + 1)) {
                const bool folder = at != std::wstring::npos || entry.role == EntryRole::kFolder;
                const std::wstring key = FoldCase(target.substr(0, at));
                bool& isFolder = kinds_.emplace(key, folder).first->second;
                if (isFolder != folder && reported.insert(key).second) {
                    problems.push_back(L"entry \"" + Utf8ToWide(entry.stat.name) +
                                       (folder ? L"\" needs a folder where a file is: "
                                               : L"\" needs a file where a folder is: ") +
                                       target.substr(base + 1, at == std::wstring::npos
                                                                   ? std::wstring::npos
                                                                   : at - base - 1));
                }
                isFolder = folder;
                if (at == std::wstring::npos) {
                    break;
                }
            }
        }
    }

  private:
    std::unordered_map<std::wstring, bool> kinds_;  // case-folded full path: a folder
};

}  // namespace

bool PlanAsLauncher(const std::wstring& path, ArchivePlan& plan) {
    return plan.Read(path, L"C:\\game", L"C:\\game\\_launcher_self_update", CurrentVariantNames());
}

std::vector<std::vector<std::wstring>> FindKindConflicts(
    const StampedArchive& newestFull, const std::vector<StampedArchive>& patches) {
    std::vector<std::vector<std::wstring>> problems(patches.size());
    InstalledKinds installed;
    std::vector<std::wstring> ignored;
    installed.AddArchive(newestFull.path, ignored);
    std::vector<size_t> order(patches.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return patches[a].stamp < patches[b].stamp; });
    for (size_t i : order) {
        // Launchers skip a patch at or below the newest full: only its own
        // entries can clash.
        if (patches[i].stamp > newestFull.stamp) {
            installed.AddArchive(patches[i].path, problems[i]);
        } else {
            InstalledKinds alone;
            alone.AddArchive(patches[i].path, problems[i]);
        }
    }
    return problems;
}
