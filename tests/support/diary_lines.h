#pragma once

#include <string>
#include <vector>

// Lines of "updateerror.txt" in folder (the current directory by default)
// without their "[hh:mm:ss] " prefix (checked) and line ends. A line without
// a valid prefix or line end is returned whole, prefixed with "!", so that
// assertions show it.
std::vector<std::string> DiaryLines(const std::wstring& folder = L".");
