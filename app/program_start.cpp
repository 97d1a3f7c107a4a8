#include "app/program_start.h"

#include <windows.h>

#include <vector>

UniqueHandleKernel StartProgramInFolder(const std::wstring& path, const std::wstring& folder) {
    const std::wstring commandLine = L"\"" + path + L"\"";
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process)) {
        return UniqueHandleKernel();
    }
    UniqueHandleKernel(process.hThread).reset();
    return UniqueHandleKernel(process.hProcess);
}
