#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/text.h"
#include "publisher/console.h"
#include "publisher/publish.h"
#include "publisher/verify.h"

namespace {

const wchar_t kUsage[] =
    L"usage:\n"
    L"  vantora-publish full RELEASE_DIR UPDATE_DIR --stamp N [--version TEXT]\n"
    L"  vantora-publish patch OLD_DIR NEW_DIR UPDATE_DIR --stamp N [--allow-removals]\n"
    L"  vantora-publish verify UPDATE_DIR";

int Usage(const std::wstring& problem) {
    PrintError(L"vantora-publish: " + problem);
    PrintError(kUsage);
    return kPublishUsage;
}

// A stamp: a whole decimal number from 1 up, as the launcher orders packages.
bool ParseStamp(const std::wstring& text, int64_t& stamp) {
    if (text.empty() || text.size() > 18 ||
        text.find_first_not_of(L"0123456789") != std::wstring::npos) {
        return false;
    }
    stamp = std::wcstoll(text.c_str(), nullptr, 10);
    return stamp >= 1;
}

// The command's positional arguments and options.
struct CommandLine {
    std::vector<std::wstring> positional;
    std::wstring stamp;
    std::wstring version;
    bool allowRemovals = false;
    bool hasStamp = false;
    bool hasVersion = false;
};

bool Split(const std::vector<std::wstring>& arguments, CommandLine& line, std::wstring& problem) {
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        if (argument == L"--stamp" || argument == L"--version") {
            if (i + 1 >= arguments.size()) {
                problem = argument + L" needs a value";
                return false;
            }
            (argument == L"--stamp" ? line.stamp : line.version) = arguments[++i];
            (argument == L"--stamp" ? line.hasStamp : line.hasVersion) = true;
        } else if (argument == L"--allow-removals") {
            line.allowRemovals = true;
        } else if (argument.compare(0, 2, L"--") == 0) {
            problem = L"unknown option " + argument;
            return false;
        } else {
            line.positional.push_back(argument);
        }
    }
    return true;
}

int Run(const std::vector<std::wstring>& arguments) {
    if (arguments.empty()) {
        return Usage(L"no command given");
    }
    const std::wstring& command = arguments[0];
    CommandLine line;
    std::wstring problem;
    if (!Split(arguments, line, problem)) {
        return Usage(problem);
    }
    const size_t wanted = command == L"full"     ? 2
                          : command == L"patch"  ? 3
                          : command == L"verify" ? 1
                                                 : 0;
    if (wanted == 0) {
        return Usage(L"unknown command " + command);
    }
    if (line.positional.size() != wanted) {
        return Usage(command + L" takes " + std::to_wstring(wanted) + L" folder(s)");
    }
    if (command == L"verify") {
        if (line.hasStamp || line.hasVersion || line.allowRemovals) {
            return Usage(L"verify takes no options");
        }
        return VerifyUpdateFolder(line.positional[0]);
    }
    int64_t stamp = 0;
    if (!line.hasStamp) {
        return Usage(L"--stamp N is required");
    }
    if (!ParseStamp(line.stamp, stamp)) {
        return Usage(L"the stamp must be a whole number from 1 up, not \"" + line.stamp + L"\"");
    }
    if (command == L"full") {
        if (line.allowRemovals) {
            return Usage(L"--allow-removals is for patch");
        }
        FullRequest request;
        request.releaseFolder = line.positional[0];
        request.updateFolder = line.positional[1];
        request.stamp = stamp;
        request.version = WideToUtf8(line.version);
        return PublishFull(request);
    }
    if (line.hasVersion) {
        return Usage(L"--version is for full; a patch's version is its stamp");
    }
    PatchRequest request;
    request.oldFolder = line.positional[0];
    request.newFolder = line.positional[1];
    request.updateFolder = line.positional[2];
    request.stamp = stamp;
    request.allowRemovals = line.allowRemovals;
    return PublishPatch(request);
}

}  // namespace

// The operators' tool: builds and checks the update folder the launcher reads.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> arguments(argv + 1, argv + argc);
    return Run(arguments);
}
