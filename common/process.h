#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "common/win_handle.h"

// Receives one line of a child process's output, without its line end.
using OutputLineCallback = std::function<void(const std::string&)>;

// How RunProcess starts a program.
struct ProcessOptions {
    std::wstring workingFolder;  // the caller's when empty
    bool hidden = false;         // no console window for a console program
    bool wait = false;           // return once the program has ended
    // When set, the program's standard output and standard error go to one
    // pipe whose lines reach this callback while it runs; RunProcess then
    // waits for the program to end.
    OutputLineCallback onOutputLine;
};

// A program that runs without a console window in folder (the caller's when
// empty) while the caller waits; onLine, when set, receives its output.
ProcessOptions HiddenIn(const std::wstring& folder, OutputLineCallback onLine = nullptr);

// Owner of a started process and its first thread.
struct UniqueProcessInformation {
    UniqueHandleKernel process;
    UniqueHandleKernel thread;
};

// Starts commandLine as options say, with the caller's environment. False
// when it could not be started: code holds the system error code. True
// otherwise: after a wait code holds the program's exit code; without one
// code is 0 and started owns the handles.
bool RunProcess(const std::wstring& commandLine, const ProcessOptions& options, DWORD& code,
                UniqueProcessInformation& started);

// The same without keeping the handles: they are closed before it returns.
bool RunProcess(const std::wstring& commandLine, const ProcessOptions& options, DWORD& code);

// Starts the program at path shown, its quoted path as the whole command
// line, with folder as its current directory. Returns the process handle;
// empty when the program could not be started (error then holds the system
// error code).
UniqueHandleKernel StartProgramInFolder(const std::wstring& path, const std::wstring& folder,
                                        DWORD& error);
UniqueHandleKernel StartProgramInFolder(const std::wstring& path, const std::wstring& folder);

// Waits until the process with that id ends. A process that is already gone
// (no process has that id) counts as ended. False when it is still running
// after the time-out or cannot be waited for; error then holds the system
// error (0 for the time-out).
bool WaitForProcessExit(DWORD processId, DWORD timeoutMilliseconds, DWORD& error);
