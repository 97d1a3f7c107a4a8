#pragma once

#include <windows.h>

#include <functional>

#include "common/file_error.h"

// How often a file operation that failed because another program holds the
// file is tried before it counts as failed, the pause between tries, and
// which errors count as such a hold.
struct RetryPolicy {
    int attempts = 1;
    DWORD pauseMilliseconds = 0;
    bool (*isTransient)(DWORD error) = IsSharingError;
};

// Told the error of the first failed try when the operation is about to be
// tried again.
using RetryNotice = std::function<void(DWORD error)>;

// Runs op (which sets the last error when it fails) until it succeeds,
// retrying while the failure is one the policy counts as transient; onRetry,
// when set, hears of the first retry. Leaves the last error in error
// (ERROR_SUCCESS on success).
template <typename Operation>
bool WithRetry(const RetryPolicy& retry, Operation op, DWORD& error,
               const RetryNotice& onRetry = nullptr) {
    for (int attempt = 1;; ++attempt) {
        if (op()) {
            error = ERROR_SUCCESS;
            return true;
        }
        error = GetLastError();
        if (!retry.isTransient(error) || attempt >= retry.attempts) {
            return false;
        }
        if (attempt == 1 && onRetry) {
            onRetry(error);
        }
        Sleep(retry.pauseMilliseconds);
    }
}
