#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "common/path.h"
#include "common/system_dlls.h"
#include "common/win_handle.h"
#include "selfupdate/self_update.h"

// The self-updater: started by the launcher with its process id, the staging
// folder, the installation folder and the launcher program; no window.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    RestrictDllSearchToSystemFolder();
    int count = 0;
    const UniqueLocal<LPWSTR*> argv(CommandLineToArgvW(GetCommandLineW(), &count));
    std::vector<std::wstring> arguments;
    for (int i = 1; argv && i < count; ++i) {
        arguments.emplace_back(argv.get()[i]);
    }
    return RunSelfUpdate(arguments, ModuleFolder(), SelfUpdateSettings());
}
