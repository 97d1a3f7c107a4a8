#include "selfupdate/file_swap.h"

#include <utility>

#include "common/folder_tree.h"
#include "common/path.h"

namespace {

const wchar_t kBackupFolderName[] = L"_launcher_self_update_backup";

bool Exists(const std::wstring& path, DWORD* attributes) {
    *attributes = GetFileAttributesW(path.c_str());
    return *attributes != INVALID_FILE_ATTRIBUTES;
}

std::wstring FirstComponent(const std::wstring& relative) {
    const size_t slash = relative.find(L'\\');
    return slash == std::wstring::npos ? relative : relative.substr(0, slash);
}

}  // namespace

StagedFileSwap::StagedFileSwap(std::wstring installFolder, std::wstring stagingFolder,
                               RetryPolicy retry, const Diary& diary)
    : installFolder_(std::move(installFolder)),
      stagingFolder_(std::move(stagingFolder)),
      retry_(retry),
      diary_(diary) {}

bool StagedFileSwap::ChooseBackupFolder(const StagingTree& staged) {
    for (int number = 1; number < 100; ++number) {
        std::wstring name = kBackupFolderName;
        if (number > 1) {
            name += L"-" + std::to_wstring(number);
        }
        bool taken = false;
        for (const auto* list : {&staged.folders, &staged.files}) {
            for (const std::wstring& item : *list) {
                taken = taken || SamePath(FirstComponent(item), name);
            }
        }
        const std::wstring path = JoinPath(installFolder_, name);
        if (taken || GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
            continue;
        }
        if (CreateDirectoryW(path.c_str(), nullptr)) {
            backupFolder_ = path;
            return true;
        }
        diary_.Write(L"Could not create backup folder %s. Win32=%lu", path.c_str(), GetLastError());
        return false;
    }
    diary_.Write(L"Could not find a free name for the backup folder in %s.",
                 installFolder_.c_str());
    return false;
}

bool StagedFileSwap::EnsureFolder(const std::wstring& relative, std::wstring* failedPath) {
    size_t end = 0;
    while (end != std::wstring::npos) {
        end = relative.find(L'\\', end + 1);
        const std::wstring path = JoinPath(installFolder_, relative.substr(0, end));
        DWORD attributes = 0;
        if (Exists(path, &attributes)) {
            if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                *failedPath = path;
                SetLastError(ERROR_ALREADY_EXISTS);
                return false;
            }
            continue;
        }
        if (!CreateDirectoryW(path.c_str(), nullptr)) {
            *failedPath = path;
            return false;
        }
        createdFolders_.push_back(path);
    }
    return true;
}

bool StagedFileSwap::Apply(const StagingTree& staged) {
    if (!ChooseBackupFolder(staged)) {
        return false;
    }
    std::wstring failedPath;
    for (const std::wstring& folder : staged.folders) {
        if (!EnsureFolder(folder, &failedPath)) {
            Fail(folder, L"could not create the folder", GetLastError());
            return false;
        }
    }
    for (const std::wstring& file : staged.files) {
        if (!PlaceFile(file)) {
            return false;
        }
    }
    return true;
}

bool StagedFileSwap::PlaceFile(const std::wstring& relative) {
    const std::wstring parent = ParentFolder(relative);
    std::wstring failedPath;
    if (!parent.empty() && !EnsureFolder(parent, &failedPath)) {
        Fail(relative, L"could not create its folder", GetLastError());
        return false;
    }
    const std::wstring target = JoinPath(installFolder_, relative);
    const std::wstring source = JoinPath(stagingFolder_, relative);
    DWORD attributes = 0;
    const bool hadOldFile = Exists(target, &attributes);
    if (hadOldFile && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        Fail(relative, L"a folder of that name is in the way", ERROR_DIRECTORY);
        return false;
    }
    DWORD error = 0;
    if (hadOldFile) {
        const std::wstring backup = JoinPath(backupFolder_, relative);
        const std::wstring backupParent = ParentFolder(relative);
        if (!backupParent.empty()) {
            // Mirror the folders below the backup folder; it is removed whole.
            size_t end = 0;
            while (end != std::wstring::npos) {
                end = backupParent.find(L'\\', end + 1);
                CreateDirectoryW(JoinPath(backupFolder_, backupParent.substr(0, end)).c_str(),
                                 nullptr);
            }
        }
        if (!WithRetry(
                retry_, diary_, target,
                [&] { return MoveFileExW(target.c_str(), backup.c_str(), 0) != FALSE; }, &error)) {
            Fail(relative, L"could not move the old file to the backup", error);
            return false;
        }
    }
    steps_.push_back(Step{relative, hadOldFile});
    if (!WithRetry(
            retry_, diary_, target,
            [&] { return CopyFileW(source.c_str(), target.c_str(), FALSE) != FALSE; }, &error)) {
        Fail(relative, L"could not write the new file", error);
        return false;
    }
    (hadOldFile ? replaced_ : added_).push_back(relative);
    return true;
}

