#pragma once

#include <string>
#include <vector>

// The stand-in program (tests/e2e/program_standin.cpp) copied into a test's
// game folder under the names the launcher starts.

// One recorded run of a stand-in.
struct StandinRun {
    std::wstring program;      // file name it ran as
    std::wstring folder;       // its current folder
    std::wstring commandLine;  // as the system passed it
};

// Copies the stand-in to folder\name; exitCode goes into name + ".exit".
bool InstallStandin(const std::wstring& folder, const std::wstring& name, int exitCode = 0);

// Every run recorded in folder\runs.log, in order.
std::vector<StandinRun> ReadStandinRuns(const std::wstring& folder);

// ReadStandinRuns once it holds at least count runs, or after timeoutMs.
std::vector<StandinRun> WaitForStandinRuns(const std::wstring& folder, size_t count,
                                           unsigned timeoutMs = 15000);
