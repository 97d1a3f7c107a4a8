#include <windows.h>
#include <shlwapi.h>

#include <string>

#include "common/command_line.h"
#include "common/path.h"
#include "common/process.h"
#include "common/update_log.h"
#include "updater/updater.h"
#include "updater/variant_names.h"

namespace {

const wchar_t kFailureCaption[] = L"Vantora Launcher Update";
const wchar_t kFailureText[] =
    L"The update archive was downloaded, but extraction failed.\n\n"
    L"The launcher saved this update version so it will not keep re-downloading the same "
    L"archive.\n\n"
    L"Choose Try Again to retry extraction now.\n"
    L"Choose Continue after manually extracting the zip here.\n"
    L"Choose Cancel to stop the updater.";

}  // namespace

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
        // A retry may have been refused for a program in use; the archive now
        // counts as applied, so that must not be reported as the reason
        // should a later step of the run fail.
        blockedByRunningExecutable = false;
        runningExecutablePath.clear();
        return true;
    }
    // Cancel, or a box that was closed otherwise or could not be shown.
    LogUpdate(L"Updater halted after extraction failure for version %S.", stamp.c_str());
    ReportStatus(L"Update halted after extraction failure.");
    return false;
}

bool Updater::RunSelfUpdater() {
    const std::wstring launcherPath = ModulePath(moduleFileName);
    const std::wstring programFolder = FolderOf(launcherPath);
    const std::wstring updaterName = variantNames->selfUpdaterProgram;
    const std::wstring updaterPath = programFolder + updaterName;
    const std::wstring stagingPath = programFolder + selfUpdateFolder;

    if (programFolder.empty() || !PathFileExistsW(updaterPath.c_str())) {
        ReportStatus(updaterName + L" not found.");
        return false;
    }

    const std::wstring commandLine = QuoteArgument(updaterPath) + L" " +
                                     std::to_wstring(GetCurrentProcessId()) + L" " +
                                     QuoteArgument(stagingPath) + L" " +
                                     QuoteArgument(WithoutTrailingSeparators(programFolder)) +
                                     L" " + QuoteArgument(launcherPath);
    ProcessOptions options;
    options.workingFolder = programFolder;
    DWORD error = 0;
    if (!RunProcess(commandLine, options, error)) {
        ReportStatus(L"Failed to launch self updater.");
        return false;
    }
    return true;
}
