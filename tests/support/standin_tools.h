#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/win_handle.h"

// Copies the stand-in tool into folder under exeName ("tar.exe",
// "powershell.exe", or any program name). False when the copy failed.
bool InstallStandIn(const std::wstring& folder, const std::wstring& exeName);

// Writes the script that the stand-in named tool ("tar") plays when its
// first argument is "-" + mode ("tf").
bool WriteStandInScript(const std::wstring& folder, const std::wstring& tool,
                        const std::wstring& mode, const std::string& script);

// The command lines the stand-in named tool was started with, in order.
std::vector<std::string> StandInCalls(const std::wstring& folder, const std::wstring& tool);

// A running program: the stand-in started from programPath, which stays
// alive until the object goes away (at most a minute), so that its file is in
// use meanwhile.
class HeldProgram {
  public:
    explicit HeldProgram(const std::wstring& programPath);
    ~HeldProgram();
    HeldProgram(const HeldProgram&) = delete;
    HeldProgram& operator=(const HeldProgram&) = delete;

    bool started() const { return static_cast<bool>(process_); }

  private:
    UniqueHandleKernel process_;
};
