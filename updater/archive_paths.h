#pragma once

#include <string>

#include "common/path.h"

// Text and path operations shared by the archive extraction and the
// running-executable guard. Entry names are narrow (UTF-8 as stored in the
// archive); file-system paths are UTF-16.

// A double quote, text with a backslash before every double quote in it, and
// a closing double quote. Other backslashes are left as they are.
std::wstring QuoteArgument(const std::wstring& text);

// A single quote, text with every single quote doubled, and a closing single
// quote (a PowerShell literal string). The typographic single quotes U+2018
// to U+201B, which PowerShell also takes as quotes, are doubled as well.
std::wstring QuotePowerShellLiteral(const std::wstring& text);

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
