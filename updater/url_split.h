#pragma once

#include <windows.h>
#include <winhttp.h>

#include <string>

// An absolute URL split the way WinHTTP's requests take it.
struct UrlParts {
    std::wstring host;  // at most 255 characters
    std::wstring path;  // path and query, at most 1023 characters
    INTERNET_PORT port = 0;
    bool secure = false;  // https
};

// Splits url with WinHttpCrackUrl. False for anything it cannot split, and
// for a host or path too long for the download's buffers.
bool SplitUrl(const std::wstring& url, UrlParts& parts);
