#include "updater/file_replace.h"

#include <atomic>
#include <cwchar>
#include <vector>

namespace {

const int kMoveAttempts = 10;
const DWORD kMovePauseMs = 100;
const DWORD kCopyBlockSize = 256 * 1024;

bool IsReadOnlyFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

}  // namespace

bool IsSharingError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION;
}

UniqueFile CreateTempFileBeside(const std::wstring& target, std::wstring& tempPath) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t suffix[48];
        _snwprintf(suffix, 47, L".~%lx-%x.tmp", GetCurrentProcessId(), counter++);
        suffix[47] = L'\0';
        tempPath = target + suffix;
        UniqueFile file(CreateFileW(tempPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file || GetLastError() != ERROR_FILE_EXISTS) {
            if (!file) {
                tempPath.clear();
            }
            return file;
        }
    }
    tempPath.clear();
    return UniqueFile();
}

bool MoveOverTarget(const std::wstring& source, const std::wstring& target, DWORD& error) {
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(source.c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            error = ERROR_SUCCESS;
            return true;
        }
        error = GetLastError();
        // A read-only target refuses the move for good; waiting cannot help.
        if (attempt == kMoveAttempts || !IsSharingError(error) || IsReadOnlyFile(target)) {
            return false;
        }
        Sleep(kMovePauseMs);
    }
}

bool CopyIntoExistingFile(const std::wstring& source, const std::wstring& target,
                          const FILETIME* modified, DWORD& error) {
    UniqueFile in(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in) {
        error = GetLastError();
        return false;
    }
    UniqueFile out(CreateFileW(target.c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) {
        error = GetLastError();
        return false;
    }
    std::vector<char> buffer(kCopyBlockSize);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(in.get(), buffer.data(), kCopyBlockSize, &read, nullptr)) {
            error = GetLastError();
            return false;
        }
        if (read == 0) {
            break;
        }
        DWORD written = 0;
        if (!WriteFile(out.get(), buffer.data(), read, &written, nullptr) || written != read) {
            error = GetLastError();
            return false;
        }
    }
    if (!SetEndOfFile(out.get()) || !FlushFileBuffers(out.get())) {
        error = GetLastError();
        return false;
    }
    if (modified != nullptr) {
        SetFileTime(out.get(), nullptr, nullptr, modified);
    }
    error = ERROR_SUCCESS;
    return true;
}
