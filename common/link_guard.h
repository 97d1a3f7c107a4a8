#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "common/win_handle.h"

// Keeps writes below a folder that other users may change (a game folder
// that standard users can write) from being led elsewhere by a link: a
// junction, symbolic link or mount point put where a folder or file was
// expected takes a write, a new folder or a deletion wherever it points.
// Each folder found free of links is held open without delete sharing for
// the guard's life, so that it cannot be renamed, removed or replaced by a
// link after the check.
class LinkGuard {
  public:
    // root: a full path; root itself and everything above it are trusted.
    explicit LinkGuard(std::wstring root);
    LinkGuard(const LinkGuard&) = delete;
    LinkGuard& operator=(const LinkGuard&) = delete;

    // True when no item below root on the way to path, path itself
    // included, is a reparse point. Items that do not exist end the check:
    // nothing can be followed there yet. False, with link naming the item,
    // for a reparse point, for an item that cannot be examined or a folder
    // that cannot be held, and for a path that does not lie below root.
    bool IsLinkFree(const std::wstring& path, std::wstring& link);

    const std::wstring& root() const { return root_; }

  private:
    std::wstring root_;
    std::set<std::wstring> held_;  // as written
    std::vector<UniqueFile> handles_;
};

// True when the item at path exists and is a reparse point.
bool IsReparsePoint(const std::wstring& path);

// The attributes of an open file or folder, as GetFileAttributesW gives
// them for a path; INVALID_FILE_ATTRIBUTES when they cannot be read.
DWORD OpenFileAttributes(HANDLE file);
