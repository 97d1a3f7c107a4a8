#include "common/command_line.h"

std::wstring QuoteArgument(const std::wstring& text) {
    std::wstring quoted = L"\"";
    for (wchar_t c : text) {
        if (c == L'"') {
            quoted += L'\\';
        }
        quoted += c;
    }
    quoted += L'"';
    return quoted;
}

std::wstring QuotePowerShellLiteral(const std::wstring& text) {
    std::wstring quoted = L"'";
    for (wchar_t c : text) {
        // PowerShell ends a single-quoted string at any of the typographic
        // single quotes too; each is written twice to stand for itself.
        if (c == L'\'' || (c >= 0x2018 && c <= 0x201B)) {
            quoted += c;
        }
        quoted += c;
    }
    quoted += L'\'';
    return quoted;
}
