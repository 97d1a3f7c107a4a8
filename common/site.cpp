#include "common/site.h"

#include "site_config.h"

namespace {

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix, size_t& length) {
    const size_t n = wcslen(prefix);
    if (text.size() < n || _wcsnicmp(text.c_str(), prefix, n) != 0) {
        return false;
    }
    length = n;
    return true;
}

}  // namespace

const wchar_t* GameSiteUrl() {
    return VANTORA_SITE_URL;
}

SiteAddress GameSiteAddress() {
    SiteAddress address;
    // The build refuses a malformed VANTORA_SITE_URL, so this cannot fail.
    ParseSiteAddress(GameSiteUrl(), address);
    return address;
}

std::wstring UpdateFolderUrl() {
    return std::wstring(GameSiteUrl()) + L"/ClientUpdates/";
}

const wchar_t* DefaultGameServerHost() {
    return VANTORA_GAME_SERVER_HOST;
}

bool ParseSiteAddress(const std::wstring& url, SiteAddress& out) {
    SiteAddress address;
    size_t at = 0;
    if (StartsWithNoCase(url, L"https://", at)) {
        address.secure = true;
        address.port = INTERNET_DEFAULT_HTTPS_PORT;
    } else if (StartsWithNoCase(url, L"http://", at)) {
        address.secure = false;
        address.port = INTERNET_DEFAULT_HTTP_PORT;
    } else {
        return false;
    }
    const std::wstring authority = url.substr(at);
    if (authority.find_first_of(L"/?#@ ") != std::wstring::npos) {
        return false;
    }
    const size_t colon = authority.find(L':');
    address.host = authority.substr(0, colon);
    if (address.host.empty()) {
        return false;
    }
    if (colon != std::wstring::npos) {
        const std::wstring digits = authority.substr(colon + 1);
        if (digits.empty() || digits.size() > 5 ||
            digits.find_first_not_of(L"0123456789") != std::wstring::npos) {
            return false;
        }
        const unsigned long port = wcstoul(digits.c_str(), nullptr, 10);
        if (port == 0 || port > 65535) {
            return false;
        }
        address.port = static_cast<INTERNET_PORT>(port);
    }
    out = address;
    return true;
}
