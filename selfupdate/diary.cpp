#include "selfupdate/diary.h"

#include <windows.h>

#include <cstdarg>

#include "common/text.h"
#include "common/win_handle.h"
#include "updater/update_log.h"

void Diary::Write(const wchar_t* format, ...) const {
    std::wstring path = folder_;
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/') {
        path += L'\\';
    }
    path += L"updateerror.txt";

    UniqueFile file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return;
    }
    SYSTEMTIME now;
    GetLocalTime(&now);

    va_list args;
    va_start(args, format);
    const std::wstring message = FormatLogMessage(format, args);
    va_end(args);

    const std::string line = WideToUtf8(FormatLogPrefix(now) + message) + "\r\n";
    DWORD written = 0;
    WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}
