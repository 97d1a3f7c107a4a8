// Stand-in for the system tools that the updater starts ("tar.exe",
// "powershell.exe"): copied into a test folder under the tool's name, it
// plays the script the test wrote beside it and records how it was called.
//
//   <name>-calls.txt    each command line and, after a tab, the working
//                       folder, one call per line (appended)
//   <name>-<mode>.txt   the script for one kind of call; mode is the first
//                       argument without its leading "-" ("tf", "xvf", "xf",
//                       "NoProfile")
//
// Script lines: "out TEXT" and "err TEXT" write TEXT and a line feed to
// standard output or standard error, "crlf TEXT" ends it with CR LF, "tail
// TEXT" writes TEXT without a line end ("tailcr TEXT" with a CR), "cwd" writes
// the current directory, "lines N PREFIX" and "errlines N
// PREFIX" write N numbered lines, "exit N" sets the exit code (default 0).
// Without a script the stand-in exits with 9.
//
// Called as "--hold MS" it just stays alive for at most MS milliseconds, as a
// running program whose file is in use.
#include <windows.h>

#include <cstdlib>
#include <cwctype>
#include <string>

namespace {

std::string Narrow(const std::wstring& wide) {
    if (wide.empty()) {
        return std::string();
    }
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &text[0], length,
                        nullptr, nullptr);
    return text;
}

std::string ReadFileText(const std::wstring& path, bool& found) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    found = file != INVALID_HANDLE_VALUE;
    std::string text;
    if (!found) {
        return text;
    }
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        text.append(buffer, read);
    }
    CloseHandle(file);
    return text;
}

void AppendFileText(const std::wstring& path, const std::string& text) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

// Output collected per stream and written in large blocks, so that a long
// listing fills the pipe faster than a reader that does not keep up.
class Streams {
  public:
    void Add(DWORD which, const std::string& text) {
        if (which != current_) {
            Flush();
            current_ = which;
        }
        pending_ += text;
        if (pending_.size() >= 65536) {
            Flush();
        }
    }
    void Flush() {
        if (!pending_.empty()) {
            DWORD written = 0;
            WriteFile(GetStdHandle(current_), pending_.data(), static_cast<DWORD>(pending_.size()),
                      &written, nullptr);
            pending_.clear();
        }
    }

  private:
    DWORD current_ = STD_OUTPUT_HANDLE;
    std::string pending_;
};

int PlayScript(const std::string& script) {
    Streams streams;
    int exitCode = 0;
    size_t start = 0;
    while (start < script.size()) {
        size_t end = script.find('\n', start);
        if (end == std::string::npos) {
            end = script.size();
        }
        std::string line = script.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const size_t space = line.find(' ');
        const std::string command = line.substr(0, space);
        const std::string argument = space == std::string::npos ? "" : line.substr(space + 1);
        if (command == "out") {
            streams.Add(STD_OUTPUT_HANDLE, argument + "\n");
        } else if (command == "err") {
            streams.Add(STD_ERROR_HANDLE, argument + "\n");
        } else if (command == "crlf") {
            streams.Add(STD_OUTPUT_HANDLE, argument + "\r\n");
        } else if (command == "tail") {
            streams.Add(STD_OUTPUT_HANDLE, argument);
        } else if (command == "tailcr") {
            streams.Add(STD_OUTPUT_HANDLE, argument + "\r");
        } else if (command == "cwd") {
            wchar_t current[MAX_PATH] = {};
            GetCurrentDirectoryW(MAX_PATH, current);
            streams.Add(STD_OUTPUT_HANDLE, Narrow(current) + "\n");
        } else if (command == "lines" || command == "errlines") {
            const DWORD which = command == "lines" ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
            const size_t prefixAt = argument.find(' ');
            const long count = std::strtol(argument.c_str(), nullptr, 10);
            const std::string prefix =
                prefixAt == std::string::npos ? "" : argument.substr(prefixAt + 1);
            for (long i = 1; i <= count; ++i) {
                streams.Add(which, prefix + std::to_string(i) + "\n");
            }
        } else if (command == "exit") {
            exitCode = std::atoi(argument.c_str());
        }
    }
    streams.Flush();
    return exitCode;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 3 && std::wstring(argv[1]) == L"--hold") {
        Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
        return 0;
    }

    wchar_t modulePath[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, modulePath, MAX_PATH);
    std::wstring folder = modulePath;
    std::wstring name = folder.substr(folder.find_last_of(L'\\') + 1);
    folder.resize(folder.find_last_of(L'\\'));
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos) {
        name.resize(dot);
    }
    for (wchar_t& c : name) {
        c = static_cast<wchar_t>(towlower(c));
    }

    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    AppendFileText(folder + L"\\" + name + L"-calls.txt",
                   Narrow(GetCommandLineW()) + "\t" + Narrow(current) + "\n");

    std::wstring mode = argc >= 2 ? argv[1] : L"";
    mode.erase(0, mode.find_first_not_of(L'-'));
    bool found = false;
    const std::string script = ReadFileText(folder + L"\\" + name + L"-" + mode + L".txt", found);
    return found ? PlayScript(script) : 9;
}
