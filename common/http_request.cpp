#include "common/http_request.h"

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
