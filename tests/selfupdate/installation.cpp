#include "tests/selfupdate/installation.h"

#include "common/text.h"
#include "tests/support/wait.h"

namespace {

void CreateParents(const std::wstring& path) {
    for (size_t slash = path.find(L'\\', 3); slash != std::wstring::npos;
         slash = path.find(L'\\', slash + 1)) {
        CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
    }
}

void SnapshotInto(const std::wstring& root, const std::wstring& relative,
                  std::map<std::wstring, std::string>* out) {
    const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L".." ||
            (relative.empty() && (name == L"updateerror.txt" || name == L"standin-starts.txt"))) {
            continue;
        }
        const std::wstring child = relative.empty() ? name : relative + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*out)[child] = "<folder>";
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                SnapshotInto(root, child, out);
            }
        } else {
            (*out)[child] = ReadBytes(root + L"\\" + child);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            break;  // an unfinished last line is not counted yet
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

}  // namespace

TestInstallation::TestInstallation() : temp_(L" Vantora Online") {
    CreateDirectoryW(staging().c_str(), nullptr);
}

void TestInstallation::Put(const std::wstring& relative, const std::string& bytes) const {
    const std::wstring path = Path(relative);
    CreateParents(path);
    WriteBytes(path, bytes);
}

void TestInstallation::Stage(const std::wstring& relative, const std::string& bytes) const {
    Put(L"_launcher_self_update\\" + relative, bytes);
}

std::map<std::wstring, std::string> TestInstallation::Snapshot(const std::wstring& folder) {
    std::map<std::wstring, std::string> out;
    SnapshotInto(folder, std::wstring(), &out);
    return out;
}

bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
    auto isLink = [&] {
        const DWORD attributes = GetFileAttributesW(link.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    };
    if (CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) &&
        isLink()) {
        return true;
    }
    // Under Wine the host path of the target comes from Wine itself.
    using UnixFileName = char*(CDECL*)(const wchar_t*);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto unixFileName = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
    if (unixFileName == nullptr) {
        return false;
    }
    char* hostTarget = unixFileName(target.c_str());
    if (hostTarget == nullptr) {
        return false;
    }
    const std::wstring hostTargetText = Utf8ToWide(hostTarget);
    HeapFree(GetProcessHeap(), 0, hostTarget);
    const size_t slash = link.find_last_of(L'\\');
    ChildProcess ln(L"Z:\\bin\\ln",
                    L"-s \"" + hostTargetText + L"\" \"" + link.substr(slash + 1) + L"\"",
                    link.substr(0, slash));
    // Wine hands host programs to the host and may report no process.
    if (ln.started()) {
        ln.Wait(10000);
    }
    return WaitUntil(isLink, 5000, 50);
}

bool RemoveFolderLink(const std::wstring& link) {
    auto gone = [&] {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW(link.c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) {
            return true;
        }
        FindClose(find);
        return false;
    };
    if (GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name") == nullptr) {
        return RemoveDirectoryW(link.c_str()) && gone();
    }
    // Wine would remove the folder the host link points to, not the link.
    const size_t slash = link.find_last_of(L'\\');
    ChildProcess rm(L"Z:\\bin\\rm", L"\"" + link.substr(slash + 1) + L"\"", link.substr(0, slash));
    if (rm.started()) {
        rm.Wait(10000);
    }
    return WaitUntil(gone, 5000, 50);
}

ChildProcess::ChildProcess(const std::wstring& program, const std::wstring& arguments,
                           const std::wstring& workingFolder) {
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) {
        commandLine += L" " + arguments;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    // No application name: Wine starts host programs only from the command line.
    if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                       workingFolder.c_str(), &startup, &info)) {
        process_.reset(info.hProcess);
        CloseHandle(info.hThread);
        id_ = info.dwProcessId;
    }
}

ChildProcess::~ChildProcess() {
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), 5000);
    }
}

DWORD ChildProcess::Wait(DWORD milliseconds) const {
    if (!process_) {
        return STILL_ACTIVE;
    }
    if (WaitForSingleObject(process_.get(), milliseconds) != WAIT_OBJECT_0) {
        return STILL_ACTIVE;
    }
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

std::vector<std::string> WaitForLines(const std::wstring& path, size_t lines, DWORD milliseconds) {
    std::vector<std::string> found;
    WaitUntil([&] { return (found = SplitLines(ReadBytes(path))).size() >= lines; }, milliseconds,
              50);
    return found;
}
