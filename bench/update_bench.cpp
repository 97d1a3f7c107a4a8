// The update of an empty game folder from the loopback site, by the whole
// launcher (window, patch notes, status messages, painting) and by
// Updater::Run alone, in alternating runs:
//   update_bench LAUNCHER STAMP [RUNS] [GOAL]
// Each run starts from an empty folder and ends when "version.txt" holds
// STAMP. Prints both medians, their ratio (engine time / launcher time) and
// the launcher's peak working set. GOAL is the ratio to reach (default 0.9;
// less on a loaded machine).
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/site.h"
#include "common/process.h"
#include "bench/bench_support.h"
#include "common/win_handle.h"
#include "updater/updater.h"

namespace {

std::wstring FreshFolder(const wchar_t* name) {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    const std::wstring folder = std::wstring(base) + name;
    std::wstring from = folder + L'\0';
    SHFILEOPSTRUCTW remove = {};
    remove.wFunc = FO_DELETE;
    remove.pFrom = from.c_str();
    remove.fFlags = FOF_NO_UI;
    SHFileOperationW(&remove);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

bool VersionIs(const std::wstring& folder, const std::string& stamp) {
    UniqueFile file(CreateFileW((folder + L"\\version.txt").c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    char buffer[64] = {};
    DWORD read = 0;
    if (!file || !ReadFile(file.get(), buffer, sizeof(buffer) - 1, &read, nullptr)) {
        return false;
    }
    return std::string(buffer, read) == stamp;
}

double RunEngine(const std::string& stamp) {
    const std::wstring folder = FreshFolder(L"vantora-bench-engine");
    SetCurrentDirectoryW(folder.c_str());
    Updater updater;
    updater.baseUrl = UpdateFolderUrl();
    updater.onStatus = [](const std::wstring&) {};
    const double start = Now();
    const bool ok = updater.Run();
    const double seconds = Now() - start;
    SetCurrentDirectoryW(L"\\");
    return ok && VersionIs(folder, stamp) ? seconds : -1;
}

double RunLauncher(const std::wstring& program, const std::string& stamp, SIZE_T* peak) {
    const std::wstring folder = FreshFolder(L"vantora-bench-launcher-update");
    const std::wstring copy = CopyProgramInto(program, folder);
    const double start = Now();
    UniqueHandleKernel process = StartProgramInFolder(copy, folder);
    if (!process) {
        return -1;
    }
    double seconds = -1;
    while (Now() - start < 600) {
        if (VersionIs(folder, stamp)) {
            seconds = Now() - start;
            break;
        }
        if (WaitForSingleObject(process.get(), 5) == WAIT_OBJECT_0) {
            break;
        }
    }
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (GetProcessMemoryInfo(process.get(), &counters, sizeof(counters))) {
        *peak = std::max(*peak, counters.PeakWorkingSetSize);
    }
    EndProgram(process.get());
    return seconds;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: update_bench LAUNCHER STAMP [RUNS] [GOAL]\n");
        return 2;
    }
    const std::wstring launcher = argv[1];
    const std::wstring wideStamp = argv[2];
    const std::string stamp(wideStamp.begin(), wideStamp.end());
    const int runs = argc > 3 ? _wtoi(argv[3]) : 3;
    const double goal = argc > 4 ? _wtof(argv[4]) : 0.9;
    std::vector<double> withWindow;
    std::vector<double> engineOnly;
    SIZE_T peak = 0;
    for (int i = 0; i < runs; ++i) {
        const double a = RunLauncher(launcher, stamp, &peak);
        const double b = RunEngine(stamp);
        if (a < 0 || b < 0) {
            std::fwprintf(stderr, L"run %d failed (launcher %.2f s, engine %.2f s)\n", i, a, b);
            return 1;
        }
        std::wprintf(L"run %d: launcher %.2f s, Updater::Run %.2f s\n", i, a, b);
        withWindow.push_back(a);
        engineOnly.push_back(b);
    }
    const double ml = Median(withWindow);
    const double me = Median(engineOnly);
    std::wprintf(
        L"median update: launcher %.2f s, Updater::Run %.2f s, ratio %.2f (goal: at "
        L"least %.1f)\n",
        ml, me, me / ml, goal);
    std::wprintf(L"launcher peak working set: %.1f MB (goal: under 40 MB)\n",
                 static_cast<double>(peak) / (1024.0 * 1024.0));
    return 0;
}
