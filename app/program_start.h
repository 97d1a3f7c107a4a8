#pragma once

#include <string>

#include "common/win_handle.h"

// Starts the program at path, its quoted path as the whole command line, with
// folder as its current directory and the launcher's environment. Returns
// the process handle (the thread handle is closed at once); empty when the
// program could not be started.
UniqueHandleKernel StartProgramInFolder(const std::wstring& path, const std::wstring& folder);
