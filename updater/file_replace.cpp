#include "updater/file_replace.h"

#include <atomic>
#include <cwchar>
#include <cwctype>
#include <vector>

#include "common/file_retry.h"
#include "common/process.h"
#include "updater/archive_paths.h"

namespace {

const wchar_t kScratchMarker[] = L".~";
const wchar_t kScratchEnd[] = L".tmp";

// A target that another program holds for a moment.
const RetryPolicy kMoveRetry = {10, 100, IsSharingError};
const DWORD kCopyBlockSize = 256 * 1024;

bool IsReadOnlyFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

// Reads one to eight hex digits of name from at up to (not including) stop.
bool ParseHex(const std::wstring& name, size_t at, size_t stop, DWORD& value) {
    if (stop <= at || stop - at > 8) {
        return false;
    }
    value = 0;
    for (size_t i = at; i < stop; ++i) {
        if (!iswxdigit(name[i])) {
            return false;
        }
        value = value * 16 + static_cast<DWORD>(iswdigit(name[i]) ? name[i] - L'0'
                                                                  : towlower(name[i]) - L'a' + 10);
    }
    return true;
}

// The process id in a scratch name "<target>.~<pid>-<n>.tmp"; false for
// every other name.
bool ScratchOwner(const std::wstring& name, std::wstring& target, DWORD& processId) {
    const size_t endLength = wcslen(kScratchEnd);
    const size_t marker = name.rfind(kScratchMarker);
    if (marker == std::wstring::npos || marker == 0 || name.size() < endLength ||
        _wcsicmp(name.c_str() + name.size() - endLength, kScratchEnd) != 0) {
        return false;
    }
    const size_t digits = marker + wcslen(kScratchMarker);
    const size_t dash = name.find(L'-', digits);
    const size_t end = name.size() - endLength;
    DWORD counter = 0;
    if (dash == std::wstring::npos || dash > end || !ParseHex(name, digits, dash, processId) ||
        !ParseHex(name, dash + 1, end, counter)) {
        return false;
    }
    target = name.substr(0, marker);
    return true;
}

// False when no process has that id now, or when the one that has it
// started after the scratch file was made (the id was given out again: a
// later launcher often gets the id of one that was killed, and must not
// take that one's scratch files for its own). A process that cannot be
// looked at counts as the owner.
bool OwnerMayStillWrite(DWORD processId, const FILETIME& made) {
    DWORD error = 0;
    if (WaitForProcessExit(processId, 0, error)) {
        return false;
    }
    UniqueHandleKernel process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    FILETIME started, exited, kernel, user;
    return !process || !GetProcessTimes(process.get(), &started, &exited, &kernel, &user) ||
           CompareFileTime(&started, &made) <= 0;
}

}  // namespace

void RemoveLeftoverScratchFiles(const std::wstring& folder, const std::wstring& targetName) {
    const std::wstring pattern = folder + L"\\" + (targetName.empty() ? L"*" : targetName) +
                                 kScratchMarker + L"*" + kScratchEnd;
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW(pattern.c_str(), &data));
    if (!find) {
        return;
    }
    do {
        std::wstring target;
        DWORD processId = 0;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            ScratchOwner(data.cFileName, target, processId) &&
            (targetName.empty() || _wcsicmp(target.c_str(), targetName.c_str()) == 0) &&
            !OwnerMayStillWrite(processId, data.ftCreationTime)) {
            DeleteFileW((folder + L"\\" + data.cFileName).c_str());
        }
    } while (FindNextFileW(find.get(), &data));
}

UniqueFile CreateTempFileBeside(const std::wstring& target, std::wstring& tempPath) {
    static std::atomic<unsigned> counter{0};
    const std::wstring base = ExtendedLengthPath(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t suffix[48];
        _snwprintf(suffix, 47, L"%ls%lx-%x%ls", kScratchMarker, GetCurrentProcessId(), counter++,
                   kScratchEnd);
        suffix[47] = L'\0';
        tempPath = base + suffix;
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
    // Windows refuses to replace a read-only file; some systems that run
    // Windows programs do not, so the rule is applied here.
    if (IsReadOnlyFile(target)) {
        error = ERROR_ACCESS_DENIED;
        return false;
    }
    const std::wstring from = ExtendedLengthPath(source);
    const std::wstring to = ExtendedLengthPath(target);
    return WithRetry(
        kMoveRetry,
        [&] {
            return MoveFileExW(from.c_str(), to.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
        },
        error);
}

bool PutScratchInPlace(const std::wstring& scratchPath, const std::wstring& target,
                       const FILETIME* modified, bool& moved) {
    DWORD error = ERROR_SUCCESS;
    moved = MoveOverTarget(scratchPath, target, error);
    if (moved) {
        return true;
    }
    return IsSharingError(error) && GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES &&
           CopyIntoExistingFile(scratchPath, target, modified, error);
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

ScratchFile::~ScratchFile() {
    if (!path_.empty()) {
        DeleteFileW(path_.c_str());
    }
}

bool ScratchFile::Write(const std::wstring& target, const std::string& text, DWORD& error) {
    UniqueFile file = CreateTempFileBeside(target, path_);
    if (!file) {
        error = GetLastError();
        path_.clear();  // nothing of ours to remove
        return false;
    }
    DWORD written = 0;
    if (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size() || !FlushFileBuffers(file.get())) {
        error = GetLastError();
        return false;
    }
    error = ERROR_SUCCESS;
    return true;
}

bool ScratchFile::MoveOver(const std::wstring& target, DWORD& error) {
    if (!MoveOverTarget(path_, target, error)) {
        return false;
    }
    path_.clear();
    return true;
}

bool ReplaceFileContents(const std::wstring& path, const std::string& text, DWORD& error) {
    ScratchFile scratch;
    return scratch.Write(path, text, error) && scratch.MoveOver(path, error);
}
