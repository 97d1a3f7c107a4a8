#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "common/file_retry.h"
#include "common/link_guard.h"
#include "selfupdate/diary.h"
#include "selfupdate/staging_tree.h"

// True when no item below the guard's root on the way to path, path itself
// included, is a link (see LinkGuard::IsLinkFree). Otherwise writes "Refused
// to write through a link: <link>" and leaves ERROR_REPARSE_POINT_ENCOUNTERED
// as the last error.
bool CheckLinkFree(LinkGuard& guard, const std::wstring& path, const Diary& diary);

// Puts the staged files at the same relative paths below the installation
// folder, keeping a backup of every file it replaces, and takes everything
// back when one file fails. The staging folder is only read. Nothing is
// written, created or removed through a link: every folder on the way from
// the installation folder is checked right before and held until the swap is
// over.
class StagedFileSwap {
  public:
    StagedFileSwap(std::wstring installFolder, std::wstring stagingFolder, RetryPolicy retry,
                   const Diary& diary);

    // Creates the staged folders and copies every staged file over its
    // target. When any step fails or throws, logs which file failed and why,
    // restores every replaced file from its backup, removes what was added
    // and returns false; the installation is then as it was before, or
    // rolledBackCompletely() is false and the diary has a "Not restored:"
    // line for each file and folder that is not.
    bool Apply(const StagingTree& staged);

    // After a successful Apply: lets go of the held folders and deletes the
    // backups. Returns false (and logs) when some could not be removed; the
    // update itself stands.
    bool DiscardBackups();

    // After a failed Apply: true when the installation is as it was (every
    // replaced file back, every added file and folder gone).
    bool rolledBackCompletely() const { return rolledBackCompletely_; }

    const std::vector<std::wstring>& replaced() const { return replaced_; }
    const std::vector<std::wstring>& added() const { return added_; }

  private:
    struct Step {
        std::wstring relative;  // a file, or a folder this swap created
        bool hadOldFile;
        bool isFolder;
        bool undone;
    };

    bool ApplySteps(const StagingTree& staged);
    bool ChooseBackupFolder(const StagingTree& staged);
    bool EnsureFolder(const std::wstring& base, const std::wstring& relative, bool record);
    bool PlaceFile(const std::wstring& relative);
    void ReserveStep();
    bool Fail(const std::wstring& relative, const wchar_t* reason, DWORD error) const;
    void Rollback();
    bool UndoFile(const Step& step);
    bool UndoFolder(const Step& step);

    std::wstring installFolder_;
    std::wstring stagingFolder_;
    RetryPolicy retry_;
    const Diary& diary_;
    std::optional<LinkGuard> guard_;  // from Apply on, until the rollback or DiscardBackups
    std::wstring backupFolder_;
    std::vector<Step> steps_;  // in the order they were done
    std::vector<std::wstring> replaced_;
    std::vector<std::wstring> added_;
    bool rolledBackCompletely_ = true;
};
