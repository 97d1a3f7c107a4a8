#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

// Seconds on the performance counter.
inline double Now() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Copies program into folder and returns the copy's path.
inline std::wstring CopyProgramInto(const std::wstring& program, const std::wstring& folder) {
    const std::wstring copy = folder + L"\\" + program.substr(program.find_last_of(L"\\/") + 1);
    CopyFileW(program.c_str(), copy.c_str(), FALSE);
    return copy;
}

// Ends a benchmarked program that is still running.
inline void EndProgram(HANDLE process) {
    TerminateProcess(process, 0);
    WaitForSingleObject(process, 10000);
}
