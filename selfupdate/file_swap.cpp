#include "selfupdate/file_swap.h"

#include <utility>

#include "common/folder_tree.h"
#include "common/path.h"
#include "common/win_handle.h"

namespace {

const wchar_t kBackupFolderName[] = L"_launcher_self_update_backup";
const DWORD kErrorLinkInTheWay = 4395;  // ERROR_REPARSE_POINT_ENCOUNTERED

bool Exists(const std::wstring& path, DWORD& attributes) {
    attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES;
}

std::wstring FirstComponent(const std::wstring& relative) {
    const size_t slash = relative.find(L'\\');
    return slash == std::wstring::npos ? relative : relative.substr(0, slash);
}

// Copies source to a new file at target. The source is opened as itself and
// held without delete sharing meanwhile, so that it cannot be swapped for a
// link before the copy reads it; a link in its place is refused. Nothing that
// is at target already, a link included, is written over.
bool CopyHeldFile(const std::wstring& source, const std::wstring& target) {
    UniqueFile held(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    const DWORD attributes = held ? OpenFileAttributes(held.get()) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        SetLastError(kErrorLinkInTheWay);
        return false;
    }
    const bool copied = CopyFileW(source.c_str(), target.c_str(), TRUE) != FALSE;
    const DWORD error = GetLastError();
    held.reset();
    SetLastError(error);
    return copied;
}

}  // namespace

bool CheckLinkFree(LinkGuard& guard, const std::wstring& path, const Diary& diary) {
    std::wstring link;
    if (guard.IsLinkFree(path, link)) {
        return true;
    }
    diary.Write(L"Refused to write through a link: %s", link.c_str());
    SetLastError(kErrorLinkInTheWay);
    return false;
}

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
        backupFolder_.reserve(path.size());  // so that the folder is known once made
        if (CreateDirectoryW(path.c_str(), nullptr)) {
            backupFolder_ = path;
            return CheckLinkFree(*guard_, path, diary_);
        }
        diary_.Write(L"Could not create backup folder %s. Win32=%lu", path.c_str(), GetLastError());
        return false;
    }
    diary_.Write(L"Could not find a free name for the backup folder in %s.",
                 installFolder_.c_str());
    return false;
}

bool StagedFileSwap::EnsureFolder(const std::wstring& base, const std::wstring& relative,
                                  bool record) {
    size_t end = 0;
    while (end != std::wstring::npos) {
        end = relative.find(L'\\', end + 1);
        Step created{relative.substr(0, end), false, true, false};
        const std::wstring path = JoinPath(base, created.relative);
        if (!CheckLinkFree(*guard_, path, diary_)) {
            return false;
        }
        DWORD attributes = 0;
        if (Exists(path, attributes)) {
            if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                SetLastError(ERROR_ALREADY_EXISTS);
                return false;
            }
            continue;
        }
        ReserveStep();  // a folder that is made is always recorded
        if (!CreateDirectoryW(path.c_str(), nullptr)) {
            return false;
        }
        if (record) {
            steps_.push_back(std::move(created));
        }
    }
    return true;
}

bool StagedFileSwap::Apply(const StagingTree& staged) {
    bool applied = false;
    try {
        guard_.emplace(installFolder_);
        applied = ApplySteps(staged);
    } catch (...) {
        diary_.WriteInternalError();
    }
    if (!applied) {
        try {
            Rollback();
        } catch (...) {
            diary_.WriteInternalError();
        }
    }
    return applied;
}

