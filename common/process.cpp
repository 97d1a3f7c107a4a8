#include "common/process.h"

#include <utility>
#include <vector>

#include "common/command_line.h"

namespace {

const DWORD kReadBlockSize = 4096;

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

// Hands every line the pipe carries to onLine until the last writer is gone.
void ReadLines(HANDLE reader, const OutputLineCallback& onLine) {
    std::string pending;
    std::vector<char> block(kReadBlockSize);
    DWORD read = 0;
    while (ReadFile(reader, block.data(), kReadBlockSize, &read, nullptr) && read > 0) {
        pending.append(block.data(), read);
        DeliverLines(pending, onLine);
    }
    if (!pending.empty()) {
        onLine(pending);
    }
}

}  // namespace

bool RunProcess(const std::wstring& commandLine, const ProcessOptions& options, DWORD& code,
                UniqueProcessInformation& started) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    UniqueHandleKernel reader;
    UniqueHandleKernel writer;
    const bool capture = static_cast<bool>(options.onOutputLine);
    if (capture) {
        SECURITY_ATTRIBUTES inheritable = {};
        inheritable.nLength = sizeof(inheritable);
        inheritable.bInheritHandle = TRUE;
        HANDLE readEnd = nullptr;
        HANDLE writeEnd = nullptr;
        if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
            code = GetLastError();
            return false;
        }
        reader.reset(readEnd);
        writer.reset(writeEnd);
        SetHandleInformation(reader.get(), HANDLE_FLAG_INHERIT, 0);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = writer.get();
        startup.hStdError = writer.get();
    }

    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());  // written to by the call
    buffer.push_back(L'\0');
    PROCESS_INFORMATION process = {};
    const bool ok =
        CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, capture ? TRUE : FALSE,
                       options.hidden ? CREATE_NO_WINDOW : 0, nullptr,
                       options.workingFolder.empty() ? nullptr : options.workingFolder.c_str(),
                       &startup, &process) != FALSE;
    code = ok ? 0 : GetLastError();
    // The child holds its own copy of the write end; ours would keep the pipe open forever.
    writer.reset();
    if (!ok) {
        return false;
    }
    UniqueProcessInformation owned{UniqueHandleKernel(process.hProcess),
                                   UniqueHandleKernel(process.hThread)};
    if (capture) {
        ReadLines(reader.get(), options.onOutputLine);
    }
    if (capture || options.wait) {
        WaitForSingleObject(owned.process.get(), INFINITE);
        if (!GetExitCodeProcess(owned.process.get(), &code)) {
            code = GetLastError();
        }
    }
    started = std::move(owned);
    return true;
}

bool RunProcess(const std::wstring& commandLine, const ProcessOptions& options, DWORD& code) {
    UniqueProcessInformation started;
    return RunProcess(commandLine, options, code, started);
}

UniqueHandleKernel StartProgramInFolder(const std::wstring& path, const std::wstring& folder,
                                        DWORD& error) {
    ProcessOptions options;
    options.workingFolder = folder;
    UniqueProcessInformation started;
    RunProcess(QuoteArgument(path), options, error, started);
    return std::move(started.process);
}

UniqueHandleKernel StartProgramInFolder(const std::wstring& path, const std::wstring& folder) {
    DWORD error = 0;
    return StartProgramInFolder(path, folder, error);
}

ProcessOptions HiddenIn(const std::wstring& folder, OutputLineCallback onLine) {
    ProcessOptions options;
    options.workingFolder = folder;
    options.hidden = true;
    options.wait = true;
    options.onOutputLine = std::move(onLine);
    return options;
}

bool WaitForProcessExit(DWORD processId, DWORD timeoutMilliseconds, DWORD& error) {
    error = 0;
    UniqueHandleKernel process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    if (!process) {
        error = GetLastError();
        // No process has that id (any more).
        return error == ERROR_INVALID_PARAMETER;
    }
    const DWORD result = WaitForSingleObject(process.get(), timeoutMilliseconds);
    if (result == WAIT_OBJECT_0) {
        return true;
    }
    error = result == WAIT_TIMEOUT ? 0 : GetLastError();
    return false;
}
