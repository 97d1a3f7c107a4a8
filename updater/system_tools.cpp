#include <windows.h>

#include <algorithm>
#include <cwchar>

#include "updater/system_tools.h"

#include "common/command_line.h"
#include "common/process.h"
#include "updater/archive_paths.h"
#include "updater/exe_guard.h"
#include "updater/extract.h"
#include "common/update_log.h"

namespace {

const wchar_t kTarName[] = L"tar.exe";
const wchar_t kPowerShellName[] = L"WindowsPowerShell\\v1.0\\powershell.exe";

std::wstring Format(const wchar_t* format, int first, int second = 0) {
    wchar_t text[96];
    swprintf(text, sizeof(text) / sizeof(text[0]), format, first, second);
    return text;
}

std::wstring ToolPath(const std::wstring& systemFolder, const std::wstring& nativeSystemFolder,
                      const wchar_t* name) {
    if (systemFolder.empty()) {
        return std::wstring();  // nothing to start: a bare name would be searched for
    }
    const std::wstring path = systemFolder + L"\\" + name;
    if (nativeSystemFolder.empty() || GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return path;
    }
    const std::wstring native = nativeSystemFolder + L"\\" + name;
    return GetFileAttributesW(native.c_str()) != INVALID_FILE_ATTRIBUTES ? native : path;
}

// The text a folder query wrote into buffer; empty when it failed or did not fit.
std::wstring QueriedFolder(const wchar_t* buffer, UINT length) {
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

// One plain run of an extraction tool in folder: the diary's start line and,
// when given, a status text before it runs; its end in the diary as
// "<tool> finished.", "<tool> failed. ExitCode=..." or "<tool> failed to
// start. Win32=..."; "Extracting... 100%" when it succeeded.
bool RunExtractionTool(const wchar_t* tool, const std::wstring& startLine,
                       const wchar_t* startStatus, const std::wstring& command,
                       const std::wstring& folder, const StatusCallback& progress) {
    LogUpdate(L"%s", startLine.c_str());
    if (startStatus != nullptr) {
        progress(startStatus);
    }
    DWORD exitCode = 1;
    if (!RunProcess(command, HiddenIn(folder), exitCode)) {
        LogUpdate(L"%s failed to start. Win32=%lu", tool, exitCode);
        return false;
    }
    if (exitCode != 0) {
        LogUpdate(L"%s failed. ExitCode=%lu", tool, exitCode);
        return false;
    }
    LogUpdate(L"%s finished.", tool);
    progress(L"Extracting... 100%");
    return true;
}

}  // namespace

SystemTools FindSystemTools(const std::wstring& systemFolder,
                            const std::wstring& nativeSystemFolder) {
    return SystemTools{ToolPath(systemFolder, nativeSystemFolder, kTarName),
                       ToolPath(systemFolder, nativeSystemFolder, kPowerShellName)};
}

SystemTools LocateSystemTools() {
    wchar_t buffer[MAX_PATH] = {};
    const std::wstring systemFolder = QueriedFolder(buffer, GetSystemDirectoryW(buffer, MAX_PATH));
    std::wstring nativeFolder;
    BOOL wow64 = FALSE;
    if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64) {
        nativeFolder =
            QueriedFolder(buffer, GetWindowsDirectoryW(buffer, MAX_PATH)) + L"\\Sysnative";
    }
    return FindSystemTools(systemFolder, nativeFolder);
}

