#include <windows.h>

#include "app/main_window.h"
#include "common/system_dlls.h"

// The launcher takes no command-line options.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    RestrictDllSearchToSystemFolder();
    return RunLauncher(instance);
}
