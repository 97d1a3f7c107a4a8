#pragma once

#include <string>

#include "common/path.h"

// Text and path operations shared by the archive extraction and the
// running-executable guard. Entry names are narrow (UTF-8 as stored in the
// archive); file-system paths are UTF-16.

// An entry's stored name as a relative Windows path: every "/" becomes "\",
// then leading "\" and "." characters are removed ("./data/a.dat" gives
// "data\a.dat", ".config/x" gives "config\x").
std::string NormalizeEntryPath(const std::string& entryName);

// The name without the dots and blanks at its end, which Windows drops from
// the last component of a file name ("Tessaly.exe. " names "Tessaly.exe").
std::string WithoutTrailingDotsAndSpaces(std::string name);

// Creates every folder above the file named by path ("\" or "/" separated);
// the last component is not created. Failures are ignored.
void CreateParentFolders(const std::string& path);

// True when the entry must never reach the disk: its stored or normalized
// name has a ".." component, the stored name starts with a UNC prefix (two
// separators), or the normalized name starts with a drive prefix.
bool IsUnsafeEntryName(const std::string& storedName);

// True when the stored name holds a character no entry name may have: a NUL
// (Windows ends the name there, our rules would not), a control character
// below 0x20, or a colon (a drive prefix, or an NTFS stream: "Tessaly.exe:x"
// writes into "Tessaly.exe").
bool HasForbiddenCharacter(const std::string& storedName);

// The stored name for the diary and the status line: control characters and
// NULs as "\xNN".
std::string VisibleEntryName(const std::string& storedName);
