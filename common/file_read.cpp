#include "common/file_read.h"

#include "common/win_handle.h"

bool ReadFileBytes(const std::wstring& path, std::string& bytes, size_t limit, DWORD& error) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = GetLastError();
        return false;
    }
    std::string text;
    char block[65536];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), block, sizeof(block), &read, nullptr)) {
            error = GetLastError();
            return false;
        }
        if (read == 0) {
            break;
        }
        if (text.size() + read > limit) {
            error = ERROR_FILE_TOO_LARGE;
            return false;
        }
        text.append(block, read);
    }
    bytes.swap(text);
    error = ERROR_SUCCESS;
    return true;
}

bool ReadFileBytes(const std::wstring& path, std::string& bytes, size_t limit) {
    DWORD error = 0;
    return ReadFileBytes(path, bytes, limit, error);
}
