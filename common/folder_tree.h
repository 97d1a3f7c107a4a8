#pragma once

#include <windows.h>

#include <string>

// True for the "." and ".." entries of a folder listing.
bool IsDotEntry(const wchar_t* name);

// Deletes a folder and everything below it. Reparse points, the folder
// itself among them, are removed as links, never followed. Returns false
// when anything is left; leftPath then names the first item that could not
// be removed and error holds why.
bool RemoveFolderTree(const std::wstring& folder, std::wstring& leftPath, DWORD& error);
