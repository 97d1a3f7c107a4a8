#include "app/status_progress.h"

#include <cwchar>
#include <cstdlib>

bool ParseStatusProgress(const std::wstring& text, float& progress) {
    const bool isProgressText = text.find(L"Downloading") != std::wstring::npos ||
                                text.find(L"Opening archive") != std::wstring::npos ||
                                text.find(L"Extracting") != std::wstring::npos;
    if (!isProgressText) {
        return false;
    }
    const size_t percent = text.find(L'%');
    if (percent == std::wstring::npos) {
        return false;
    }
    const size_t space = text.rfind(L' ', percent);
    if (space == std::wstring::npos) {
        return false;
    }
    const std::wstring number = text.substr(space + 1, percent - space - 1);
    progress = static_cast<float>(_wtoi(number.c_str())) / 100.0f;
    return true;
}
