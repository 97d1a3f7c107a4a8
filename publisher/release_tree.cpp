#include "publisher/release_tree.h"

#include <algorithm>

#include "common/path.h"
#include "common/text.h"
#include "common/win_handle.h"

namespace {

bool IsDotName(const wchar_t* name) {
    return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

bool LessIgnoringCase(const TreeItem& a, const TreeItem& b) {
    const int order =
        CompareStringOrdinal(a.relative.c_str(), static_cast<int>(a.relative.size()),
                             b.relative.c_str(), static_cast<int>(b.relative.size()), TRUE);
    return order == CSTR_LESS_THAN;
}

// Appends the items below folder (relative to the tree's root), depth first.
bool ListFolder(const std::wstring& root, const std::wstring& folder, std::vector<TreeItem>& items,
                std::wstring& error) {
    const std::wstring base = folder.empty() ? root : JoinPath(root, folder);
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileExW(JoinPath(base, L"*").c_str(), FindExInfoBasic, &data,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find) {
        error = L"Cannot read the folder " + base + L" (Win32 error " +
                std::to_wstring(GetLastError()) + L").";
        return false;
    }
    std::vector<TreeItem> here;
    do {
        if (IsDotName(data.cFileName)) {
            continue;
        }
        TreeItem item;
        item.relative = folder.empty() ? data.cFileName : folder + L"\\" + data.cFileName;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            error = L"The release tree holds a link: " + item.relative +
                    L". Publish the files themselves.";
            return false;
        }
        item.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        item.size = item.folder ? 0 : (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        item.written = data.ftLastWriteTime;
        here.push_back(std::move(item));
    } while (FindNextFileW(find.get(), &data));
    if (GetLastError() != ERROR_NO_MORE_FILES) {
        error = L"Cannot read the folder " + base + L".";
        return false;
    }
    find.reset();
    std::sort(here.begin(), here.end(), LessIgnoringCase);
    for (TreeItem& item : here) {
        const bool folderItem = item.folder;
        const std::wstring relative = item.relative;
        items.push_back(std::move(item));
        if (folderItem && !ListFolder(root, relative, items, error)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ListTree(const std::wstring& root, std::vector<TreeItem>& items, std::wstring& error) {
    items.clear();
    const std::wstring full = ExtendedLengthPath(root);
    const DWORD attributes = GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = L"Not a folder: " + root;
        return false;
    }
    return ListFolder(full, L"", items, error);
}

std::wstring ItemPath(const std::wstring& root, const TreeItem& item) {
    return JoinPath(ExtendedLengthPath(root), item.relative);
}

std::string EntryName(const TreeItem& item) {
    std::string name = WideToUtf8(item.relative);
    std::replace(name.begin(), name.end(), '\\', '/');
    if (item.folder) {
        name += '/';
    }
    return name;
}

std::wstring FoldCase(std::wstring name) {
    if (!name.empty()) {
        CharUpperBuffW(&name[0], static_cast<DWORD>(name.size()));
    }
    return name;
}
