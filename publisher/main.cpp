#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "common/text.h"
#include "publisher/console.h"
#include "publisher/publish.h"
#include "publisher/update_signature.h"
#include "publisher/verify.h"

namespace {

const wchar_t kUsage[] =
    L"usage:\n"
    L"  vantora-publish keygen KEY_FILE\n"
    L"  vantora-publish full RELEASE_DIR UPDATE_DIR --stamp N [--version TEXT] [--key KEY_FILE]\n"
    L"  vantora-publish patch OLD_DIR NEW_DIR UPDATE_DIR --stamp N [--allow-removals]\n"
    L"                        [--delta] [--key KEY_FILE]\n"
    L"  vantora-publish sign UPDATE_DIR --key KEY_FILE\n"
    L"  vantora-publish verify UPDATE_DIR [--public-key HEX [--public-key HEX]]\n"
    L"keygen writes a new private key file and prints its public key (128 hex digits).\n"
    L"--key signs manifest.json into manifest.json.sig; sign signs the folder's manifest\n"
    L"as it is. verify --public-key also checks the signature against the keys a\n"
    L"launcher holds (up to two) and that every package has \"sha256\". patch --delta\n"
    L"also writes the archive of differences against OLD_DIR, the release of the\n"
    L"folder's newest package.";

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
    std::wstring keyFile;
    std::vector<std::wstring> publicKeys;
    bool allowRemovals = false;
    bool delta = false;
    bool hasStamp = false;
    bool hasVersion = false;
};

// True when the line holds no option but those its command takes: those of
// full and patch, --key, --public-key.
bool OnlyOptions(const CommandLine& line, bool publishing, bool key, bool publicKeys) {
    const bool publishOptions =
        line.hasStamp || line.hasVersion || line.allowRemovals || line.delta;
    return (publishing || !publishOptions) && (key || line.keyFile.empty()) &&
           (publicKeys || line.publicKeys.empty());
}

bool Split(const std::vector<std::wstring>& arguments, CommandLine& line, std::wstring& problem) {
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        const bool valued = argument == L"--stamp" || argument == L"--version" ||
                            argument == L"--key" || argument == L"--public-key";
        if (valued && i + 1 >= arguments.size()) {
            problem = argument + L" needs a value";
            return false;
        }
        if (argument == L"--stamp" || argument == L"--version") {
            (argument == L"--stamp" ? line.stamp : line.version) = arguments[++i];
            (argument == L"--stamp" ? line.hasStamp : line.hasVersion) = true;
        } else if (argument == L"--key") {
            line.keyFile = arguments[++i];
        } else if (argument == L"--public-key") {
            line.publicKeys.push_back(arguments[++i]);
        } else if (argument == L"--allow-removals") {
            line.allowRemovals = true;
        } else if (argument == L"--delta") {
            line.delta = true;
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
    const bool oneArgument = command == L"verify" || command == L"sign" || command == L"keygen";
    const size_t wanted = command == L"full" ? 2 : command == L"patch" ? 3 : oneArgument ? 1 : 0;
    if (wanted == 0) {
        return Usage(L"unknown command " + command);
    }
    if (line.positional.size() != wanted) {
        return Usage(command + L" takes " + std::to_wstring(wanted) +
                     (command == L"keygen" ? L" file" : L" folder(s)"));
    }
    if (command == L"keygen") {
        return OnlyOptions(line, false, false, false) ? GenerateKey(line.positional[0])
                                                      : Usage(L"keygen takes no options");
    }
    if (command == L"sign") {
        if (!OnlyOptions(line, false, true, false) || line.keyFile.empty()) {
            return Usage(L"sign takes --key KEY_FILE and nothing else");
        }
        return SignUpdateFolder(line.positional[0], line.keyFile);
    }
    if (command == L"verify") {
        if (!OnlyOptions(line, false, false, true) || line.publicKeys.size() > 2) {
            return Usage(L"verify takes --public-key HEX, at most twice, and nothing else");
        }
        std::vector<ByteString> keys(line.publicKeys.size());
        for (size_t i = 0; i < keys.size(); ++i) {
            if (!ParsePublicKey(line.publicKeys[i], keys[i])) {
                return Usage(L"a public key is 128 hex digits, not \"" + line.publicKeys[i] +
                             L"\"");
            }
        }
        return VerifyUpdateFolder(line.positional[0], keys);
    }
    if (!OnlyOptions(line, true, true, false)) {
        return Usage(L"--public-key is for verify");
    }
    int64_t stamp = 0;
    if (!line.hasStamp) {
        return Usage(L"--stamp N is required");
    }
    if (!ParseStamp(line.stamp, stamp)) {
        return Usage(L"the stamp must be a whole number from 1 up, not \"" + line.stamp + L"\"");
    }
    if (command == L"full") {
        if (line.allowRemovals || line.delta) {
            return Usage(L"--allow-removals and --delta are for patch");
        }
        FullRequest request;
        request.releaseFolder = line.positional[0];
        request.updateFolder = line.positional[1];
        request.keyFile = line.keyFile;
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
    request.keyFile = line.keyFile;
    request.stamp = stamp;
    request.allowRemovals = line.allowRemovals;
    request.delta = line.delta;
    return PublishPatch(request);
}

}  // namespace

// The operators' tool: builds and checks the update folder the launcher reads.
// No exception ends it unreported.
int wmain(int argc, wchar_t** argv) {
    try {
        std::vector<std::wstring> arguments(argv + 1, argv + argc);
        return Run(arguments);
    } catch (const std::exception& failure) {
        PrintError(L"vantora-publish: internal error: " + Utf8ToWide(failure.what()));
    } catch (...) {
        PrintError(L"vantora-publish: internal error: an unknown exception");
    }
    return kPublishFailed;
}
