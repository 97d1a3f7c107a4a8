#include "patchnotes/web_fetch.h"

#include "common/http_request.h"

#include <windows.h>
#include <winhttp.h>

#include <cwchar>
#include <new>

namespace {

const wchar_t kUserAgent[] = L"VantoraLauncher/1.0";

bool ReadWholeBody(HINTERNET request, std::vector<uint8_t>& body) {
    const size_t start = body.size();
    // A declared length above the cap is refused before anything is read.
    uint64_t declared = 0;
    const bool hasLength = QueryStrictContentLength(request, declared);
    if (hasLength && declared > kMaxFetchedBodySize) {
        return false;
    }
    for (;;) {
        DWORD available = 0;
        // A failure here is a broken transfer, not the end of the body.
        if (!WinHttpQueryDataAvailable(request, &available)) {
            return false;
        }
        if (available == 0) {
            break;
        }
        const size_t tail = body.size();
        if (tail - start + available > kMaxFetchedBodySize) {
            return false;
        }
        body.resize(tail + available);
        DWORD read = 0;
        if (!WinHttpReadData(request, body.data() + tail, available, &read)) {
            return false;
        }
        body.resize(tail + read);
    }
    // A connection that closes early can look like a normal end; the
    // declared length tells the two apart.
    if (hasLength && declared != body.size() - start) {
        return false;
    }
    return true;
}

}  // namespace

bool FetchFromSite(const SiteAddress& site, const std::wstring& path, std::vector<uint8_t>& body) {
    HttpGetRequest http;
    const DWORD flags = WINHTTP_FLAG_REFRESH | (site.secure ? WINHTTP_FLAG_SECURE : 0);
    if (!http.Open(kUserAgent, site.host, site.port, path, flags) || !http.SendAndReceive()) {
        return false;
    }
    DWORD status = 0;
    if (!http.QueryStatus(status) || status != HTTP_STATUS_OK) {
        return false;
    }
    // The request, connection and session close in that order on return.
    const size_t before = body.size();
    bool complete = false;
    try {
        complete = ReadWholeBody(http.request.get(), body);
    } catch (const std::bad_alloc&) {
        // No memory for the body: the fetch fails like any other.
    }
    if (!complete) {
        body.resize(before);  // a partial body is of no use to anybody
        body.shrink_to_fit();
        return false;
    }
    return true;
}

bool FetchFromWebSite(const std::wstring& path, std::vector<uint8_t>& body) {
    return FetchFromSite(GameSiteAddress(), path, body);
}
