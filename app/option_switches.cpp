#include "app/option_switches.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "app/launcher_ui.h"
#include "settings/settings_window.h"

namespace {

constexpr wchar_t kInterfaceFolder[] = L"data\\interface\\";
constexpr wchar_t kSkillFolder[] = L"data\\chr\\";

// A path list for the shell's file operations: the text and two nulls.
std::vector<wchar_t> DoubleNullTerminated(const std::wstring& path) {
    std::vector<wchar_t> list(path.begin(), path.end());
    list.push_back(L'\0');
    list.push_back(L'\0');
    return list;
}

bool Exists(const std::wstring& path) {
    return PathFileExistsW(path.c_str()) != FALSE;
}

}  // namespace

bool CopyFolderContents(const std::wstring& sourceFolder, const std::wstring& destinationFolder) {
    std::vector<wchar_t> from = DoubleNullTerminated(sourceFolder + L"\\*");
    std::vector<wchar_t> to = DoubleNullTerminated(destinationFolder);
    SHFILEOPSTRUCTW operation = {};
    operation.hwnd = nullptr;
    operation.wFunc = FO_COPY;
    operation.pFrom = from.data();
    operation.pTo = to.data();
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NORECURSION;
    return SHFileOperationW(&operation) == 0;
}

void LauncherUI::SwitchInterfaceSet(bool vantoraSet) {
    const std::wstring destination = gameDirectory + kInterfaceFolder;
    const std::wstring source = destination + (vantoraSet ? L"vantoraInterface" : L"oldInterface");
    if (!Exists(source)) {
        SetStatus(L"Source interface folder missing.");
        return;
    }
    if (CopyFolderContents(source, destination)) {
        SetStatus(vantoraSet ? L"Switched to Vantora Interface" : L"Switched to Classic Interface");
    } else {
        SetStatus(L"Failed to copy interface files.");
    }
}

void LauncherUI::SetSkillEffectQuality(bool high) {
    const std::wstring folder = gameDirectory + kSkillFolder;
    const wchar_t* sourceName = high ? L"skill_highQ.dat" : L"skill_lowQ.dat";
    const std::wstring source = folder + sourceName;
    const std::wstring target = folder + L"skill.dat";
    if (!Exists(source)) {
        SetStatus(std::wstring(sourceName) + L" not found.");
        return;
    }
    DeleteFileW(target.c_str());
    if (CopyFileW(source.c_str(), target.c_str(), FALSE)) {
        SetStatus(high ? L"Skill quality set to high." : L"Skill quality set to low.");
    } else {
        SetStatus(L"Failed to update skill quality.");
    }
}

void LauncherUI::SetScreenResolution(int32_t width, int32_t height) {
    std::wstring error;
    if (!PrepareUserSetupIni(error)) {
        SetStatus(error);
        return;
    }
    if (userSetupIniPath.empty()) {
        SetStatus(L"Could not resolve the LocalAppData setup.ini path.");
        return;
    }
    const std::wstring widthText = std::to_wstring(width);
    const std::wstring heightText = std::to_wstring(height);
    const bool widthWritten = WritePrivateProfileStringW(L"Client", L"width", widthText.c_str(),
                                                         userSetupIniPath.c_str()) != FALSE;
    const bool heightWritten = WritePrivateProfileStringW(L"Client", L"height", heightText.c_str(),
                                                          userSetupIniPath.c_str()) != FALSE;
    if (!widthWritten || !heightWritten) {
        SetStatus(L"Failed to write the LocalAppData setup.ini");
        return;
    }
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, userSetupIniPath.c_str());
    const std::wstring legacyPath = LegacySetupIniPath();
    if (Exists(legacyPath)) {
        WritePrivateProfileStringW(L"Client", L"width", widthText.c_str(), legacyPath.c_str());
        WritePrivateProfileStringW(L"Client", L"height", heightText.c_str(), legacyPath.c_str());
        WritePrivateProfileStringW(nullptr, nullptr, nullptr, legacyPath.c_str());
    }
    SetStatus(L"Screen resolution updated.");
}

void LauncherUI::OpenClientSettings() {
    std::wstring error;
    if (!PrepareUserSetupIni(error)) {
        messageBox(window, error, L"Vantora Launcher", MB_ICONERROR);
        return;
    }
    const std::wstring legacyPath = LegacySetupIniPath();
    if (window == nullptr || userSetupIniPath.empty()) {
        return;
    }
    const bool saved = settingsWindow
                           ? settingsWindow(window, userSetupIniPath, legacyPath)
                           : RunSettingsWindow(window, userSetupIniPath, legacyPath, messageBox);
    if (saved) {
        SetStatus(L"New client settings saved.");
    }
}

bool LauncherUI::PrepareUserSetupIni(std::wstring& error) {
    if (!EnsureUserSetupIni(LegacySetupIniPath(), &error, userFolder)) {
        return false;
    }
    userSetupIniPath = GetUserSetupIniPath(userFolder);
    return true;
}
