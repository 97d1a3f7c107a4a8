#include "selfupdate/diary.h"

#include <windows.h>

#include <cstdarg>

#include "common/path.h"
#include "common/update_log.h"

void Diary::Write(const wchar_t* format, ...) const {
    const std::wstring path = JoinPath(folder_, L"updateerror.txt");

    va_list args;
    va_start(args, format);
    const std::wstring message = FormatLogMessage(format, args);
    va_end(args);
    AppendUpdateLogLine(path.c_str(), message);
}
