#pragma once

#include <windows.h>

#include <string>

#include "common/file_error.h"
#include "selfupdate/diary.h"

// How often a file operation that failed because another program holds the
// file (sharing violation, access denied, lock violation) is tried before it
// counts as failed, and the pause between tries.
struct RetryPolicy {
    int attempts = 10;
    DWORD pauseMilliseconds = 300;
};

inline bool IsTransientFileError(DWORD error) {
    return IsSharingError(error) || error == ERROR_USER_MAPPED_FILE;
}

// Runs op (which sets the last error when it fails) until it succeeds,
// retrying while the failure is one that another program's open handle
// causes; the first retry is written to the diary. Leaves the last error in
// *error (0 on success).
template <typename Operation>
bool WithRetry(const RetryPolicy& retry, const Diary& diary, const std::wstring& path, Operation op,
               DWORD* error) {
    for (int attempt = 1;; ++attempt) {
        if (op()) {
            *error = 0;
            return true;
        }
        *error = GetLastError();
        if (!IsTransientFileError(*error) || attempt >= retry.attempts) {
            return false;
        }
        if (attempt == 1) {
            diary.Write(L"File is in use, retrying: %s Win32=%lu", path.c_str(), *error);
        }
        Sleep(retry.pauseMilliseconds);
    }
}
