#include <windows.h>

#include "app/main_window.h"

// The launcher takes no command-line options.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return RunLauncher(instance);
}
