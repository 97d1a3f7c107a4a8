#include <windows.h>
#include <shlwapi.h>

#include <string>

#include "common/win_handle.h"
#include "updater/program_folder.h"
#include "updater/update_log.h"
#include "updater/updater.h"
#include "updater/variant_names.h"

namespace {

const DWORD kModuleNameUnits = 260;

const wchar_t kFailureCaption[] = L"Vantora Launcher Update";
const wchar_t kFailureText[] =
    L"The update archive was downloaded, but extraction failed.\n\n"
    L"The launcher saved this update version so it will not keep re-downloading the same "
    L"archive.\n\n"
    L"Choose Try Again to retry extraction now.\n"
    L"Choose Continue after manually extracting the zip here.\n"
    L"Choose Cancel to stop the updater.";

// Restarts the launcher when its own file name cannot be read. Both builds
// fall back to the same name.
const wchar_t kFallbackLauncherName[] = L"Tessaly.exe";

// The program's file name as the module-name call gives it; length receives
// the call's result.
std::wstring ReadModuleFileName(const ModuleFileNameFunction& moduleFileName, DWORD& length) {
    wchar_t buffer[kModuleNameUnits] = {};
    length = moduleFileName(buffer, kModuleNameUnits);
    buffer[kModuleNameUnits - 1] = L'\0';  // a cut-short name may lack its terminator
    if (length == 0) {
        buffer[0] = L'\0';
    }
    return buffer;
}

std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) {
        path.pop_back();
    }
    return path;
}

std::wstring Quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

}  // namespace

DWORD SystemModuleFileName(wchar_t* buffer, DWORD size) {
    return GetModuleFileNameW(nullptr, buffer, size);
}

std::wstring GetModuleFolder(const ModuleFileNameFunction& moduleFileName) {
    DWORD length = 0;
    std::wstring path = ReadModuleFileName(moduleFileName, length);
    path.push_back(L'\0');  // room for PathRemoveFileSpecW to work in place
    PathRemoveFileSpecW(&path[0]);
    std::wstring folder(path.c_str());
    if (folder.empty() || folder.back() != L'\\') {
        folder.push_back(L'\\');
    }
    return folder;
}

bool Updater::HandleExtractionFailure(const std::wstring& archivePath,
                                      const std::wstring& destination, const std::string& stamp) {
    WriteVersionFile(stamp);
    haltedAfterExtractionFailure = true;

    int answer = 0;
    for (;;) {
        ReportStatus(L"Extraction failed. Waiting for user action.");
        answer = showMessageBox(nullptr, kFailureText, kFailureCaption,
                                MB_CANCELTRYCONTINUE | MB_ICONERROR | MB_DEFBUTTON2);
        if (answer != IDTRYAGAIN) {
            break;
        }
        haltedAfterExtractionFailure = false;
        if (ExtractZip(archivePath, destination)) {
            return true;
        }
        haltedAfterExtractionFailure = true;
    }

    if (answer == IDCONTINUE) {
        LogUpdate(L"User confirmed manual extraction for version %S.", stamp.c_str());
        ReportStatus(L"Manual extraction confirmed.");
        haltedAfterExtractionFailure = false;
        return true;
    }
    // Cancel, or a box that was closed otherwise or could not be shown.
    LogUpdate(L"Updater halted after extraction failure for version %S.", stamp.c_str());
    ReportStatus(L"Update halted after extraction failure.");
    return false;
}

bool Updater::RunSelfUpdater() {
    const std::wstring programFolder = GetModuleFolder(moduleFileName);
    const std::wstring installFolder = WithoutTrailingSeparators(programFolder);
    const std::wstring updaterName = variantNames->selfUpdaterProgram;
    const std::wstring updaterPath = programFolder + updaterName;

    DWORD length = 0;
    std::wstring launcherPath = ReadModuleFileName(moduleFileName, length);
    if (length < 1 || length >= kModuleNameUnits) {
        launcherPath = programFolder + kFallbackLauncherName;
    }
    const std::wstring stagingPath = programFolder + selfUpdateFolder;

    if (!PathFileExistsW(updaterPath.c_str())) {
        ReportStatus(updaterName + L" not found.");
        return false;
    }

    const std::wstring commandLine =
        Quoted(updaterPath) + L" " + std::to_wstring(GetCurrentProcessId()) + L" " +
        Quoted(stagingPath) + L" " + Quoted(installFolder) + L" " + Quoted(launcherPath);
    std::wstring buffer = commandLine;  // CreateProcessW may write into its command line
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &buffer[0], nullptr, nullptr, FALSE, 0, nullptr,
                        programFolder.c_str(), &startup, &process)) {
        ReportStatus(L"Failed to launch self updater.");
        return false;
    }
    UniqueHandleKernel processHandle(process.hProcess);
    UniqueHandleKernel threadHandle(process.hThread);
    return true;
}
