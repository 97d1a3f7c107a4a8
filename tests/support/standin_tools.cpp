#include "tests/support/standin_tools.h"

#include "tests/support/temp_folder.h"

bool InstallStandIn(const std::wstring& folder, const std::wstring& exeName) {
    return CopyFileW(VANTORA_STANDIN_TOOL_PATH, (folder + L"\\" + exeName).c_str(), FALSE) != 0;
}

bool WriteStandInScript(const std::wstring& folder, const std::wstring& tool,
                        const std::wstring& mode, const std::string& script) {
    return WriteBytes(folder + L"\\" + tool + L"-" + mode + L".txt", script);
}

std::vector<std::string> StandInCalls(const std::wstring& folder, const std::wstring& tool) {
    const std::string text = ReadBytes(folder + L"\\" + tool + L"-calls.txt");
    std::vector<std::string> calls;
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        calls.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return calls;
}

HeldProgram::HeldProgram(const std::wstring& programPath) {
    std::wstring commandLine = L"\"" + programPath + L"\" --hold 60000";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(programPath.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                       CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        process_.reset(process.hProcess);
        // Wait (bounded) until the system holds the program file.
        for (int attempt = 0; attempt < 100; ++attempt) {
            UniqueFile probe(CreateFileW(programPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!probe) {
                break;
            }
            probe.reset();
            Sleep(50);
        }
    }
}

HeldProgram::~HeldProgram() {
    if (process_) {
        TerminateProcess(process_.get(), 0);
        WaitForSingleObject(process_.get(), 10000);
    }
}
