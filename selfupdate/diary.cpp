#include "selfupdate/diary.h"

#include <windows.h>

#include <cstdarg>

#include "updater/update_log.h"

void Diary::Write(const wchar_t* format, ...) const {
    std::wstring path = folder_;
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/') {
        path += L'\\';
    }
    path += L"updateerror.txt";

    va_list args;
    va_start(args, format);
    const std::wstring message = FormatLogMessage(format, args);
    va_end(args);
    AppendUpdateLogLine(path.c_str(), message);
}
