#include "tests/support/standin_programs.h"

#include <windows.h>
#include <shellapi.h>

#include "common/text.h"
#include "common/win_handle.h"
#include "tests/support/temp_folder.h"

const wchar_t kRecorderPath[] = VANTORA_RECORDER_PATH;

namespace {

const DWORD kPollMs = 20;

template <typename Predicate>
bool WaitUntil(Predicate done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() > deadline) {
            return false;
        }
        Sleep(kPollMs);
    }
    return true;
}

// A program file can be opened for exclusive writing only while no process runs it.
bool CanOpenExclusively(const std::wstring& programPath) {
    UniqueFile file(CreateFileW(programPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
}

}  // namespace

std::vector<std::wstring> WaitForRecordedArguments(const std::wstring& folder,
                                                   const std::wstring& programPath) {
    const std::wstring recordPath = folder + L"\\command_line.txt";
    std::vector<std::wstring> arguments;
    if (!WaitUntil([&] { return FileExists(recordPath); }, 20000) ||
        !WaitUntil([&] { return CanOpenExclusively(programPath); }, 20000)) {
        return arguments;
    }
    const std::wstring commandLine = Utf8ToWide(ReadBytes(recordPath));
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(commandLine.c_str(), &count);
    if (split != nullptr) {
        arguments.assign(split, split + count);
        LocalFree(split);
    }
    return arguments;
}