void StagedFileSwap::Fail(const std::wstring& relative, const wchar_t* reason, DWORD error) {
    diary_.Write(L"Self-update failed on %s: %s. Win32=%lu",
                 JoinPath(installFolder_, relative).c_str(), reason, error);
    Rollback();
}

void StagedFileSwap::Rollback() {
    diary_.Write(L"Rolling back the self-update.");
    bool complete = true;
    std::vector<std::wstring> notRestored;
    DWORD error = 0;
    for (auto step = steps_.rbegin(); step != steps_.rend(); ++step) {
        const std::wstring target = JoinPath(installFolder_, step->relative);
        DWORD attributes = 0;
        if (Exists(target, &attributes)) {
            if (attributes & FILE_ATTRIBUTE_READONLY) {
                SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
            }
            if (!WithRetry(
                    retry_, diary_, target, [&] { return DeleteFileW(target.c_str()) != FALSE; },
                    &error)) {
                diary_.Write(L"Rollback could not remove the new file %s. Win32=%lu",
                             target.c_str(), error);
                complete = false;
                if (step->hadOldFile) {
                    notRestored.push_back(step->relative);
                }
                continue;
            }
        }
        if (step->hadOldFile) {
            const std::wstring backup = JoinPath(backupFolder_, step->relative);
            if (!WithRetry(
                    retry_, diary_, target,
                    [&] { return MoveFileExW(backup.c_str(), target.c_str(), 0) != FALSE; },
                    &error)) {
                diary_.Write(L"Rollback could not restore %s from %s. Win32=%lu", target.c_str(),
                             backup.c_str(), error);
                complete = false;
                notRestored.push_back(step->relative);
            }
        }
    }
    for (auto folder = createdFolders_.rbegin(); folder != createdFolders_.rend(); ++folder) {
        if (!RemoveDirectoryW(folder->c_str())) {
            diary_.Write(L"Rollback could not remove the folder %s. Win32=%lu", folder->c_str(),
                         GetLastError());
            complete = false;
        }
    }
    // The backup folder goes only when every old file is back in place.
    if (complete) {
        std::wstring left;
        RemoveFolderTree(backupFolder_, &left, &error);
        diary_.Write(L"Self-update rolled back; the installation is as it was.");
    } else {
        diary_.Write(L"Self-update rolled back incompletely; the old files are kept in %s.",
                     backupFolder_.c_str());
        for (const std::wstring& relative : notRestored) {
            diary_.Write(L"Not restored: %s (the old file is in %s)",
                         JoinPath(installFolder_, relative).c_str(),
                         JoinPath(backupFolder_, relative).c_str());
        }
    }
    rolledBackCompletely_ = complete;
    steps_.clear();
    createdFolders_.clear();
    replaced_.clear();
    added_.clear();
}

bool StagedFileSwap::DiscardBackups() {
    std::wstring left;
    DWORD error = 0;
    if (WithRetry(
            retry_, diary_, backupFolder_,
            [&] {
                const bool removed = RemoveFolderTree(backupFolder_, &left, &error);
                SetLastError(error);
                return removed;
            },
            &error)) {
        return true;
    }
    diary_.Write(L"Could not remove the backup %s. Win32=%lu", left.c_str(), error);
    return false;
}
