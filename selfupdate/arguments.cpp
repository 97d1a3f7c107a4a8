#include "selfupdate/arguments.h"

#include "common/path.h"

namespace {

bool IsExistingFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CheckFolder(const std::wstring& argument, const wchar_t* what, std::wstring& folder,
                 std::wstring& refusal) {
    if (!NormalizeAbsolutePath(argument, folder)) {
        refusal = std::wstring(what) + L" is not an absolute path: " + argument;
        return false;
    }
    if (!IsExistingFolder(folder)) {
        refusal = std::wstring(what) + L" does not exist or is not a folder: " + argument;
        return false;
    }
    return true;
}

}  // namespace

bool ParseProcessId(const std::wstring& text, DWORD& processId) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    unsigned long long value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(c - L'0');
    }
    if (value == 0 || value > 0xFFFFFFFFull) {
        return false;
    }
    processId = static_cast<DWORD>(value);
    return true;
}

bool CheckSelfUpdateArguments(const std::vector<std::wstring>& arguments,
                              SelfUpdateArguments& checked, std::wstring& refusal) {
    checked = SelfUpdateArguments();
    if (arguments.size() != 4) {
        refusal =
            L"expected 4 arguments (launcher process id, staging folder, installation "
            L"folder, launcher program), got " +
            std::to_wstring(arguments.size());
        return false;
    }
    const std::wstring& processText = arguments[0];
    const std::wstring& stagingText = arguments[1];
    const std::wstring& installText = arguments[2];
    const std::wstring& launcherText = arguments[3];

    std::wstring install;
    if (!CheckFolder(installText, L"installation folder", install, refusal)) {
        return false;
    }
    checked.installFolder = install;

    if (!ParseProcessId(processText, checked.launcherProcessId)) {
        refusal = L"launcher process id is not a decimal number: " + processText;
        return false;
    }

    std::wstring staging;
    if (!CheckFolder(stagingText, L"staging folder", staging, refusal)) {
        return false;
    }
    if (!IsInsideFolder(staging, install)) {
        refusal = L"staging folder is not inside the installation folder: " + stagingText;
        return false;
    }
    checked.stagingFolder = staging;

    std::wstring launcher;
    if (!NormalizeAbsolutePath(launcherText, launcher)) {
        refusal = L"launcher program is not an absolute path: " + launcherText;
        return false;
    }
    if (!IsInsideFolder(launcher, install)) {
        refusal = L"launcher program is not inside the installation folder: " + launcherText;
        return false;
    }
    if (SamePath(launcher, staging) || IsInsideFolder(launcher, staging)) {
        refusal = L"launcher program is inside the staging folder: " + launcherText;
        return false;
    }
    if (IsExistingFolder(launcher)) {
        refusal = L"launcher program is a folder: " + launcherText;
        return false;
    }
    checked.launcherProgram = launcher;

    std::wstring problem;
    DWORD error = 0;
    if (!ListStagingTree(staging, checked.staged, problem, error)) {
        refusal = error == 0 ? L"staging tree contains a reparse point: " + problem
                             : L"staging tree could not be read: " + problem + L" Win32=" +
                                   std::to_wstring(error);
        return false;
    }
    for (const auto* list : {&checked.staged.folders, &checked.staged.files}) {
        for (const std::wstring& item : *list) {
            const std::wstring target = JoinPath(install, item);
            if (SamePath(target, staging) || IsInsideFolder(target, staging)) {
                refusal = L"staged item would land inside the staging folder: " + item;
                return false;
            }
        }
    }
    return true;
}
