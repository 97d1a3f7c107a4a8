#include "common/link_guard.h"

#include <utility>

#include "common/path.h"

bool IsReparsePoint(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(ExtendedFullPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

DWORD OpenFileAttributes(HANDLE file) {
    // The basic information alone: 32-bit Wine under emulation fails on the
    // full record that GetFileInformationByHandle asks for.
    FILE_BASIC_INFO information;
    return GetFileInformationByHandleEx(file, FileBasicInfo, &information, sizeof(information))
               ? information.FileAttributes
               : INVALID_FILE_ATTRIBUTES;
}

LinkGuard::LinkGuard(std::wstring root) : root_(WithoutTrailingSeparators(std::move(root))) {}

bool LinkGuard::IsLinkFree(const std::wstring& path, std::wstring& link) {
    if (SamePath(path, root_)) {
        return true;
    }
    if (!IsInsideFolder(path, root_)) {
        link = path;
        return false;
    }
    // Each item in turn: the text up to the end of its component.
    for (size_t from = root_.size() + 1, end = 0; end != std::wstring::npos; from = end + 1) {
        end = path.find_first_of(L"\\/", from);
        std::wstring item = path.substr(0, end);
        // Held as written: two spellings of one name are both checked, and
        // no name passes for another that the file system tells apart.
        if (held_.count(item) != 0) {
            continue;
        }
        const std::wstring extended = ExtendedFullPath(item);
        const DWORD attributes = GetFileAttributesW(extended.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
                return true;  // nothing there
            }
            link = item;  // what cannot be looked at cannot be vouched for
            return false;
        }
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            link = item;
            return false;
        }
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            continue;
        }
        // Opened as itself, never through a link; the handle grants no delete
        // sharing, which keeps the folder where it is.
        UniqueFile folder(CreateFileW(extended.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                      nullptr));
        // A folder that cannot be held (another program has it open for
        // deleting or renaming) could still be swapped for a link.
        const DWORD held = folder ? OpenFileAttributes(folder.get()) : INVALID_FILE_ATTRIBUTES;
        if (held == INVALID_FILE_ATTRIBUTES || (held & FILE_ATTRIBUTE_REPARSE_POINT)) {
            link = item;
            return false;
        }
        handles_.push_back(std::move(folder));
        held_.insert(std::move(item));
    }
    return true;
}
