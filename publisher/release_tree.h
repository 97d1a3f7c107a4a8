#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// One folder or file of a release tree.
struct TreeItem {
    std::wstring relative;  // below the root, "\" separated
    bool folder = false;
    uint64_t size = 0;
    FILETIME written = {};
};

// Lists every folder and file below root, each folder before what it holds,
// the names of a folder in ordinal order without regard to case. False, with
// a message in error, when root is not a folder or cannot be read, or holds
// a link (a link would be published as the files it points to, or not at all).
bool ListTree(const std::wstring& root, std::vector<TreeItem>& items, std::wstring& error);

// The item's path below root in a form the file functions take at any length.
std::wstring ItemPath(const std::wstring& root, const TreeItem& item);

// The entry name an item is stored under: UTF-8, "/" separated, folders with
// a trailing "/".
std::string EntryName(const TreeItem& item);

// A name or path as Windows compares it: without regard to case.
std::wstring FoldCase(std::wstring name);
