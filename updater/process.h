#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Receives one line of a child process's output, without its line end.
using OutputLineCallback = std::function<void(const std::string&)>;

// Starts commandLine hidden (no console window) in workingFolder (the
// caller's when empty) and waits for it to end. True when it was started;
// exitCode then holds its exit code. False when it could not be started;
// exitCode then holds the system error code.
bool RunProcessAndWait(const std::wstring& commandLine, const std::wstring& workingFolder,
                       DWORD& exitCode);

// As RunProcessAndWait, with the child's standard output and standard error
// on one pipe whose lines reach onLine while the child runs.
bool RunProcessWithOutput(const std::wstring& commandLine, const std::wstring& workingFolder,
                          const OutputLineCallback& onLine, DWORD& exitCode);
