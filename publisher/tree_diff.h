#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "publisher/release_tree.h"

// What a patch from one release tree to the next must carry.
struct TreeDiff {
    std::vector<TreeItem> changed;      // new folders and added or changed files, tree order
    std::vector<std::wstring> removed;  // files of the old tree the new one lacks
    // Paths that are a file in one tree and a folder in the other: no
    // installation can take that change from a patch.
    std::vector<std::wstring> kindChanged;
};

// Compares two listed trees: a file counts as changed when it is new or its
// size or bytes differ (names without regard to case, as Windows sees them).
// onBytes receives the size of every block compared. False, with a message
// in error, when a file cannot be read.
bool DiffTrees(const std::wstring& oldRoot, const std::vector<TreeItem>& oldItems,
               const std::wstring& newRoot, const std::vector<TreeItem>& newItems, TreeDiff& diff,
               std::wstring& error, const std::function<void(uint64_t)>& onBytes = nullptr);
