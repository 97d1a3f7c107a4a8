#include "updater/exe_guard.h"

#include <windows.h>
#include <restartmanager.h>
#include <shlwapi.h>

#include <vector>

#include "common/path.h"
#include "common/text.h"
#include "common/update_log.h"
#include "common/win_handle.h"
#include "updater/archive_paths.h"
#include "updater/archive_plan.h"
#include "updater/variant_names.h"

namespace {

// Ends a Restart Manager session when it goes out of scope.
class RestartManagerSession {
  public:
    RestartManagerSession() {
        WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
        started_ = RmStartSession(&handle_, 0, key) == ERROR_SUCCESS;
    }
    ~RestartManagerSession() {
        if (started_) {
            RmEndSession(handle_);
        }
    }
    RestartManagerSession(const RestartManagerSession&) = delete;
    RestartManagerSession& operator=(const RestartManagerSession&) = delete;

    bool started() const { return started_; }
    DWORD handle() const { return handle_; }

  private:
    DWORD handle_ = 0;
    bool started_ = false;
};

// True when Restart Manager names at least one process that holds the file.
bool RestartManagerReportsUse(const std::wstring& path) {
    RestartManagerSession session;
    if (!session.started()) {
        return false;
    }
    LPCWSTR files[] = {path.c_str()};
    if (RmRegisterResources(session.handle(), 1, files, 0, nullptr, 0, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    UINT needed = 0;
    UINT count = 0;
    DWORD reasons = RmRebootReasonNone;
    DWORD result = RmGetList(session.handle(), &needed, &count, nullptr, &reasons);
    if (result == ERROR_MORE_DATA) {
        if (needed == 0) {
            return false;
        }
        std::vector<RM_PROCESS_INFO> processes(needed);
        count = needed;
        result = RmGetList(session.handle(), &needed, &count, processes.data(), &reasons);
    }
    return result == ERROR_SUCCESS && count > 0;
}

// True when the file cannot be opened exclusively because another handle
// holds it (sharing or lock violation).
bool ExclusiveOpenIsRefused(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
        return false;
    }
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

}  // namespace

std::string LowerFileName(const std::string& entryName) {
    const std::string lower =
        WithoutTrailingDotsAndSpaces(AsciiLower(NormalizeEntryPath(entryName)));
    const size_t slash = lower.rfind('\\');
    return slash == std::string::npos ? lower : lower.substr(slash + 1);
}

namespace {

bool SameFileName(const std::wstring& fileName, const char* lowerName) {
    return SamePath(fileName, Utf8ToWide(lowerName));
}

ResolvedNameRules RulesForEntryName(const std::string& entryName, const VariantNames& names) {
    return RulesForResolvedName(Utf8ToWide(LowerFileName(entryName)), names);
}

}  // namespace

ResolvedNameRules RulesForResolvedName(const std::wstring& fileName, const VariantNames& names) {
    ResolvedNameRules rules;
    rules.staged = SameFileName(fileName, names.stagedLauncher);
    rules.skipped =
        SameFileName(fileName, names.skipped[0]) || SameFileName(fileName, names.skipped[1]);
    rules.artifact = rules.staged || rules.skipped || SameFileName(fileName, names.ownSelfUpdater);
    const wchar_t kExe[] = L".exe";
    rules.program = fileName.size() >= 4 && SamePath(fileName.substr(fileName.size() - 4), kExe);
    return rules;
}

bool IsLauncherManagedArtifact(const std::string& entryName) {
    return RulesForEntryName(entryName, CurrentVariantNames()).artifact;
}

bool IsSkippedArtifact(const std::string& entryName, const VariantNames& names) {
    return RulesForEntryName(entryName, names).skipped;
}

bool IsStagedLauncher(const std::string& entryName, const VariantNames& names) {
    return RulesForEntryName(entryName, names).staged;
}

bool HasExeExtension(const std::string& entryName) {
    const std::string name = LowerFileName(entryName);
    return name.size() >= 4 && name.compare(name.size() - 4, 4, ".exe") == 0;
}

bool IsFileInUse(const std::wstring& fullPath) {
    if (!PathFileExistsW(fullPath.c_str())) {
        return false;
    }
    if (RestartManagerReportsUse(fullPath)) {
        return true;
    }
    return ExclusiveOpenIsRefused(fullPath);
}

bool FindRunningTargetInArchive(const std::wstring& archivePath, const std::wstring& destination,
                                std::wstring& targetPath, const VariantNames& names) {
    ArchivePlan plan;
    // Staged entries are never checked, so where they would go does not matter.
    if (!plan.Read(archivePath, destination, destination, names)) {
        LogUpdate(L"Could not preflight archive for running executables with miniz.");
        return false;
    }
    return plan.FindRunningProgram(targetPath);
}

bool ArchiveHasLauncherArtifacts(const std::wstring& archivePath) {
    ArchivePlan plan;
    if (!plan.Read(archivePath, L".", L".", CurrentVariantNames())) {
        LogUpdate(L"Could not preflight archive for launcher-managed artifacts with miniz.");
        return false;
    }
    return plan.HasLauncherArtifacts();
}
