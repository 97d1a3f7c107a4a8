#include "app/resolution.h"

#include <windows.h>

#include <cwchar>

namespace {

const ResolutionOption kResolutions[kResolutionOptionCount] = {
    {1920, 1080, L"1920 x 1080"}, {1600, 900, L"1600 x 900"}, {1600, 1024, L"1600 x 1024"},
    {1440, 900, L"1440 x 900"},   {1366, 768, L"1366 x 768"}, {1280, 1024, L"1280 x 1024"},
    {1280, 800, L"1280 x 800"},   {1024, 768, L"1024 x 768"},
};

int32_t ReadClientNumber(const std::wstring& iniPath, const wchar_t* key) {
    wchar_t buffer[32] = {};
    GetPrivateProfileStringW(L"Client", key, L"0", buffer, 32, iniPath.c_str());
    return _wtoi(buffer);
}

}  // namespace

const ResolutionOption& ResolutionAt(size_t row) {
    return kResolutions[row];
}

size_t SelectResolutionRow(int32_t width, int32_t height) {
    for (size_t row = 0; row < kResolutionOptionCount; ++row) {
        if (kResolutions[row].width == width && kResolutions[row].height == height) {
            return row;
        }
    }
    return 0;
}

void ReadClientResolution(const std::wstring& iniPath, int32_t& width, int32_t& height) {
    width = ReadClientNumber(iniPath, L"width");
    height = ReadClientNumber(iniPath, L"height");
}
