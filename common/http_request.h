#pragma once

#include <windows.h>
#include <winhttp.h>

#include <string>

#include "common/win_handle.h"

// The three WinHTTP handles of one request. Members are destroyed in reverse
// order, so they close request, connection, session.
struct HttpGetRequest {
    UniqueInternet session;
    UniqueInternet connection;
    UniqueInternet request;

    // Opens a session with userAgent (default proxy settings), connects to
    // host:port and opens a GET request for path with the given flags
    // (WINHTTP_FLAG_SECURE for TLS). False when any of the three fails.
    bool Open(const wchar_t* userAgent, const std::wstring& host, INTERNET_PORT port,
              const std::wstring& path, DWORD flags);

    // Sends the request (no extra headers, no body) and waits for the answer's
    // headers. On false, GetLastError() tells why.
    bool SendAndReceive();

    // The answer's status code; false when it cannot be read.
    bool QueryStatus(DWORD& status);
};
