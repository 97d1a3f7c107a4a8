// One update run of the current folder from the compiled-in site, as the
// launcher's worker makes it, without a window: every dialog is answered
// with Cancel. Exit code 0 when the run brought the folder up to date, 1
// when it stopped, 2 when something escaped the run.
#include <windows.h>

#include <exception>

#include "common/site.h"
#include "updater/updater.h"

int wmain() {
    Updater updater;
    updater.baseUrl = UpdateFolderUrl();
    updater.showMessageBox = [](HWND, const std::wstring&, const std::wstring&, UINT) {
        return IDCANCEL;
    };
    try {
        return updater.Run() ? 0 : 1;
    } catch (const std::exception&) {
        return 2;
    }
}
