#include "selfupdate/self_update.h"

#include "common/process.h"
#include "common/folder_tree.h"
#include "common/win_handle.h"
#include "selfupdate/arguments.h"
#include "selfupdate/diary.h"
#include "selfupdate/file_swap.h"
#include "selfupdate/retry.h"

namespace {

void StartLauncher(const SelfUpdateArguments& args, const Diary& diary, bool* started) {
    DWORD error = 0;
    *started =
        static_cast<bool>(StartProgramInFolder(args.launcherProgram, args.installFolder, &error));
    if (*started) {
        diary.Write(L"Started launcher: %s", args.launcherProgram.c_str());
    } else {
        diary.Write(L"Could not start launcher %s. Win32=%lu", args.launcherProgram.c_str(), error);
    }
}

}  // namespace

bool WaitForProcessExit(DWORD processId, DWORD timeoutMilliseconds, DWORD* error) {
    *error = 0;
    UniqueHandleKernel process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    if (!process) {
        *error = GetLastError();
        // No process has that id (any more).
        return *error == ERROR_INVALID_PARAMETER;
    }
    const DWORD result = WaitForSingleObject(process.get(), timeoutMilliseconds);
    if (result == WAIT_OBJECT_0) {
        return true;
    }
    *error = result == WAIT_TIMEOUT ? 0 : GetLastError();
    return false;
}

int RunSelfUpdate(const std::vector<std::wstring>& arguments, const std::wstring& ownFolder,
                  const SelfUpdateSettings& settings) {
    SelfUpdateArguments args;
    std::wstring refusal;
    const bool accepted = CheckSelfUpdateArguments(arguments, &args, &refusal);
    Diary diary(args.installFolder.empty() ? ownFolder : args.installFolder);
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
    if (!WaitForProcessExit(args.launcherProcessId, settings.launcherWaitMilliseconds, &error)) {
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

    StagedFileSwap swap(args.installFolder, args.stagingFolder, settings.retry, diary);
    bool started = false;
    if (!swap.Apply(args.staged)) {
        diary.Write(L"Self-update failed; the staging folder is kept: %s",
                    args.stagingFolder.c_str());
        StartLauncher(args, diary, &started);
        return swap.rolledBackCompletely() ? kSelfUpdateRolledBack : kSelfUpdateRollbackIncomplete;
    }
    for (const std::wstring& file : swap.replaced()) {
        diary.Write(L"Self-update replaced: %s", file.c_str());
    }
    for (const std::wstring& file : swap.added()) {
        diary.Write(L"Self-update added: %s", file.c_str());
    }
    swap.DiscardBackups();
    std::wstring left;
    const auto removeStaging = [&] {
        DWORD removeError = 0;
        const bool removed = RemoveFolderTree(args.stagingFolder, &left, &removeError);
        SetLastError(removeError);
        return removed;
    };
    if (!WithRetry(settings.retry, diary, args.stagingFolder, removeStaging, &error)) {
        diary.Write(L"Could not remove the staging folder %s. Win32=%lu", left.c_str(), error);
    }
    diary.Write(L"Self-update finished. Replaced=%d Added=%d",
                static_cast<int>(swap.replaced().size()), static_cast<int>(swap.added().size()));
    StartLauncher(args, diary, &started);
    return started ? kSelfUpdateDone : kSelfUpdateLauncherNotStarted;
}
