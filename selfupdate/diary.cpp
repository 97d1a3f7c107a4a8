#include "selfupdate/diary.h"

#include <windows.h>

#include <cstdarg>
#include <exception>

#include "common/path.h"
#include "common/update_log.h"

void Diary::Write(const wchar_t* format, ...) const {
    va_list args;
    va_start(args, format);
    try {
        const std::wstring message = FormatLogMessage(format, args);
        AppendUpdateLogLine(JoinPath(folder_, L"updateerror.txt").c_str(), message);
    } catch (...) {
        // The line is dropped, as one the file system refuses is.
    }
    va_end(args);
}

void Diary::WriteInternalError() const {
    try {
        throw;
    } catch (const std::exception& error) {
        Write(L"Internal error: %S", error.what());
    } catch (...) {
        Write(L"Internal error: %S", "unknown exception");
    }
}

RetryNotice Diary::InUseNotice(const std::wstring& path) const {
    return [this, path](DWORD error) {
        Write(L"File is in use, retrying: %s Win32=%lu", path.c_str(), error);
    };
}