bool StagedFileSwap::ApplySteps(const StagingTree& staged) {
    if (!ChooseBackupFolder(staged)) {
        return false;
    }
    for (const std::wstring& folder : staged.folders) {
        if (!EnsureFolder(installFolder_, folder, true)) {
            return Fail(folder, L"could not create the folder", GetLastError());
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
    if (!parent.empty() && !EnsureFolder(installFolder_, parent, true)) {
        return Fail(relative, L"could not create its folder", GetLastError());
    }
    const std::wstring target = JoinPath(installFolder_, relative);
    const std::wstring source = JoinPath(stagingFolder_, relative);
    if (!CheckLinkFree(*guard_, target, diary_)) {
        return Fail(relative, L"could not write the new file", GetLastError());
    }
    DWORD attributes = 0;
    Step step{relative, Exists(target, attributes), false, false};
    if (step.hadOldFile && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return Fail(relative, L"a folder of that name is in the way", ERROR_DIRECTORY);
    }
    DWORD error = 0;
    ReserveStep();  // an old file that is moved is always recorded
    if (step.hadOldFile) {
        const std::wstring backup = JoinPath(backupFolder_, relative);
        // Mirror the folders below the backup folder; it is removed whole.
        if ((!parent.empty() && !EnsureFolder(backupFolder_, parent, false)) ||
            !CheckLinkFree(*guard_, backup, diary_)) {
            return Fail(relative, L"could not move the old file to the backup", GetLastError());
        }
        if (!WithRetry(
                retry_, [&] { return MoveFileExW(target.c_str(), backup.c_str(), 0) != FALSE; },
                error, diary_.InUseNotice(target))) {
            return Fail(relative, L"could not move the old file to the backup", error);
        }
    }
    steps_.push_back(std::move(step));
    if (!CheckLinkFree(*guard_, target, diary_) || !CheckLinkFree(*guard_, source, diary_)) {
        return Fail(relative, L"could not write the new file", GetLastError());
    }
    if (!WithRetry(
            retry_, [&] { return CopyHeldFile(source, target); }, error,
            diary_.InUseNotice(target))) {
        if (error == kErrorLinkInTheWay) {
            diary_.Write(L"Refused to write through a link: %s", source.c_str());
        }
        return Fail(relative, L"could not write the new file", error);
    }
    (steps_.back().hadOldFile ? replaced_ : added_).push_back(relative);
    return true;
}

void StagedFileSwap::ReserveStep() {
    if (steps_.size() == steps_.capacity()) {
        steps_.reserve(2 * steps_.size() + 8);
    }
}

bool StagedFileSwap::Fail(const std::wstring& relative, const wchar_t* reason, DWORD error) const {
    diary_.Write(L"Self-update failed on %s: %s. Win32=%lu",
                 JoinPath(installFolder_, relative).c_str(), reason, error);
    return false;
}

void StagedFileSwap::Rollback() {
    diary_.Write(L"Rolling back the self-update.");
    rolledBackCompletely_ = false;
    bool complete = true;
    // The files first, while the folders above them are held; then the
    // folders the swap created, which a held folder would keep in place.
    for (const bool folders : {false, true}) {
        if (folders) {
            guard_.reset();
        }
        for (auto step = steps_.rbegin(); step != steps_.rend(); ++step) {
            if (step->isFolder != folders) {
                continue;
            }
            try {
                step->undone = folders ? UndoFolder(*step) : UndoFile(*step);
            } catch (...) {
                diary_.WriteInternalError();
            }
            complete = complete && step->undone;
        }
    }
    rolledBackCompletely_ = complete;
    // The backup folder goes only when every old file is back in place.
    if (complete) {
        std::wstring left;
        DWORD error = 0;
        if (!backupFolder_.empty()) {
            RemoveFolderTree(backupFolder_, left, error);
        }
        diary_.Write(L"Self-update rolled back; the installation is as it was.");
    } else {
        diary_.Write(L"Self-update rolled back incompletely; the old files are kept in %s.",
                     backupFolder_.c_str());
        for (const Step& step : steps_) {
            if (step.undone) {
                continue;
            }
            const std::wstring path = JoinPath(installFolder_, step.relative);
            if (step.hadOldFile) {
                diary_.Write(L"Not restored: %s (the old file is in %s)", path.c_str(),
                             JoinPath(backupFolder_, step.relative).c_str());
            } else if (step.isFolder) {
                diary_.Write(
                    L"Not restored: %s (a folder this update created; it could not be removed)",
                    path.c_str());
            } else {
                diary_.Write(
                    L"Not restored: %s (a file this update added; it could not be removed)",
                    path.c_str());
            }
        }
    }
    steps_.clear();
    replaced_.clear();
    added_.clear();
}

bool StagedFileSwap::UndoFile(const Step& step) {
    const std::wstring target = JoinPath(installFolder_, step.relative);
    if (!CheckLinkFree(*guard_, target, diary_)) {
        return false;
    }
    DWORD attributes = 0;
    DWORD error = 0;
    if (Exists(target, attributes)) {
        if (attributes & FILE_ATTRIBUTE_READONLY) {
            SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        }
        if (!WithRetry(
                retry_, [&] { return DeleteFileW(target.c_str()) != FALSE; }, error,
                diary_.InUseNotice(target))) {
            diary_.Write(L"Rollback could not remove the new file %s. Win32=%lu", target.c_str(),
                         error);
            return false;
        }
    }
    if (!step.hadOldFile) {
        return true;
    }
    const std::wstring backup = JoinPath(backupFolder_, step.relative);
    if (!CheckLinkFree(*guard_, backup, diary_)) {
        return false;
    }
    if (!WithRetry(
            retry_, [&] { return MoveFileExW(backup.c_str(), target.c_str(), 0) != FALSE; }, error,
            diary_.InUseNotice(target))) {
        diary_.Write(L"Rollback could not restore %s from %s. Win32=%lu", target.c_str(),
                     backup.c_str(), error);
        return false;
    }
    return true;
}

bool StagedFileSwap::UndoFolder(const Step& step) {
    const std::wstring folder = JoinPath(installFolder_, step.relative);
    // The folders above are held while this one goes; a link in its place
    // is left alone.
    LinkGuard above(installFolder_);
    if (!CheckLinkFree(above, ParentFolder(folder), diary_)) {
        return false;
    }
    if (IsReparsePoint(folder)) {
        diary_.Write(L"Refused to write through a link: %s", folder.c_str());
        return false;
    }
    if (!RemoveDirectoryW(folder.c_str())) {
        diary_.Write(L"Rollback could not remove the folder %s. Win32=%lu", folder.c_str(),
                     GetLastError());
        return false;
    }
    return true;
}

bool StagedFileSwap::DiscardBackups() {
    guard_.reset();  // a held folder cannot be removed
    std::wstring left;
    DWORD error = 0;
    const auto remove = [&] {
        DWORD removeError = 0;
        const bool removed = RemoveFolderTree(backupFolder_, left, removeError);
        SetLastError(removeError);
        return removed;
    };
    if (WithRetry(retry_, remove, error, diary_.InUseNotice(backupFolder_))) {
        return true;
    }
    diary_.Write(L"Could not remove the backup %s. Win32=%lu", left.c_str(), error);
    return false;
}
