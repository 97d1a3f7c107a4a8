#include "common/site.h"

#include <gtest/gtest.h>

TEST(SiteAddress, SplitsSchemeHostAndPort) {
    SiteAddress address;
    ASSERT_TRUE(ParseSiteAddress(L"https://www.example.com", &address));
    EXPECT_EQ(address.host, L"www.example.com");
    EXPECT_EQ(address.port, 443);
    EXPECT_TRUE(address.secure);

    ASSERT_TRUE(ParseSiteAddress(L"HTTP://127.0.0.1:8080", &address));
    EXPECT_EQ(address.host, L"127.0.0.1");
    EXPECT_EQ(address.port, 8080);
    EXPECT_FALSE(address.secure);

    ASSERT_TRUE(ParseSiteAddress(L"http://localhost", &address));
    EXPECT_EQ(address.port, 80);
}

TEST(SiteAddress, RejectsWhatIsNotSchemeHostPort) {
    SiteAddress address;
    address.host = L"unchanged";
    for (const wchar_t* bad : {L"", L"ftp://host", L"https://", L"https://:443", L"https://host:",
                               L"https://host:0", L"https://host:65536", L"https://host:12a",
                               L"https://host/path", L"https://u@host", L"host:443"}) {
        EXPECT_FALSE(ParseSiteAddress(bad, &address)) << bad;
    }
    EXPECT_EQ(address.host, L"unchanged");
}

TEST(SiteAddress, CompiledInSiteIsUsableAndUpdateFolderHangsBelowIt) {
    SiteAddress address;
    ASSERT_TRUE(ParseSiteAddress(GameSiteUrl(), &address)) << GameSiteUrl();
    EXPECT_EQ(GameSiteAddress().host, address.host);
    EXPECT_EQ(GameSiteAddress().port, address.port);
    EXPECT_EQ(UpdateFolderUrl(), std::wstring(GameSiteUrl()) + L"/ClientUpdates/");
    EXPECT_NE(std::wstring(DefaultGameServerHost()), L"");
}
