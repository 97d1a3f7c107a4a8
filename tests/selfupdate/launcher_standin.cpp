#include <windows.h>
#include <shellapi.h>

#include <string>

// Stands in for the launcher in the self-updater's tests. Each start appends
// "start size=<own file size> cwd=<working folder>" to "standin-starts.txt"
// beside the program; with "--stay <ms>" it stays alive that long and then
// appends "exit size=<own file size>".
namespace {

std::wstring OwnPath() {
    wchar_t buffer[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    return buffer;
}

void Record(const std::wstring& what) {
    const std::wstring self = OwnPath();
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(self.c_str(), GetFileExInfoStandard, &data);
    wchar_t cwd[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH, cwd);
    const std::wstring line =
        what + L" size=" + std::to_wstring(data.nFileSizeLow) + L" cwd=" + cwd + L"\r\n";
    const std::wstring log = self.substr(0, self.find_last_of(L'\\')) + L"\\standin-starts.txt";
    HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()),
                                          nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), &utf8[0], bytes,
                        nullptr, nullptr);
    DWORD written = 0;
    WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    Record(L"start");
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (argv != nullptr && count == 3 && std::wstring(argv[1]) == L"--stay") {
        Sleep(static_cast<DWORD>(_wtoi(argv[2])));
        Record(L"exit");
    }
    LocalFree(argv);
    return 0;
}
