#include "common/http_request.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const DWORD kTls12 = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
const DWORD kTls13 = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;

}  // namespace

TEST(SecureProtocols, AsksForTls12And13ThenTls12AloneThenLeavesTheDefault) {
    struct Case {
        const char* system;
        std::vector<DWORD> accepted;  // what the system takes
        std::vector<DWORD> offered;   // what must be offered, in order
        DWORD result;
    };
    const Case cases[] = {
        {"current Windows", {kTls12 | kTls13, kTls12}, {kTls12 | kTls13}, kTls12 | kTls13},
        {"Windows 7", {kTls12}, {kTls12 | kTls13, kTls12}, kTls12},
        {"neither", {}, {kTls12 | kTls13, kTls12}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.system);
        std::vector<DWORD> offered;
        const DWORD result = ChooseSecureProtocols([&](DWORD protocols) {
            offered.push_back(protocols);
            for (const DWORD accepted : c.accepted) {
                if (accepted == protocols) {
                    return true;
                }
            }
            return false;
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(offered, c.offered);
    }

    // Every session that fetches pages, pictures or downloads is set up so.
    HttpGetRequest http;
    ASSERT_TRUE(http.Open(L"VantoraTest/1.0", L"127.0.0.1", 9, L"/", WINHTTP_FLAG_SECURE));
    EXPECT_NE(http.secureProtocols & kTls12, 0u);
}
