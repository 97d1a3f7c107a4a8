#include "common/site.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

TEST(SiteAddress, SplitsSchemeHostAndPort) {
    SiteAddress address;
    ASSERT_TRUE(ParseSiteAddress(L"https://www.example.com", address));
    EXPECT_EQ(address.host, L"www.example.com");
    EXPECT_EQ(address.port, 443);
    EXPECT_TRUE(address.secure);

    ASSERT_TRUE(ParseSiteAddress(L"HTTP://127.0.0.1:8080", address));
    EXPECT_EQ(address.host, L"127.0.0.1");
    EXPECT_EQ(address.port, 8080);
    EXPECT_FALSE(address.secure);

    ASSERT_TRUE(ParseSiteAddress(L"http://localhost", address));
    EXPECT_EQ(address.port, 80);
}

TEST(SiteAddress, RejectsWhatIsNotSchemeHostPort) {
    SiteAddress address;
    address.host = L"unchanged";
    for (const wchar_t* bad : {L"", L"ftp://host", L"https://", L"https://:443", L"https://host:",
                               L"https://host:0", L"https://host:65536", L"https://host:12a",
                               L"https://host/path", L"https://u@host", L"host:443"}) {
        EXPECT_FALSE(ParseSiteAddress(bad, address)) << bad;
    }
    EXPECT_EQ(address.host, L"unchanged");
}

TEST(SiteAddress, CompiledInSiteIsUsableAndUpdateFolderHangsBelowIt) {
    SiteAddress address;
    ASSERT_TRUE(ParseSiteAddress(GameSiteUrl(), address)) << GameSiteUrl();
    EXPECT_EQ(GameSiteAddress().host, address.host);
    EXPECT_EQ(GameSiteAddress().port, address.port);
    EXPECT_EQ(UpdateFolderUrl(), std::wstring(GameSiteUrl()) + L"/ClientUpdates/");
    // Test and demo builds run on real installations too: the game server
    // they write into a player's setup.ini is never a loopback address.
    const std::wstring server = DefaultGameServerHost();
    EXPECT_NE(server, L"");
    for (const wchar_t* loopback : {L"127.", L"localhost", L"::1", L"0.0.0.0"}) {
        EXPECT_NE(server.compare(0, wcslen(loopback), loopback), 0) << server.c_str();
    }
}
