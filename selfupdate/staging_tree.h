#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What the staging folder holds, as paths relative to it.
struct StagingTree {
    std::vector<std::wstring> folders;  // every parent before its children
    std::vector<std::wstring> files;    // sorted without regard to case
};

// Lists the staging folder. Fails when the folder itself or anything below
// it is a reparse point (junction, symbolic link, mount point), which could
// lead the copy out of the staging folder, or when a folder cannot be read.
// On failure problemPath names the item and error holds the system error
// (0 for a reparse point).
bool ListStagingTree(const std::wstring& stagingFolder, StagingTree& tree,
                     std::wstring& problemPath, DWORD& error);
