#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "selfupdate/diary.h"
#include "selfupdate/retry.h"
#include "selfupdate/staging_tree.h"

// Puts the staged files at the same relative paths below the installation
// folder, keeping a backup of every file it replaces, and takes everything
// back when one file fails. The staging folder is only read.
class StagedFileSwap {
  public:
    StagedFileSwap(std::wstring installFolder, std::wstring stagingFolder, RetryPolicy retry,
                   const Diary& diary);

    // Creates the staged folders and copies every staged file over its
    // target. When any step fails, logs which file failed and why, restores
    // every replaced file from its backup, removes what was added and
    // returns false; the installation is then as it was before.
    bool Apply(const StagingTree& staged);

    // After a successful Apply: deletes the backups. Returns false (and logs)
    // when some could not be removed; the update itself stands.
    bool DiscardBackups();

    // After a failed Apply: true when the installation is as it was (every
    // replaced file back, every added file and folder gone).
    bool rolledBackCompletely() const { return rolledBackCompletely_; }

    const std::vector<std::wstring>& replaced() const { return replaced_; }
    const std::vector<std::wstring>& added() const { return added_; }

  private:
    struct Step {
        std::wstring relative;
        bool hadOldFile;
    };

    bool ChooseBackupFolder(const StagingTree& staged);
    bool EnsureFolder(const std::wstring& relative, std::wstring* failedPath);
    bool PlaceFile(const std::wstring& relative);
    void Fail(const std::wstring& relative, const wchar_t* reason, DWORD error);
    void Rollback();

    std::wstring installFolder_;
    std::wstring stagingFolder_;
    RetryPolicy retry_;
    const Diary& diary_;
    std::wstring backupFolder_;
    std::vector<Step> steps_;
    std::vector<std::wstring> createdFolders_;  // full paths, in creation order
    std::vector<std::wstring> replaced_;
    std::vector<std::wstring> added_;
    bool rolledBackCompletely_ = true;
};
