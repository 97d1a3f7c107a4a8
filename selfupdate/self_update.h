#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/file_retry.h"

// Exit codes of the self-updater (the README's table).
enum SelfUpdateExitCode : int {
    // files replaced, staging folder and backups removed, launcher started
    kSelfUpdateDone = 0,
    kSelfUpdateRefused = 2,               // arguments refused, nothing changed
    kSelfUpdateLauncherStillRunning = 3,  // the launcher did not exit, nothing changed
    kSelfUpdateRolledBack = 4,          // a file failed, everything put back, old launcher started
    kSelfUpdateLauncherNotStarted = 5,  // files replaced, but the launcher could not be started
    // a file failed and the rollback could not put everything back (the
    // diary names each file and folder; old files stay in the backup
    // folder), old launcher started
    kSelfUpdateRollbackIncomplete = 6,
    // files replaced, launcher started, but the staging folder or a backup
    // is left (the diary names it)
    kSelfUpdateDoneWithLeftovers = 7,
    // 8 and 9 are 4 and 6 when the old launcher could not be started
    kSelfUpdateRolledBackLauncherNotStarted = 8,
    kSelfUpdateRollbackIncompleteLauncherNotStarted = 9,
    kSelfUpdateInternalError = 10,  // an internal error before anything changed, nothing changed
};

struct SelfUpdateSettings {
    DWORD launcherWaitMilliseconds = 60 * 1000;
    // A file that another program holds or has mapped is tried ten times,
    // 300 ms apart.
    RetryPolicy retry = {10, 300, IsTransientFileError};
};

// The whole self-update: checks the four arguments (launcher process id,
// staging folder, installation folder, launcher program), waits for the
// launcher to exit, swaps the staged files in with backups, and starts the
// launcher again. Every step is written to "updateerror.txt" in the
// installation folder; a refusal that happens before the installation folder
// is known goes to ownFolder (the self-updater's own folder).
int RunSelfUpdate(const std::vector<std::wstring>& arguments, const std::wstring& ownFolder,
                  const SelfUpdateSettings& settings);
