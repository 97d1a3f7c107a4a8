#include "publisher/tree_diff.h"

#include <windows.h>

#include <map>
#include <set>

#include "common/text.h"
#include "common/win_handle.h"

namespace {

const DWORD kCompareBlock = 1 << 20;

bool Open(const std::wstring& path, UniqueFile& file, std::wstring& error) {
    file.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        error =
            L"Cannot read " + path + L" (Win32 error " + std::to_wstring(GetLastError()) + L").";
        return false;
    }
    return true;
}

// Compares two files of the same size block by block.
bool SameBytes(const std::wstring& a, const std::wstring& b, bool& same, std::wstring& error,
               const std::function<void(uint64_t)>& onBytes) {
    UniqueFile first;
    UniqueFile second;
    if (!Open(a, first, error) || !Open(b, second, error)) {
        return false;
    }
    std::vector<char> left(kCompareBlock);
    std::vector<char> right(kCompareBlock);
    for (;;) {
        DWORD readLeft = 0;
        DWORD readRight = 0;
        if (!ReadFile(first.get(), left.data(), kCompareBlock, &readLeft, nullptr) ||
            !ReadFile(second.get(), right.data(), kCompareBlock, &readRight, nullptr)) {
            error = L"Cannot read " + a + L" or " + b + L".";
            return false;
        }
        if (onBytes) {
            onBytes(readRight);
        }
        if (readLeft != readRight || memcmp(left.data(), right.data(), readLeft) != 0) {
            same = false;
            return true;
        }
        if (readLeft == 0) {
            same = true;
            return true;
        }
    }
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
            if (same && !SameBytes(ItemPath(oldRoot, *old), ItemPath(newRoot, item), same, error,
                                   onBytes)) {
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
