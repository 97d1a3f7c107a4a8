#pragma once

#include <windows.h>

// True for the errors a brief hold on a file by another program produces
// (a scanner or indexer that opened it without sharing).
inline bool IsSharingError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION;
}

// IsSharingError, and a file that another program has mapped into memory.
inline bool IsTransientFileError(DWORD error) {
    return IsSharingError(error) || error == ERROR_USER_MAPPED_FILE;
}
