#include <shlwapi.h>

#include "app/launcher_ui.h"
#include "common/process.h"

namespace {

constexpr wchar_t kClientProgram[] = L"VantoraOnlineClient.exe";

}  // namespace

void LauncherUI::StartGame() {
    bool closeAfterStart = true;
    if (!updateFinished) {
        const int answer = messageBox(window,
                                      L"The update is not finished yet. Starting the game now "
                                      L"might lead to issues later on.",
                                      L"Warning", MB_YESNO | MB_ICONWARNING);
        if (answer != IDYES) {
            return;
        }
        closeAfterStart = false;
    }
    std::wstring error;
    if (!PrepareUserSetupIni(error)) {
        messageBox(window, error, L"Vantora Launcher", MB_ICONERROR);
        return;
    }
    LaunchGameExecutable(kClientProgram, closeAfterStart);
}

void LauncherUI::LaunchGameExecutable(const std::wstring& exeName, bool closeLauncherOnSuccess) {
    const std::wstring path = gameDirectory + exeName;
    if (!PathFileExistsW(path.c_str())) {
        messageBox(window, exeName + L" not found.", L"Vantora Launcher", MB_ICONERROR);
        return;
    }
    if (!StartProgramInFolder(path, gameDirectory)) {
        messageBox(window, L"Failed to start " + exeName + L".", L"Vantora Launcher", MB_ICONERROR);
        return;
    }
    if (closeLauncherOnSuccess) {
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
}
