#include "updater/process.h"

#include <vector>

#include "common/win_handle.h"

namespace {

const DWORD kReadBlockSize = 4096;

// Starts the child hidden. startup decides which handles it gets; inherit
// says whether inheritable handles of this process go to it.
bool StartHidden(const std::wstring& commandLine, const std::wstring& workingFolder, bool inherit,
                 STARTUPINFOW& startup, PROCESS_INFORMATION& process) {
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    return CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, inherit ? TRUE : FALSE,
                          CREATE_NO_WINDOW, nullptr,
                          workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup,
                          &process) != FALSE;
}

// Waits for the started child to end and takes its exit code; the handles
// are closed when the owners go out of scope.
void WaitForExit(const PROCESS_INFORMATION& started, DWORD& exitCode) {
    UniqueHandleKernel process(started.hProcess);
    UniqueHandleKernel thread(started.hThread);
    WaitForSingleObject(process.get(), INFINITE);
    if (!GetExitCodeProcess(process.get(), &exitCode)) {
        exitCode = GetLastError();
    }
}

// Cuts complete lines off the front of pending and hands them on.
void DeliverLines(std::string& pending, const OutputLineCallback& onLine) {
    size_t start = 0;
    for (size_t end = pending.find('\n'); end != std::string::npos;
         end = pending.find('\n', start)) {
        size_t length = end - start;
        if (length > 0 && pending[end - 1] == '\r') {
            --length;
        }
        onLine(pending.substr(start, length));
        start = end + 1;
    }
    pending.erase(0, start);
}

}  // namespace

bool RunProcessAndWait(const std::wstring& commandLine, const std::wstring& workingFolder,
                       DWORD& exitCode) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!StartHidden(commandLine, workingFolder, false, startup, process)) {
        exitCode = GetLastError();
        return false;
    }
    WaitForExit(process, exitCode);
    return true;
}

bool RunProcessWithOutput(const std::wstring& commandLine, const std::wstring& workingFolder,
                          const OutputLineCallback& onLine, DWORD& exitCode) {
    SECURITY_ATTRIBUTES inheritable = {};
    inheritable.nLength = sizeof(inheritable);
    inheritable.bInheritHandle = TRUE;
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        exitCode = GetLastError();
        return false;
    }
    UniqueHandleKernel reader(readEnd);
    UniqueHandleKernel writer(writeEnd);
    SetHandleInformation(reader.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writer.get();
    startup.hStdError = writer.get();
    PROCESS_INFORMATION process = {};
    const bool started = StartHidden(commandLine, workingFolder, true, startup, process);
    const DWORD startError = GetLastError();
    // The child holds its own copy now; ours would keep the pipe open forever.
    writer.reset();
    if (!started) {
        exitCode = startError;
        return false;
    }

    std::string pending;
    std::vector<char> block(kReadBlockSize);
    DWORD read = 0;
    while (ReadFile(reader.get(), block.data(), kReadBlockSize, &read, nullptr) && read > 0) {
        pending.append(block.data(), read);
        DeliverLines(pending, onLine);
    }
    if (!pending.empty()) {
        onLine(pending);
    }
    WaitForExit(process, exitCode);
    return true;
}
