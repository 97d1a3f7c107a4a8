#include "common/update_log.h"

#include <windows.h>

#include <cwchar>

#include "common/link_guard.h"
#include "common/text.h"
#include "common/win_handle.h"

namespace {

const wchar_t kLogFileName[] = L"updateerror.txt";

// Formats one conversion (the whole "%...x" text) with the system printf,
// whose rules for numbers are the same whichever stdio the build uses.
template <typename T>
void AppendConversion(std::wstring& out, const std::wstring& conversionText, T value) {
    wchar_t buffer[512];
    const int length = _snwprintf(buffer, 511, conversionText.c_str(), value);
    if (length >= 0) {
        out.append(buffer, static_cast<size_t>(length));
    } else {
        buffer[511] = L'\0';
        out.append(buffer);
    }
}

}  // namespace

std::wstring FormatLogPrefix(const SYSTEMTIME& time) {
    wchar_t prefix[32];
    _snwprintf(prefix, 31, L"[%02d:%02d:%02d] ", time.wHour, time.wMinute, time.wSecond);
    prefix[31] = L'\0';
    return prefix;
}

std::wstring FormatLogMessage(const wchar_t* format, va_list args) {
    std::wstring out;
    if (format == nullptr) {
        return out;
    }
    const wchar_t* p = format;
    while (*p != L'\0') {
        if (*p != L'%') {
            out.push_back(*p++);
            continue;
        }
        const wchar_t* start = p++;
        if (*p == L'%') {
            out.push_back(L'%');
            ++p;
            continue;
        }
        // Flags, width and precision (no '*').
        while (*p != L'\0' && wcschr(L"-+ #0", *p) != nullptr) {
            ++p;
        }
        while (*p >= L'0' && *p <= L'9') {
            ++p;
        }
        if (*p == L'.') {
            ++p;
            while (*p >= L'0' && *p <= L'9') {
                ++p;
            }
        }
        size_t longs = 0;
        while (*p == L'l') {
            ++longs;
            ++p;
        }
        const wchar_t conversion = *p;
        if (conversion == L'\0') {
            out.append(start);  // a dangling '%' is kept as written
            break;
        }
        ++p;
        // Length modifiers are written as the 64-bit form the system printf knows.
        std::wstring conversionText(start, static_cast<size_t>(p - start));
        switch (conversion) {
            case L'd':
            case L'i':
            case L'u':
            case L'x':
            case L'X':
            case L'o':
                if (longs >= 2) {
                    conversionText =
                        std::wstring(start, static_cast<size_t>(p - start) - longs - 1) + L"I64" +
                        conversion;
                    AppendConversion(out, conversionText, va_arg(args, long long));
                } else if (longs == 1) {
                    AppendConversion(out, conversionText, va_arg(args, long));
                } else {
                    AppendConversion(out, conversionText, va_arg(args, int));
                }
                break;
            case L'c':
                out.push_back(static_cast<wchar_t>(va_arg(args, int)));
                break;
            case L'f':
            case L'g':
            case L'e':
                AppendConversion(out, conversionText, va_arg(args, double));
                break;
            case L's': {
                const wchar_t* text = va_arg(args, const wchar_t*);
                out.append(text != nullptr ? text : L"(null)");
                break;
            }
            case L'S': {
                const char* text = va_arg(args, const char*);
                out.append(text != nullptr ? Utf8ToWide(text) : L"(null)");
                break;
            }
            default:
                // An unknown conversion takes an argument of unknown size, so
                // no later argument can be found safely: the rest of the
                // format is kept as written.
                out.append(start);
                return out;
        }
    }
    return out;
}

void AppendUpdateLogLine(const wchar_t* path, const std::wstring& message) {
    // The diary itself is opened, never a file a link at its name points to.
    UniqueFile file(CreateFileW(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    const DWORD attributes = file ? OpenFileAttributes(file.get()) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return;
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::string line = WideToUtf8(FormatLogPrefix(now) + message) + "\r\n";
    DWORD written = 0;
    WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void LogUpdate(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const std::wstring message = FormatLogMessage(format, args);
    va_end(args);
    AppendUpdateLogLine(kLogFileName, message);
}
