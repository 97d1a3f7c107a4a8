#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "selfupdate/staging_tree.h"

// The four arguments the launcher passes, checked and normalized.
struct SelfUpdateArguments {
    DWORD launcherProcessId = 0;
    std::wstring stagingFolder;    // below installFolder
    std::wstring installFolder;    // set as soon as argument 3 passed its own check
    std::wstring launcherProgram;  // below installFolder, outside stagingFolder
    StagingTree staged;            // the staging folder's content, free of reparse points
};

// Reads a process id written as plain decimal digits (no sign, no blanks),
// from 1 to 4294967295.
bool ParseProcessId(const std::wstring& text, DWORD& processId);

// Checks the arguments (without the program name) before anything is
// touched: four of them; a decimal process id; the installation and staging
// folders absolute and existing, the staging folder inside the installation
// folder; the launcher program inside the installation folder and outside
// the staging folder; no reparse point in the staging tree and no staged
// file that would land inside the staging folder again. On refusal
// refusal holds a sentence for the diary that says what is wrong.
bool CheckSelfUpdateArguments(const std::vector<std::wstring>& arguments,
                              SelfUpdateArguments& checked, std::wstring& refusal);
