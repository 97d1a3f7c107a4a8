#include "app/background_work.h"

#include <shlwapi.h>

#include <memory>
#include <utility>

#include "app/launcher_messages.h"
#include "common/process.h"
#include "common/site.h"
#include "common/update_log.h"
#include "common/win_handle.h"
#include "patchnotes/patch_notes.h"
#include "patchnotes/web_fetch.h"
#include "updater/updater.h"

namespace {

constexpr wchar_t kPatchNotesPath[] = L"/patchnotes/patchnotes.php";
constexpr wchar_t kFileCheckTool[] = L"Corvath.exe";

void PostStatus(const BackgroundWorkHooks& hooks, const std::wstring& text) {
    hooks.statusMailbox->Put(text, [&hooks] { return hooks.post(WM_LAUNCHER_STATUS, 0, 0); });
}

void PostPatchNotes(const BackgroundWorkHooks& hooks) {
    std::vector<uint8_t> body;
    std::vector<PatchNoteBlock> blocks;
    if (!hooks.fetchPage(kPatchNotesPath, body)) {
        blocks.push_back(MessageBlock(L"Failed to fetch patch notes."));
    } else {
        const std::string page(body.begin(), body.end());
        blocks = BuildPatchNotes(CutToShownPatchNotes(page));
    }
    PostPayload(hooks.post, WM_LAUNCHER_PATCHNOTES,
                std::make_unique<std::vector<PatchNoteBlock>>(std::move(blocks)));
}

enum class FileCheck { kPassed, kFailed };

// Runs "Corvath.exe" from the game folder and waits for it. Posts the final
// status itself when the check does not pass.
FileCheck RunFileCheckTool(HWND window, const std::wstring& gameDirectory,
                           const BackgroundWorkHooks& hooks) {
    PostStatus(hooks, L"Updater failed. Falling back to Corvath...");
    const std::wstring toolPath = gameDirectory + kFileCheckTool;
    if (!PathFileExistsW(toolPath.c_str())) {
        PostStatus(hooks, L"Corvath.exe not found.");
        return FileCheck::kFailed;
    }
    UniqueHandleKernel processHandle = StartProgramInFolder(toolPath, gameDirectory);
    if (!processHandle) {
        PostStatus(hooks, L"Failed to launch Corvath.exe.");
        return FileCheck::kFailed;
    }
    WaitForSingleObject(processHandle.get(), INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(processHandle.get(), &exitCode);
    processHandle.reset();
    if (exitCode != 0) {
        hooks.messageBox(window, L"Update failed. Please try again.", L"Vantora Launcher",
                         MB_ICONERROR | MB_OK);
        PostStatus(hooks, L"Corvath reported an error.");
        return FileCheck::kFailed;
    }
    return FileCheck::kPassed;
}

}  // namespace

BackgroundWorkHooks BackgroundWorkHooks::ForWindow(HWND window,
                                                   std::shared_ptr<StatusMailbox> mailbox) {
    BackgroundWorkHooks hooks;
    hooks.statusMailbox = std::move(mailbox);
    hooks.fetchPage = [](const std::wstring& path, std::vector<uint8_t>& body) {
        return FetchFromWebSite(path, body);
    };
    hooks.runUpdate = [](Updater& updater) { return updater.Run(); };
    hooks.post = [window](UINT message, WPARAM wParam, LPARAM lParam) {
        return PostMessageW(window, message, wParam, lParam) != FALSE;
    };
    hooks.messageBox = SystemMessageBox;
    return hooks;
}

std::wstring RunningExecutableWarning(const std::wstring& runningExecutablePath) {
    std::wstring text = L"The update could not replace a running executable.";
    if (!runningExecutablePath.empty()) {
        text += L"\n\nClose this program and run the update again:\n" + runningExecutablePath;
    }
    return text;
}

void RunBackgroundWork(HWND window, const std::wstring& gameDirectory,
                       const BackgroundWorkHooks& hooks) {
    PostStatus(hooks, L"Fetching patch notes...");
    PostPatchNotes(hooks);

    PostStatus(hooks, L"Checking for updates...");
    Updater updater;
    updater.baseUrl = UpdateFolderUrl();
    updater.onStatus = [&hooks](const std::wstring& text) { PostStatus(hooks, text); };
    updater.showMessageBox = hooks.messageBox;  // the extraction-failure dialog

    bool updated = false;
    try {
        updated = hooks.runUpdate(updater);
    } catch (const std::exception& error) {
        // The run stopped where nothing expected it to: fail as any other
        // failed run does, with the file check.
        LogUpdate(L"Internal error: %S", error.what());
    }
    if (!updated) {
        if (updater.haltedAfterExtractionFailure) {
            PostStatus(hooks, L"Update halted after extraction failure.");
            return;
        }
        if (updater.blockedByRunningExecutable) {
            hooks.messageBox(window, RunningExecutableWarning(updater.runningExecutablePath),
                             L"Vantora Launcher Update", MB_ICONWARNING | MB_OK);
            PostStatus(hooks, L"Update stopped because an executable is still running.");
            return;
        }
        if (RunFileCheckTool(window, gameDirectory, hooks) != FileCheck::kPassed) {
            return;
        }
    }

    if (updater.launcherUpdatePending) {
        PostStatus(hooks, L"Restarting launcher to finish update...");
        hooks.post(WM_CLOSE, 0, 0);
        return;
    }
    PostStatus(hooks, L"Ready to start.");
    hooks.post(WM_LAUNCHER_READY, 0, 0);
}
