#include "common/folder_tree.h"

#include <cwchar>

#include "common/path.h"
#include "common/win_handle.h"

bool IsDotEntry(const wchar_t* name) {
    return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

bool RemoveFolderTree(const std::wstring& folder, std::wstring& leftPath, DWORD& error) {
    bool complete = true;
    auto remember = [&](const std::wstring& path) {
        if (complete) {
            leftPath = path;
            error = GetLastError();
        }
        complete = false;
    };
    // A folder that is itself a link goes as a link: what it points to stays.
    const DWORD own = GetFileAttributesW(folder.c_str());
    if (own != INVALID_FILE_ATTRIBUTES && (own & FILE_ATTRIBUTE_REPARSE_POINT)) {
        if (!RemoveDirectoryW(folder.c_str()) && !DeleteFileW(folder.c_str())) {
            remember(folder);
        }
        return complete;
    }
    WIN32_FIND_DATAW data;
    {
        UniqueFind find(FindFirstFileW(JoinPath(folder, L"*").c_str(), &data));
        if (find) {
            do {
                if (IsDotEntry(data.cFileName)) {
                    continue;
                }
                const std::wstring child = JoinPath(folder, data.cFileName);
                const DWORD attributes = data.dwFileAttributes;
                if (attributes & FILE_ATTRIBUTE_READONLY) {
                    SetFileAttributesW(child.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
                }
                if ((attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                    !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                    std::wstring nestedLeft;
                    DWORD nestedError = 0;
                    if (!RemoveFolderTree(child, nestedLeft, nestedError)) {
                        SetLastError(nestedError);
                        remember(nestedLeft);
                    }
                } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                    if (!RemoveDirectoryW(child.c_str())) {
                        remember(child);
                    }
                } else if (!DeleteFileW(child.c_str())) {
                    remember(child);
                }
            } while (FindNextFileW(find.get(), &data));
        }
    }
    if (!RemoveDirectoryW(folder.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        remember(folder);
    }
    return complete;
}
