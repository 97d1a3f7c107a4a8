#include "selfupdate/staging_tree.h"

#include <algorithm>

#include "common/win_handle.h"
#include "common/folder_tree.h"
#include "common/path.h"

namespace {

bool ListFolder(const std::wstring& root, const std::wstring& relative, StagingTree& tree,
                std::wstring& problemPath, DWORD& error) {
    const std::wstring folder = relative.empty() ? root : JoinPath(root, relative);
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW(JoinPath(folder, L"*").c_str(), &data));
    if (!find) {
        problemPath = folder;
        error = GetLastError();
        return false;
    }
    do {
        if (IsDotEntry(data.cFileName)) {
            continue;
        }
        const std::wstring child =
            relative.empty() ? std::wstring(data.cFileName) : JoinPath(relative, data.cFileName);
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            problemPath = JoinPath(root, child);
            error = 0;
            return false;
        }
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            tree.folders.push_back(child);
            if (!ListFolder(root, child, tree, problemPath, error)) {
                return false;
            }
        } else {
            tree.files.push_back(child);
        }
    } while (FindNextFileW(find.get(), &data));
    const DWORD last = GetLastError();
    if (last != ERROR_NO_MORE_FILES) {
        problemPath = folder;
        error = last;
        return false;
    }
    return true;
}

}  // namespace

bool ListStagingTree(const std::wstring& stagingFolder, StagingTree& tree,
                     std::wstring& problemPath, DWORD& error) {
    tree = StagingTree();
    const DWORD attributes = GetFileAttributesW(stagingFolder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        problemPath = stagingFolder;
        error = GetLastError();
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        problemPath = stagingFolder;
        error = 0;
        return false;
    }
    if (!ListFolder(stagingFolder, std::wstring(), tree, problemPath, error)) {
        return false;
    }
    std::sort(tree.files.begin(), tree.files.end(),
              [](const std::wstring& a, const std::wstring& b) {
                  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                              static_cast<int>(b.size()), TRUE) == CSTR_LESS_THAN;
              });
    return true;
}
