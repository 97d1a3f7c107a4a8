#pragma once

// The file names that differ between the two launcher builds. An update
// package carries the launcher and self-updater programs of both builds;
// each build stages its own launcher for the self-updater, skips the other
// build's two programs and writes its own self-updater like any other file.
struct VariantNames {
    const wchar_t* launcherProgram;     // this build's program file
    const wchar_t* selfUpdaterProgram;  // started to replace the launcher
    // Lower-case file names as they are compared with archive entries.
    const char* stagedLauncher;  // redirected into the staging folder
    const char* skipped[2];      // the other build's launcher and self-updater
    const char* ownSelfUpdater;  // written like any other file
};

extern const VariantNames kX64VariantNames;
extern const VariantNames kWin7VariantNames;

// The table of the build this program was compiled as.
const VariantNames& CurrentVariantNames();
