#pragma once

#include <windows.h>

// Polls done every pollMs until it returns true or timeoutMs have passed;
// returns its last answer.
template <typename Predicate>
bool WaitUntil(Predicate done, DWORD timeoutMs, DWORD pollMs = 20) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() >= deadline) {
            return done();
        }
        Sleep(pollMs);
    }
    return true;
}
