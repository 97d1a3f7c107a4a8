#include "tests/app/standin.h"

#include <windows.h>

#include <sstream>

#include "common/text.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait.h"

bool InstallStandin(const std::wstring& folder, const std::wstring& name, int exitCode) {
    const std::wstring target = folder + L"\\" + name;
    if (!CopyFileW(VANTORA_STANDIN_PATH, target.c_str(), FALSE)) {
        return false;
    }
    return WriteBytes(target + L".exit", std::to_string(exitCode));
}

std::vector<StandinRun> ReadStandinRuns(const std::wstring& folder) {
    std::vector<StandinRun> runs;
    std::istringstream lines(ReadBytes(folder + L"\\runs.log"));
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const size_t first = line.find('\t');
        const size_t second = line.find('\t', first + 1);
        if (first == std::string::npos || second == std::string::npos) {
            continue;
        }
        runs.push_back({Utf8ToWide(line.substr(0, first)),
                        Utf8ToWide(line.substr(first + 1, second - first - 1)),
                        Utf8ToWide(line.substr(second + 1))});
    }
    return runs;
}

std::vector<StandinRun> WaitForStandinRuns(const std::wstring& folder, size_t count,
                                           unsigned timeoutMs) {
    std::vector<StandinRun> runs;
    WaitUntil([&] { return (runs = ReadStandinRuns(folder)).size() >= count; }, timeoutMs, 50);
    return runs;
}
