// The update of an empty game folder from the loopback site:
//   update_bench LAUNCHER STAMP [RUNS] [GOAL]
// Each of RUNS rounds updates three empty folders, the three taking turns at
// going first:
// - by the whole launcher (window, patch notes, status messages, painting);
// - by Updater::Run alone in a console process of its own ("update_bench
//   --engine" in the game folder), started and timed as the launcher is;
// - by Updater::Run alone in this process, with no process start to pay.
// A program's run ends when "version.txt" holds STAMP. Prints the medians,
// the ratio engine time / launcher time for both engines (the first is the
// one the window is judged by: it differs from the launcher by the window
// alone) and the launcher's peak working set. GOAL is the ratio to reach
// (default 0.9; less on a loaded machine).
//   update_bench --signature PUBLIC_KEY STAMP [RUNS]
// times Updater::Run in this process against a signed update folder, in
// turns with the key (the signature fetched and checked) and without, and
// prints the medians and the ratio time without / time with.
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/command_line.h"
#include "common/path.h"
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

bool RunEngineHere(const std::vector<std::string>& keys = {}) {
    Updater updater;
    updater.baseUrl = UpdateFolderUrl();
    updater.onStatus = [](const std::wstring&) {};
    updater.updateKeys = keys;
    return updater.Run();
}

double RunEngineInThisProcess(const std::string& stamp, const std::vector<std::string>& keys = {}) {
    const std::wstring folder = FreshFolder(L"vantora-bench-engine");
    SetCurrentDirectoryW(folder.c_str());
    const double start = Now();
    const bool ok = RunEngineHere(keys);
    const double seconds = Now() - start;
    SetCurrentDirectoryW(L"\\");
    return ok && VersionIs(folder, stamp) ? seconds : -1;
}

// Seconds from start until version.txt in folder holds stamp, or -1 when the
// process ended first. Ends the process; peak, when given, takes its peak
// working set.
double SecondsToStamp(HANDLE process, const std::wstring& folder, const std::string& stamp,
                      double start, SIZE_T* peak) {
    double seconds = -1;
    for (;;) {
        const bool ended = WaitForSingleObject(process, 5) == WAIT_OBJECT_0;
        if (VersionIs(folder, stamp)) {
            seconds = Now() - start;
            break;
        }
        if (ended || Now() - start > 600) {
            break;
        }
    }
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (peak != nullptr && GetProcessMemoryInfo(process, &counters, sizeof(counters))) {
        *peak = std::max(*peak, counters.PeakWorkingSetSize);
    }
    EndProgram(process);
    return seconds;
}

double RunEngineProcess(const std::string& stamp) {
    const std::wstring folder = FreshFolder(L"vantora-bench-engine-process");
    ProcessOptions options;
    options.workingFolder = folder;
    options.hidden = true;
    DWORD code = 0;
    UniqueProcessInformation started;
    const double start = Now();
    if (!RunProcess(QuoteArgument(ModulePath()) + L" --engine", options, code, started)) {
        return -1;
    }
    return SecondsToStamp(started.process.get(), folder, stamp, start, nullptr);
}

double RunLauncher(const std::wstring& program, const std::string& stamp, SIZE_T* peak) {
    const std::wstring folder = FreshFolder(L"vantora-bench-launcher-update");
    const std::wstring copy = CopyProgramInto(program, folder);
    const double start = Now();
    UniqueHandleKernel process = StartProgramInFolder(copy, folder);
    return process ? SecondsToStamp(process.get(), folder, stamp, start, peak) : -1;
}

}  // namespace

// With the key and without, in turns; 1 when a run failed.
int CompareSignatureCheck(const std::string& key, const std::string& stamp, int runs) {
    std::vector<double> with;
    std::vector<double> without;
    for (int i = 0; i < runs; ++i) {
        double seconds[2] = {};
        for (int turn = 0; turn < 2; ++turn) {
            const int which = (i + turn) % 2;
            seconds[which] = RunEngineInThisProcess(
                stamp, which == 0 ? std::vector<std::string>{key} : std::vector<std::string>{});
        }
        if (seconds[0] < 0 || seconds[1] < 0) {
            std::fwprintf(stderr, L"run %d failed (with the key %.2f s, without %.2f s)\n", i,
                          seconds[0], seconds[1]);
            return 1;
        }
        std::wprintf(L"run %d: with the key %.3f s, without %.3f s\n", i, seconds[0], seconds[1]);
        with.push_back(seconds[0]);
        without.push_back(seconds[1]);
    }
    const double mw = Median(with);
    const double mo = Median(without);
    std::wprintf(
        L"median update: with the key %.3f s, without %.3f s, ratio %.3f (goal: at "
        L"least 0.99)\n",
        mw, mo, mo / mw);
    return 0;
}

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wstring(argv[1]) == L"--engine") {
        return RunEngineHere() ? 0 : 1;
    }
    if (argc >= 4 && std::wstring(argv[1]) == L"--signature") {
        const std::wstring key = argv[2];
        const std::wstring stamp = argv[3];
        return CompareSignatureCheck(std::string(key.begin(), key.end()),
                                     std::string(stamp.begin(), stamp.end()),
                                     argc > 4 ? _wtoi(argv[4]) : 9);
    }
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
    std::vector<double> engineProcess;
    std::vector<double> engineHere;
    SIZE_T peak = 0;
    for (int i = 0; i < runs; ++i) {
        // The three take turns at going first, so that none always follows
        // the same one (and the disk's write-back of its files).
        double seconds[3] = {};
        for (int turn = 0; turn < 3; ++turn) {
            switch ((i + turn) % 3) {
                case 0:
                    seconds[0] = RunLauncher(launcher, stamp, &peak);
                    break;
                case 1:
                    seconds[1] = RunEngineProcess(stamp);
                    break;
                default:
                    seconds[2] = RunEngineInThisProcess(stamp);
            }
        }
        if (*std::min_element(seconds, seconds + 3) < 0) {
            std::fwprintf(stderr, L"run %d failed (launcher %.2f s, engines %.2f s, %.2f s)\n", i,
                          seconds[0], seconds[1], seconds[2]);
            return 1;
        }
        std::wprintf(
            L"run %d: launcher %.2f s, Updater::Run in its own process %.2f s, in this one "
            L"%.2f s\n",
            i, seconds[0], seconds[1], seconds[2]);
        withWindow.push_back(seconds[0]);
        engineProcess.push_back(seconds[1]);
        engineHere.push_back(seconds[2]);
    }
    const double ml = Median(withWindow);
    const double mp = Median(engineProcess);
    const double mh = Median(engineHere);
    std::wprintf(
        L"median update: launcher %.2f s, Updater::Run in its own process %.2f s, ratio %.2f "
        L"(goal: at least %.1f)\n",
        ml, mp, mp / ml, goal);
    std::wprintf(L"median update: Updater::Run in this process %.2f s, ratio %.2f\n", mh, mh / ml);
    std::wprintf(L"launcher peak working set: %.1f MB (goal: under 40 MB)\n",
                 static_cast<double>(peak) / (1024.0 * 1024.0));
    return 0;
}
