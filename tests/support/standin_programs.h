#pragma once

#include <string>
#include <vector>

#include "common/win_handle.h"

// The stand-in program built by the test tree (command_line_recorder).
extern const wchar_t kRecorderPath[];

// Waits (at most 20 s) until a copy of the stand-in at programPath has
// written "command_line.txt" in folder and has ended, and returns the
// recorded command line split into arguments the way Windows programs split
// it. Empty when nothing was recorded in time.
std::vector<std::wstring> WaitForRecordedArguments(const std::wstring& folder,
                                                   const std::wstring& programPath);
