// Stand-in for the programs the launcher starts. Without arguments of its
// own it writes its command line, UTF-8, to "command_line.txt" in its working
// folder and exits; with "--hold MS" it stays running for at most MS
// milliseconds, so that its program file is in use.
#include <windows.h>

#include <cwchar>
#include <string>

#include "common/win_handle.h"

int wmain(int argc, wchar_t** argv) {
    if (argc >= 3 && std::wcscmp(argv[1], L"--hold") == 0) {
        Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
        return 0;
    }
    const wchar_t* commandLine = GetCommandLineW();
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) {
        return 1;
    }
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, &text[0], length, nullptr, nullptr);
    text.pop_back();  // the terminator

    // Written under another name first, so that a reader never sees half a line.
    DWORD written = 0;
    {
        UniqueFile file(CreateFileW(L"command_line.tmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || !WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written,
                                nullptr)) {
            return 1;
        }
    }
    if (!MoveFileExW(L"command_line.tmp", L"command_line.txt", MOVEFILE_REPLACE_EXISTING)) {
        return 1;
    }
    return 0;
}
