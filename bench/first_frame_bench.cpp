// Time from starting a window program to its first painted frame, for the
// launcher and for a minimal window program, in alternating runs:
//   first_frame_bench LAUNCHER MINIMAL RUNS
// A frame counts as painted once the program's window is visible and has no
// update region left, that is once its first WM_PAINT has been handled. Each
// program runs from a fresh folder of its own and is ended after the frame.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/program_start.h"
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
double FirstFrameSeconds(const std::wstring& program, const wchar_t* windowClass,
                         const std::wstring& folder) {
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
    EndProgram(process.get());
    return seconds;
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
    return 0;
}
