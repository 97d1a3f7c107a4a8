#pragma once

#include <windows.h>
#include <winhttp.h>

#include <string>

// A web site address split the way WinHTTP takes it.
struct SiteAddress {
    std::wstring host;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTPS_PORT;
    bool secure = true;  // https
};

// The game web site compiled into the launcher: scheme://host[:port], no path.
const wchar_t* GameSiteUrl();

// Host, port and TLS of the game web site.
SiteAddress GameSiteAddress();

// The update folder on the game web site: GameSiteUrl() + "/ClientUpdates/".
std::wstring UpdateFolderUrl();

// Default host of the game server ([NET] IP of the client's setup.ini).
const wchar_t* DefaultGameServerHost();

// Splits "http://host[:port]" or "https://host[:port]". False for any other
// scheme, an empty host, a bad port or a path after the authority.
bool ParseSiteAddress(const std::wstring& url, SiteAddress& out);
