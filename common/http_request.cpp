#include "common/http_request.h"

#include <cwchar>

namespace {

// The Content-Length header's text, when it fits into capacity characters
// with its terminator.
template <size_t capacity>
bool QueryContentLengthText(HINTERNET request, wchar_t (&text)[capacity]) {
    DWORD size = sizeof(text);
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                             text, &size, WINHTTP_NO_HEADER_INDEX)) {
        return false;
    }
    text[capacity - 1] = L'\0';
    return true;
}

}  // namespace

DWORD ChooseSecureProtocols(const std::function<bool(DWORD protocols)>& trySet) {
    const DWORD choices[] = {
        WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3,
        WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2,
    };
    for (const DWORD protocols : choices) {
        if (trySet(protocols)) {
            return protocols;
        }
    }
    return 0;
}

DWORD RequestModernTls(HINTERNET session) {
    return ChooseSecureProtocols([session](DWORD protocols) {
        return WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols,
                                sizeof(protocols)) != FALSE;
    });
}

bool HttpGetRequest::Open(const wchar_t* userAgent, const std::wstring& host, INTERNET_PORT port,
                          const std::wstring& path, DWORD flags) {
    session.reset(WinHttpOpen(userAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) {
        return false;
    }
    secureProtocols = RequestModernTls(session.get());
    connection.reset(WinHttpConnect(session.get(), host.c_str(), port, 0));
    if (!connection) {
        return false;
    }
    request.reset(WinHttpOpenRequest(connection.get(), L"GET", path.c_str(), nullptr,
                                     WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    return static_cast<bool>(request);
}

bool HttpGetRequest::SendAndReceive() {
    return WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                              WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
           WinHttpReceiveResponse(request.get(), nullptr);
}

bool HttpGetRequest::QueryStatus(DWORD& status) {
    DWORD size = sizeof(status);
    return WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                               WINHTTP_NO_HEADER_INDEX) != 0;
}

bool QueryStrictContentLength(HINTERNET request, uint64_t& length) {
    wchar_t text[32] = {};
    if (!QueryContentLengthText(request, text) || text[0] < L'0' || text[0] > L'9') {
        return false;
    }
    wchar_t* end = nullptr;
    const unsigned long long value = wcstoull(text, &end, 10);
    if (*end != L'\0') {
        return false;
    }
    length = value;
    return true;
}

bool QueryLenientContentLength(HINTERNET request, uint64_t& length) {
    wchar_t text[64] = {};  // 128 bytes
    if (!QueryContentLengthText(request, text)) {
        return false;
    }
    length = wcstoull(text, nullptr, 10);
    return true;
}
