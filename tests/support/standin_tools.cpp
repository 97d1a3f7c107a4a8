#include "tests/support/standin_tools.h"

#include <shellapi.h>

#include <cwctype>

#include "common/text.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait.h"

bool InstallStandIn(const std::wstring& folder, const std::wstring& exeName) {
    return CopyFileW(VANTORA_STANDIN_TOOL_PATH, (folder + L"\\" + exeName).c_str(), FALSE) != 0;
}

std::wstring SystemToolFolder(const std::wstring& systemFolder, const std::wstring& tool) {
    return tool == L"powershell" ? systemFolder + L"\\WindowsPowerShell\\v1.0" : systemFolder;
}

bool InstallSystemToolStandIns(const std::wstring& systemFolder) {
    const std::wstring powerShell = SystemToolFolder(systemFolder, L"powershell");
    CreateDirectoryW(systemFolder.c_str(), nullptr);
    CreateDirectoryW((systemFolder + L"\\WindowsPowerShell").c_str(), nullptr);
    CreateDirectoryW(powerShell.c_str(), nullptr);
    return InstallStandIn(systemFolder, L"tar.exe") &&
           InstallStandIn(powerShell, L"powershell.exe");
}

bool WriteStandInScript(const std::wstring& folder, const std::wstring& tool,
                        const std::wstring& mode, const std::string& script) {
    return WriteBytes(folder + L"\\" + tool + L"-" + mode + L".txt", script);
}

std::vector<StandInCall> StandInCalls(const std::wstring& folder, const std::wstring& tool) {
    const std::string text = ReadBytes(folder + L"\\" + tool + L"-calls.txt");
    std::vector<StandInCall> calls;
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        const std::string line = text.substr(start, end - start);
        const size_t tab = line.rfind('\t');
        calls.push_back(
            {line.substr(0, tab), tab == std::string::npos ? "" : line.substr(tab + 1)});
        start = end + 1;
    }
    return calls;
}

std::vector<std::wstring> WaitForRecordedArguments(const std::wstring& programPath) {
    // The stand-in records its calls under its own name, lower case, without ".exe".
    const size_t slash = programPath.find_last_of(L"\\/");
    const std::wstring folder = programPath.substr(0, slash);
    std::wstring tool = programPath.substr(slash + 1);
    tool.resize(tool.rfind(L'.'));
    for (wchar_t& c : tool) {
        c = static_cast<wchar_t>(towlower(c));
    }
    // A program file can be opened for exclusive writing only while no process runs it.
    const auto ended = [&] {
        UniqueFile file(CreateFileW(programPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        return static_cast<bool>(file);
    };
    std::vector<std::wstring> arguments;
    if (!WaitUntil([&] { return !StandInCalls(folder, tool).empty(); }, 20000) ||
        !WaitUntil(ended, 20000)) {
        return arguments;
    }
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(
        Utf8ToWide(StandInCalls(folder, tool).back().commandLine).c_str(), &count);
    if (split != nullptr) {
        arguments.assign(split, split + count);
        LocalFree(split);
    }
    return arguments;
}

ScopedEnvironmentVariable::ScopedEnvironmentVariable(const std::wstring& name,
                                                     const std::wstring& value)
    : name_(name) {
    std::wstring buffer(32767, L'\0');
    const DWORD length = GetEnvironmentVariableW(name.c_str(), &buffer[0], 32767);
    hadValue_ = length > 0 && length < 32767;
    if (hadValue_) {
        previous_ = buffer.substr(0, length);
    }
    SetEnvironmentVariableW(name.c_str(), value.c_str());
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() {
    SetEnvironmentVariableW(name_.c_str(), hadValue_ ? previous_.c_str() : nullptr);
}

HeldProgram::HeldProgram(const std::wstring& programPath) : programPath_(programPath) {
    DeleteFileW((programPath + L".ready").c_str());
    DeleteFileW((programPath + L".stop").c_str());
    std::wstring commandLine = L"\"" + programPath + L"\" --hold 60000";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(programPath.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                        DETACHED_PROCESS, nullptr, nullptr, &startup, &process)) {
        return;
    }
    CloseHandle(process.hThread);
    process_.reset(process.hProcess);
    // Wait (bounded) until the program runs.
    for (int attempt = 0; attempt < 500 && !FileExists(programPath + L".ready"); ++attempt) {
        if (WaitForSingleObject(process_.get(), 20) == WAIT_OBJECT_0) {
            break;
        }
    }
}

HeldProgram::~HeldProgram() {
    if (process_) {
        // Asked to end rather than killed: a program killed while Wine is
        // still starting it can keep the test's output pipe open.
        WriteBytes(programPath_ + L".stop", "stop");
        if (WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0) {
            TerminateProcess(process_.get(), 0);
            WaitForSingleObject(process_.get(), 10000);
        }
        DeleteFileW((programPath_ + L".stop").c_str());
        DeleteFileW((programPath_ + L".ready").c_str());
    }
}
