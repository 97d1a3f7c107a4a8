#include "selfupdate/self_update.h"

#include "common/file_retry.h"
#include "common/folder_tree.h"
#include "common/link_guard.h"
#include "common/path.h"
#include "common/process.h"
#include "common/win_handle.h"
#include "selfupdate/arguments.h"
#include "selfupdate/diary.h"
#include "selfupdate/file_swap.h"

namespace {

bool StartLauncher(const SelfUpdateArguments& args, const Diary& diary) {
    DWORD error = 0;
    bool started = false;
    try {
        started = static_cast<bool>(
            StartProgramInFolder(args.launcherProgram, args.installFolder, error));
    } catch (...) {
        diary.WriteInternalError();
    }
    if (started) {
        diary.Write(L"Started launcher: %s", args.launcherProgram.c_str());
    } else {
        diary.Write(L"Could not start launcher %s. Win32=%lu", args.launcherProgram.c_str(), error);
    }
    return started;
}

// Removes the staging folder, unless a folder between the installation
// folder and it is a link.
bool RemoveStagingFolder(const SelfUpdateArguments& args, const RetryPolicy& retry,
                         const Diary& diary) {
    LinkGuard above(args.installFolder);
    std::wstring left = args.stagingFolder;
    DWORD error = 0;
    const auto remove = [&] {
        DWORD removeError = 0;
        const bool removed = RemoveFolderTree(args.stagingFolder, left, removeError);
        SetLastError(removeError);
        return removed;
    };
    if (!CheckLinkFree(above, ParentFolder(args.stagingFolder), diary)) {
        error = GetLastError();
    } else if (WithRetry(retry, remove, error, diary.InUseNotice(args.stagingFolder))) {
        return true;
    }
    diary.Write(L"Could not remove the staging folder %s. Win32=%lu", left.c_str(), error);
    return false;
}

// Everything from the swap on. Once the swap has begun, nothing is thrown
// out of it.
int SwapAndStart(const SelfUpdateArguments& args, const SelfUpdateSettings& settings,
                 const Diary& diary) {
    StagedFileSwap swap(args.installFolder, args.stagingFolder, settings.retry, diary);
    if (!swap.Apply(args.staged)) {
        diary.Write(L"Self-update failed; the staging folder is kept: %s",
                    args.stagingFolder.c_str());
        const bool started = StartLauncher(args, diary);
        if (swap.rolledBackCompletely()) {
            return started ? kSelfUpdateRolledBack : kSelfUpdateRolledBackLauncherNotStarted;
        }
        return started ? kSelfUpdateRollbackIncomplete
                       : kSelfUpdateRollbackIncompleteLauncherNotStarted;
    }
    bool removed = false;
    try {
        for (const std::wstring& file : swap.replaced()) {
            diary.Write(L"Self-update replaced: %s", file.c_str());
        }
        for (const std::wstring& file : swap.added()) {
            diary.Write(L"Self-update added: %s", file.c_str());
        }
        const bool backupsRemoved = swap.DiscardBackups();
        removed = RemoveStagingFolder(args, settings.retry, diary) && backupsRemoved;
        diary.Write(L"Self-update finished. Replaced=%d Added=%d",
                    static_cast<int>(swap.replaced().size()),
                    static_cast<int>(swap.added().size()));
    } catch (...) {
        diary.WriteInternalError();
    }
    if (!StartLauncher(args, diary)) {
        return kSelfUpdateLauncherNotStarted;
    }
    return removed ? kSelfUpdateDone : kSelfUpdateDoneWithLeftovers;
}

}  // namespace

int RunSelfUpdate(const std::vector<std::wstring>& arguments, const std::wstring& ownFolder,
                  const SelfUpdateSettings& settings) {
    SelfUpdateArguments args;
    try {
        std::wstring refusal;
        const bool accepted = CheckSelfUpdateArguments(arguments, args, refusal);
        const Diary diary(args.installFolder.empty() ? ownFolder : args.installFolder);
        if (!accepted) {
            diary.Write(L"Self-update refused: %s", refusal.c_str());
            return kSelfUpdateRefused;
        }
        diary.Write(
            L"Self-update started. Launcher process %lu, staging folder %s, launcher %s, "
            L"%d staged files.",
            args.launcherProcessId, args.stagingFolder.c_str(), args.launcherProgram.c_str(),
            static_cast<int>(args.staged.files.size()));

        DWORD error = 0;
        if (!WaitForProcessExit(args.launcherProcessId, settings.launcherWaitMilliseconds, error)) {
            if (error == 0) {
                diary.Write(
                    L"Launcher process %lu is still running after %lu ms. Self-update "
                    L"stopped; nothing was changed.",
                    args.launcherProcessId, settings.launcherWaitMilliseconds);
            } else {
                diary.Write(
                    L"Could not wait for launcher process %lu. Win32=%lu. Self-update "
                    L"stopped; nothing was changed.",
                    args.launcherProcessId, error);
            }
            return kSelfUpdateLauncherStillRunning;
        }
        diary.Write(L"Launcher process %lu has ended.", args.launcherProcessId);
        return SwapAndStart(args, settings, diary);
    } catch (...) {
        const Diary diary(args.installFolder.empty() ? ownFolder : args.installFolder);
        diary.WriteInternalError();
        diary.Write(L"Self-update stopped; nothing was changed.");
        return kSelfUpdateInternalError;
    }
}
