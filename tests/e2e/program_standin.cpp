// Stand-in for the programs the launcher starts ("VantoraOnlineClient.exe",
// "Corvath.exe", "Selvane.exe"). Each run appends one line, UTF-8, to
// "runs.log" beside the program:
//   <program file name> TAB <current folder> TAB <command line>
// and exits with the number written in "<program file name>.exit" beside
// the program (0 when that file is missing).
#include <windows.h>

#include <string>

#include "common/win_handle.h"

namespace {

std::string ToUtf8(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0],
                            length, nullptr, nullptr);
    }
    return out;
}

std::wstring ProgramPath() {
    wchar_t buffer[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    return buffer;
}

std::wstring CurrentFolder() {
    wchar_t buffer[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, buffer);
    return buffer;
}

int ReadExitCode(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return 0;
    }
    char buffer[16] = {};
    DWORD read = 0;
    ReadFile(file.get(), buffer, sizeof(buffer) - 1, &read, nullptr);
    return atoi(buffer);
}

}  // namespace

int wmain() {
    const std::wstring program = ProgramPath();
    const size_t slash = program.find_last_of(L'\\');
    const std::wstring folder = program.substr(0, slash + 1);
    const std::wstring name = program.substr(slash + 1);

    const std::string line =
        ToUtf8(name) + "\t" + ToUtf8(CurrentFolder()) + "\t" + ToUtf8(GetCommandLineW()) + "\r\n";
    // Appending writes are atomic per call, so parallel runs never mix lines.
    UniqueFile log(CreateFileW((folder + L"runs.log").c_str(), FILE_APPEND_DATA,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (log) {
        DWORD written = 0;
        WriteFile(log.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
    return ReadExitCode(folder + name + L".exit");
}