bool CountTarEntries(const std::wstring& archivePath, const std::wstring& destination,
                     int& entryCount, bool& hasLauncherArtifacts, const StatusCallback& progress,
                     const std::wstring& tarPath) {
    DWORD exitCode = 1;
    const std::wstring command = QuoteArgument(tarPath) + L" -tf " + QuoteArgument(archivePath);
    LogUpdate(L"Counting archive entries: %s", command.c_str());

    const OutputLineCallback countEntry = [&](const std::string& line) {
        ++entryCount;
        if (IsLauncherManagedArtifact(line)) {
            hasLauncherArtifacts = true;
        }
        if (entryCount == 1 || entryCount % 1000 == 0) {
            const int percent = std::min(entryCount / 250, 90) + 5;
            progress(Format(L"Opening archive... %d%% (%d files)", percent, entryCount));
        }
    };
    const bool started = RunProcess(command, HiddenIn(destination, countEntry), exitCode);

    if (started && exitCode == 0 && entryCount >= 1) {
        LogUpdate(L"Archive entry count finished. Entries=%d", entryCount);
        progress(L"Opening archive... 100%");
        return true;
    }
    if (started) {
        LogUpdate(L"Archive entry count failed. ExitCode=%lu Entries=%d", exitCode, entryCount);
    } else {
        LogUpdate(L"Archive entry count failed to start. Win32=%lu", exitCode);
    }
    return false;
}

bool ExtractZipWithTarProgress(const std::wstring& archivePath, const std::wstring& destination,
                               int totalEntries, const StatusCallback& progress,
                               const std::wstring& tarPath) {
    DWORD exitCode = 1;
    int extracted = 0;
    int lastPercent = -1;
    const std::wstring command = QuoteArgument(tarPath) + L" -xvf " + QuoteArgument(archivePath) +
                                 L" -C " + QuoteArgument(destination);
    LogUpdate(L"Native extraction start: %s", command.c_str());

    const OutputLineCallback countExtracted = [&](const std::string& line) {
        if (line.empty()) {
            return;
        }
        ++extracted;
        const int percent = totalEntries >= 1 ? extracted * 100 / totalEntries : 0;
        if (percent != lastPercent) {
            lastPercent = percent;
            progress(Format(L"Extracting... %d%%", percent));
        }
    };
    const bool started = RunProcess(command, HiddenIn(destination, countExtracted), exitCode);

    if (!started) {
        LogUpdate(L"Native tar extraction failed to start. Win32=%lu", exitCode);
        return false;
    }
    if (exitCode != 0) {
        LogUpdate(L"Native tar extraction failed. ExitCode=%lu ExtractedEntries=%d/%d", exitCode,
                  extracted, totalEntries);
        return false;
    }
    LogUpdate(L"Native tar extraction finished. ExtractedEntries=%d/%d", extracted, totalEntries);
    progress(L"Extracting... 100%");
    return true;
}

bool ExtractWithSystemTools(const std::wstring& archivePath, const std::wstring& destination,
                            const StatusCallback& progress, const SystemTools& tools) {
    const std::wstring archive = GetFullPath(archivePath);
    const std::wstring folder = GetFullPath(destination);
    CreateDirectoryW(folder.c_str(), nullptr);

    int entryCount = 0;
    bool hasLauncherArtifacts = false;
    if (CountTarEntries(archive, folder, entryCount, hasLauncherArtifacts, progress, tools.tar)) {
        if (hasLauncherArtifacts) {
            // clang-format off
            LogUpdate(L"Archive contains launcher-managed artifacts. Skipping native extraction so variant filtering can run.");
            // clang-format on
            return false;
        }
        if (ExtractZipWithTarProgress(archive, folder, entryCount, progress, tools.tar)) {
            return true;
        }
    }

    const std::wstring tarCommand = QuoteArgument(tools.tar) + L" -xf " + QuoteArgument(archive) +
                                    L" -C " + QuoteArgument(folder);
    if (RunExtractionTool(L"Native tar extraction", L"Native extraction start: " + tarCommand,
                          nullptr, tarCommand, folder, progress)) {
        return true;
    }

    const std::wstring powerShellCommand =
        QuoteArgument(tools.powerShell) +
        L" -NoProfile -ExecutionPolicy Bypass -Command \"Expand-Archive -LiteralPath " +
        QuotePowerShellLiteral(archive) + L" -DestinationPath " + QuotePowerShellLiteral(folder) +
        L" -Force\"";
    return RunExtractionTool(L"PowerShell extraction", L"PowerShell extraction start.",
                             L"Extracting with PowerShell...", powerShellCommand, folder, progress);
}
