// Extracts one archive and prints how long it took and the process's peak
// working set:
//
//   extract_bench.exe bare|road1|road|delta ARCHIVE DESTINATION
//
// bare:  a loop over the zip reader alone (open, stat, create folders,
//        ExtractToFile), the least any road can cost;
// road1: Updater::ExtractZip on the built-in reader road with one thread;
// road:  the same with a writer thread per core;
// delta: Updater::ApplyDeltaArchive (an archive of differences applied to
//        the release it was made from) with a writer thread per core.
// Output: "seconds=<s> ok=<0|1> peak_working_set=<bytes> peak_private=<bytes>"

#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "common/text.h"
#include "updater/archive_paths.h"
#include "updater/updater.h"
#include "updater/zip_reader.h"

namespace {

bool BareLoop(const std::wstring& archive, const std::wstring& destination) {
    ZipReader reader;
    if (!reader.Open(WideToUtf8(archive))) {
        return false;
    }
    for (int i = 0; i < reader.EntryCount(); ++i) {
        ZipEntryStat stat;
        if (!reader.GetEntryStat(i, stat)) {
            return false;
        }
        if (stat.isDirectory) {
            continue;
        }
        const std::string path = WideToUtf8(destination) + "\\" + NormalizeEntryPath(stat.name);
        CreateParentFolders(path);
        if (!reader.ExtractToFile(i, Utf8ToWide(path))) {
            return false;
        }
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc == 4 ? argv[1] : L"";
    if (mode != L"bare" && mode != L"road1" && mode != L"road" && mode != L"delta") {
        std::fprintf(stderr, "usage: extract_bench bare|road1|road|delta ARCHIVE DESTINATION\n");
        return 2;
    }
    Updater updater;
    updater.runsUnderWine = [] { return true; };  // the built-in reader, as under Wine
    updater.extractionThreads = mode == L"road1" ? 1 : 0;

    const auto start = std::chrono::steady_clock::now();
    const bool ok = mode == L"bare"    ? BareLoop(argv[2], argv[3])
                    : mode == L"delta" ? updater.ApplyDeltaArchive(argv[2], argv[3])
                                       : updater.ExtractZip(argv[2], argv[3]);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    // Private bytes leave out the mapped files, which cost no private memory.
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    std::printf("seconds=%.3f ok=%d peak_working_set=%llu peak_private=%llu\n", seconds, ok ? 1 : 0,
                static_cast<unsigned long long>(counters.PeakWorkingSetSize),
                static_cast<unsigned long long>(counters.PeakPagefileUsage));
    return ok ? 0 : 1;
}
