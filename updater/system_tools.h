#pragma once

#include <string>

// Full paths of the system's own tools. Started by full path, never by bare
// name: the search for a bare name looks into the launcher's folder and the
// current folder (the game folder) first.
struct SystemTools {
    std::wstring tar;
    std::wstring powerShell;
};

// The tools below systemFolder: "tar.exe" and
// "WindowsPowerShell\v1.0\powershell.exe". A tool missing there is taken from nativeSystemFolder
// when that is given and holds it (a 32-bit program on 64-bit Windows sees a
// redirected system folder that may lack a tool the native one has).
SystemTools FindSystemTools(const std::wstring& systemFolder,
                            const std::wstring& nativeSystemFolder);

// The tools of the running system: GetSystemDirectoryW, and "Sysnative"
// below the Windows folder for a 32-bit program on 64-bit Windows.
SystemTools LocateSystemTools();
