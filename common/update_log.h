#pragma once

#include <windows.h>

#include <cstdarg>
#include <string>

// Appends one line to "updateerror.txt" in the current directory: the local
// time as "[hh:mm:ss] ", the formatted message and a line end, as UTF-8. The
// file is opened and closed for every line; a line that cannot be written is
// dropped silently.
//
// The format follows the Windows wide printf family: %s takes a UTF-16
// string, %S a narrow string (taken as UTF-8), %d an int, %lu an unsigned
// long (32 bits on Windows), %llu an unsigned 64-bit integer. Width and
// precision apply to numbers only; from the first conversion of any other
// kind on, the format is written as it stands.
void LogUpdate(const wchar_t* format, ...);

// Appends one line of message to the diary at path, time prefix and line end
// added, as LogUpdate does.
void AppendUpdateLogLine(const wchar_t* path, const std::wstring& message);

// The parts of a line, formatted as LogUpdate does.
std::wstring FormatLogPrefix(const SYSTEMTIME& time);
std::wstring FormatLogMessage(const wchar_t* format, va_list args);
