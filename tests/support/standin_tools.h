#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/win_handle.h"

// Copies the stand-in tool into folder under exeName ("tar.exe",
// "powershell.exe", or any program name). False when the copy failed.
bool InstallStandIn(const std::wstring& folder, const std::wstring& exeName);

// Installs stand-ins for tar.exe and PowerShell below systemFolder, where
// FindSystemTools(systemFolder, L"") finds them. False when a copy failed.
bool InstallSystemToolStandIns(const std::wstring& systemFolder);

// The folder of the stand-in for tool ("tar" or "powershell") below
// systemFolder: where its scripts go and its calls are recorded.
std::wstring SystemToolFolder(const std::wstring& systemFolder, const std::wstring& tool);

// Writes the script that the stand-in named tool ("tar") plays when its
// first argument is "-" + mode ("tf").
bool WriteStandInScript(const std::wstring& folder, const std::wstring& tool,
                        const std::wstring& mode, const std::string& script);

// How the stand-in named tool was started, in order (UTF-8).
struct StandInCall {
    std::string commandLine;
    std::string workingFolder;
};
std::vector<StandInCall> StandInCalls(const std::wstring& folder, const std::wstring& tool);

// Waits (at most 20 s each) until the stand-in installed at programPath has
// recorded a call and has ended, and returns its last command line split
// into arguments the way Windows programs split it. Empty when nothing was
// recorded in time.
std::vector<std::wstring> WaitForRecordedArguments(const std::wstring& programPath);

// Sets an environment variable of the test process (inherited by the
// programs it starts) and restores the old value when it goes away.
class ScopedEnvironmentVariable {
  public:
    ScopedEnvironmentVariable(const std::wstring& name, const std::wstring& value);
    ~ScopedEnvironmentVariable();
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

  private:
    std::wstring name_;
    std::wstring previous_;
    bool hadValue_ = false;
};

// A running program: the stand-in started from programPath, which stays
// alive until the object goes away (at most a minute), so that its file is in
// use meanwhile. The constructor returns once the program runs. The program
// gets no console at all: a console host made for it could outlive it and keep
// the test's output open.
class HeldProgram {
  public:
    explicit HeldProgram(const std::wstring& programPath);
    ~HeldProgram();
    HeldProgram(const HeldProgram&) = delete;
    HeldProgram& operator=(const HeldProgram&) = delete;

    bool started() const { return static_cast<bool>(process_); }

  private:
    std::wstring programPath_;
    UniqueHandleKernel process_;
};
