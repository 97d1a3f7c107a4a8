// Time from starting a window program to its first painted frame, for the
// launcher and for a minimal window program, in alternating runs:
//   first_frame_bench LAUNCHER MINIMAL RUNS [TRACED_LAUNCHER]
// With the launcher's traced build, its start-up steps are timed as well and
// their medians printed.
// A frame counts as painted once the program's window is visible and has no
// update region left, that is once its first WM_PAINT has been handled. Each
// program runs from a fresh folder of its own and is ended after the frame.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "common/process.h"
#include "bench/bench_support.h"
#include "common/win_handle.h"

namespace {

std::wstring TempFolder(const wchar_t* name) {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    std::wstring folder = std::wstring(base) + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// Seconds to the first painted frame; a negative value when there was none
// within 30 seconds.
// With awaitedFile, the program is ended only once it has written that file
// into its folder (or after 5 seconds).
double FirstFrameSeconds(const std::wstring& program, const wchar_t* windowClass,
                         const std::wstring& folder, const wchar_t* awaitedFile = nullptr) {
    const std::wstring copy = CopyProgramInto(program, folder);
    const double start = Now();
    UniqueHandleKernel process = StartProgramInFolder(copy, folder);
    if (!process) {
        return -1;
    }
    double seconds = -1;
    while (Now() - start < 30) {
        HWND window = FindWindowW(windowClass, nullptr);
        DWORD owner = 0;
        if (window != nullptr) {
            GetWindowThreadProcessId(window, &owner);
        }
        if (owner == GetProcessId(process.get()) && IsWindowVisible(window) &&
            !GetUpdateRect(window, nullptr, FALSE)) {
            seconds = Now() - start;
            break;
        }
        Sleep(1);
    }
    const std::wstring awaited = folder + L"\\" + (awaitedFile ? awaitedFile : L"");
    for (int i = 0;
         awaitedFile && i < 500 && GetFileAttributesW(awaited.c_str()) == INVALID_FILE_ATTRIBUTES;
         ++i) {
        Sleep(10);
    }
    EndProgram(process.get());
    return seconds;
}

struct TracedStep {
    std::string name;
    double milliseconds;  // since the process was created
    double workingSetMb;
};

// The steps the traced launcher wrote.
std::vector<TracedStep> ReadTrace(const std::wstring& folder) {
    std::vector<TracedStep> steps;
    FILE* trace = _wfopen((folder + L"\\startup-trace.txt").c_str(), L"r");
    if (trace == nullptr) {
        return steps;
    }
    double ms = 0;
    double mb = 0;
    char step[128];
    while (std::fscanf(trace, "%lf %lf %127[^\n]", &ms, &mb, step) == 3) {
        steps.push_back({step, ms, mb});
    }
    std::fclose(trace);
    return steps;
}

// Medians of the traced launcher's steps over runs.
bool PrintStartupSteps(const std::wstring& traced, int runs) {
    const std::wstring folder = TempFolder(L"vantora-bench-traced");
    std::vector<std::string> order;
    std::map<std::string, std::vector<double>> times;
    std::map<std::string, std::vector<double>> memory;
    for (int i = 0; i < runs; ++i) {
        DeleteFileW((folder + L"\\startup-trace.txt").c_str());
        if (FirstFrameSeconds(traced, L"VantoraLauncher", folder, L"startup-trace.txt") < 0) {
            return false;
        }
        for (const TracedStep& step : ReadTrace(folder)) {
            if (times.find(step.name) == times.end()) {
                order.push_back(step.name);
            }
            times[step.name].push_back(step.milliseconds);
            memory[step.name].push_back(step.workingSetMb);
        }
    }
    std::wprintf(
        L"start-up steps of the launcher, medians: ms since the process was created, working "
        L"set:\n");
    double previous = 0;
    for (const std::string& step : order) {
        const double at = Median(times[step]);
        std::wprintf(L"  %8.1f  (+%6.1f)  %6.1f MB  %hs\n", at, at - previous, Median(memory[step]),
                     step.c_str());
        previous = at;
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: first_frame_bench LAUNCHER MINIMAL [RUNS]\n");
        return 2;
    }
    const int runs = argc > 3 ? _wtoi(argv[3]) : 7;
    const std::wstring launcherFolder = TempFolder(L"vantora-bench-launcher");
    const std::wstring minimalFolder = TempFolder(L"vantora-bench-minimal");
    std::vector<double> launcher;
    std::vector<double> minimal;
    // One warm-up of each, then alternating measured runs.
    FirstFrameSeconds(argv[1], L"VantoraLauncher", launcherFolder);
    FirstFrameSeconds(argv[2], L"VantoraBenchMinimalWindow", minimalFolder);
    for (int i = 0; i < runs; ++i) {
        const double a = FirstFrameSeconds(argv[1], L"VantoraLauncher", launcherFolder);
        const double b = FirstFrameSeconds(argv[2], L"VantoraBenchMinimalWindow", minimalFolder);
        if (a < 0 || b < 0) {
            std::fwprintf(stderr, L"run %d: no first frame (launcher %.3f, minimal %.3f)\n", i, a,
                          b);
            return 1;
        }
        std::wprintf(L"run %d: launcher %.1f ms, minimal %.1f ms\n", i, a * 1000, b * 1000);
        launcher.push_back(a);
        minimal.push_back(b);
    }
    const double ml = Median(launcher);
    const double mm = Median(minimal);
    std::wprintf(
        L"median first frame: launcher %.1f ms, minimal window %.1f ms, ratio %.2f "
        L"(goal: at most 1.5)\n",
        ml * 1000, mm * 1000, ml / mm);
    if (argc > 4 && !PrintStartupSteps(argv[4], runs)) {
        std::fwprintf(stderr, L"the traced launcher painted no frame\n");
        return 1;
    }
    return 0;
}
