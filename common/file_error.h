#pragma once

#include <windows.h>

// True for the errors a brief hold on a file by another program produces
// (a scanner or indexer that opened it without sharing).
inline bool IsSharingError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION;
}
