#include "publisher/tree_diff.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "common/mapped_file.h"
#include "common/text.h"

namespace {

const DWORD kCompareBlock = 1 << 20;

// Compares two files of the same size block by block, both mapped (a
// buffer per file compared would cost more than the comparing).
bool SameBytes(const std::wstring& a, const std::wstring& b, uint64_t size, bool& same,
               std::wstring& error, const std::function<void(uint64_t)>& onBytes) {
    same = true;
    if (size == 0) {
        return true;
    }
    MappedFile first;
    MappedFile second;
    DWORD code = ERROR_SUCCESS;
    if (!first.OpenForReading(a, code) || !second.OpenForReading(b, code)) {
        error =
            L"Cannot read " + a + L" or " + b + L" (Win32 error " + std::to_wstring(code) + L").";
        return false;
    }
    if (first.size() != second.size()) {
        same = false;
        return true;
    }
    for (uint64_t at = 0; at < first.size() && same; at += kCompareBlock) {
        const size_t block =
            static_cast<size_t>(std::min<uint64_t>(kCompareBlock, first.size() - at));
        same = memcmp(first.data() + at, second.data() + at, block) == 0;
        if (onBytes) {
            onBytes(block);
        }
    }
    return true;
}

}  // namespace

bool DiffTrees(const std::wstring& oldRoot, const std::vector<TreeItem>& oldItems,
               const std::wstring& newRoot, const std::vector<TreeItem>& newItems, TreeDiff& diff,
               std::wstring& error, const std::function<void(uint64_t)>& onBytes) {
    std::map<std::wstring, const TreeItem*> before;
    for (const TreeItem& item : oldItems) {
        before[FoldCase(item.relative)] = &item;
    }
    std::set<std::wstring> after;
    for (const TreeItem& item : newItems) {
        after.insert(FoldCase(item.relative));
        const auto found = before.find(FoldCase(item.relative));
        const TreeItem* old = found == before.end() ? nullptr : found->second;
        if (old != nullptr && old->folder != item.folder) {
            diff.kindChanged.push_back(item.relative);
            continue;
        }
        bool changed = old == nullptr;
        if (!changed && !item.folder) {
            bool same = item.size == old->size;
            if (same && !SameBytes(ItemPath(oldRoot, *old), ItemPath(newRoot, item), item.size,
                                   same, error, onBytes)) {
                return false;
            }
            changed = !same;
        }
        if (changed) {
            diff.changed.push_back(item);
        }
    }
    for (const TreeItem& item : oldItems) {
        if (!item.folder && after.count(FoldCase(item.relative)) == 0) {
            diff.removed.push_back(item.relative);
        }
    }
    return true;
}
