// Extracts one archive with Updater::ExtractZip on the built-in reader road
// and prints how long it took and the process's peak working set.
//
//   extract_bench.exe ARCHIVE DESTINATION
// Output: "seconds=<s> ok=<0|1> peak_working_set=<bytes> status_texts=<n>"

#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "updater/updater.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: extract_bench ARCHIVE DESTINATION\n");
        return 2;
    }
    size_t statusTexts = 0;
    Updater updater;
    updater.onStatus = [&](const std::wstring&) { ++statusTexts; };
    updater.runsUnderWine = [] { return true; };  // the built-in reader, as under Wine

    const auto start = std::chrono::steady_clock::now();
    const bool ok = updater.ExtractZip(argv[1], argv[2]);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    std::printf("seconds=%.3f ok=%d peak_working_set=%llu status_texts=%llu\n", seconds, ok ? 1 : 0,
                static_cast<unsigned long long>(counters.PeakWorkingSetSize),
                static_cast<unsigned long long>(statusTexts));
    return ok ? 0 : 1;
}
