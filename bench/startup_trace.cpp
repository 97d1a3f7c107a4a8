// The start-up trace of the benchmark's build of the launcher: the time of
// every step since the process was created and the working set then, written
// to "startup-trace.txt" in the current folder once the first frame is
// painted.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/startup_trace.h"

namespace {

uint64_t Ticks(const FILETIME& time) {
    return static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

}  // namespace

void MarkStartupStep(const char* step) {
    struct Step {
        const char* name;
        double milliseconds;
        double workingSetMb;
    };
    static std::vector<Step> steps;
    static bool written = false;
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    FILETIME created;
    FILETIME unused[3];
    GetProcessTimes(GetCurrentProcess(), &created, &unused[0], &unused[1], &unused[2]);
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
    steps.push_back({step, static_cast<double>(Ticks(now) - Ticks(created)) / 10000.0,
                     static_cast<double>(memory.WorkingSetSize) / (1024.0 * 1024.0)});
    if (written || std::string(step) != "first frame painted") {
        return;
    }
    written = true;
    if (FILE* out = std::fopen("startup-trace.txt", "w")) {
        for (const Step& entry : steps) {
            std::fprintf(out, "%.2f %.1f %s\n", entry.milliseconds, entry.workingSetMb, entry.name);
        }
        std::fclose(out);
    }
}
