#pragma once

#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <functional>
#include <string>

#include "common/win_handle.h"

struct InternetHandleTraits {
    using Type = HINTERNET;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type handle) noexcept { ::WinHttpCloseHandle(handle); }
};

using UniqueInternet = UniqueHandle<InternetHandleTraits>;  // WinHTTP session/connection/request

// Offers the protocols of the first choice that `trySet` accepts: TLS 1.2
// and 1.3, else TLS 1.2 alone (Windows 7 refuses 1.3). Gives the accepted
// protocols, or 0 when both are refused and the system default stays.
DWORD ChooseSecureProtocols(const std::function<bool(DWORD protocols)>& trySet);

// Applies ChooseSecureProtocols to a WinHTTP session. Without it, WinHTTP on
// Windows 7 offers TLS 1.0 only, which modern HTTPS sites refuse.
DWORD RequestModernTls(HINTERNET session);

// The three WinHTTP handles of one request. Members are destroyed in reverse
// order, so they close request, connection, session.
struct HttpGetRequest {
    UniqueInternet session;
    UniqueInternet connection;
    UniqueInternet request;
    DWORD secureProtocols = 0;  // what the session was set to; 0: the system default

    // Opens a session with userAgent (default proxy settings, TLS 1.2 and 1.3
    // requested through RequestModernTls), connects to
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

// The answer's Content-Length as the patch-notes fetch reads it: true only
// for a header of 1 to 31 decimal digits and nothing else; a missing header
// or any other text counts as no length at all.
bool QueryStrictContentLength(HINTERNET request, uint64_t& length);

// The answer's Content-Length as the update download reads it: any header of
// up to 63 characters counts as present, with the unsigned decimal number it
// starts with as its value (as wcstoull reads it; 0 when it starts with
// none). False only for a missing or longer header.
bool QueryLenientContentLength(HINTERNET request, uint64_t& length);
