// Stand-in for the self-updater: writes its command line, UTF-8, to
// "command_line.txt" in its working folder and exits.
#include <windows.h>

#include <string>

#include "common/win_handle.h"

int wmain() {
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
