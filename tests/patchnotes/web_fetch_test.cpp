#include "patchnotes/web_fetch.h"

#include "tests/patchnotes/loopback_site.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

using WebFetch = LoopbackSiteTest;

}  // namespace

TEST_F(WebFetch, AppendsABodySentInManyPiecesInOrder) {
    std::string body;
    for (int i = 0; i < 20000; ++i) {
        body += static_cast<char>('A' + (i * 7) % 26);
    }
    body[100] = '\0';  // binary bytes pass through untouched
    body[101] = '\xFF';
    ScriptedResponse response = ScriptedResponse::Ok(body);
    response.pieceSize = 997;
    server.SetResponse("/patchnotes/patchnotes.php?lang=en", response);

    std::vector<uint8_t> buffer = Bytes("kept");
    ASSERT_TRUE(FetchFromSite(site, L"/patchnotes/patchnotes.php?lang=en", buffer));
    EXPECT_EQ(buffer, Bytes("kept" + body));

    const std::vector<RecordedRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/patchnotes/patchnotes.php?lang=en");
    EXPECT_EQ(requests[0].headers.at("user-agent"), "VantoraLauncher/1.0");
    // Caches on the way are asked for a fresh copy.
    EXPECT_EQ(requests[0].headers.count("pragma") ? requests[0].headers.at("pragma") : "",
              "no-cache");
}

TEST_F(WebFetch, OnlyAFinal200Succeeds) {
    server.SetResponse("/empty", ScriptedResponse::Ok(""));
    ScriptedResponse missing = ScriptedResponse::Status(404, "Not Found");
    missing.body = "<html>missing</html>";
    server.SetResponse("/missing", missing);
    server.SetResponse("/nothing", ScriptedResponse::Status(204, "No Content"));
    ScriptedResponse broken = ScriptedResponse::Status(500, "Internal Server Error");
    broken.body = "oops";
    server.SetResponse("/broken", broken);
    ScriptedResponse moved = ScriptedResponse::Status(302, "Found");
    moved.headers.push_back({"Location", "/moved-here"});
    server.SetResponse("/old", moved);
    server.SetResponse("/moved-here", ScriptedResponse::Ok("new place"));

    std::vector<uint8_t> buffer;
    EXPECT_TRUE(FetchFromSite(site, L"/empty", buffer));
    EXPECT_TRUE(buffer.empty());

    for (const wchar_t* path : {L"/missing", L"/nothing", L"/broken"}) {
        buffer.clear();
        EXPECT_FALSE(FetchFromSite(site, path, buffer)) << path;
        EXPECT_TRUE(buffer.empty()) << path;
    }

    buffer.clear();
    EXPECT_TRUE(FetchFromSite(site, L"/old", buffer));
    EXPECT_EQ(buffer, Bytes("new place"));
}

TEST_F(WebFetch, ABodyCutShortOrTooLargeIsAFailureAndLeavesTheBufferAsItWas) {
    ScriptedResponse cut = ScriptedResponse::Ok(std::string(5000, 'x'));
    cut.pieceSize = 1000;
    cut.closeAfterBytes = 2500;
    server.SetResponse("/cut", cut);
    // Without a declared length the closed connection ends the body.
    ScriptedResponse unsized = ScriptedResponse::Ok("until the end");
    unsized.length = ScriptedResponse::Length::kOmit;
    server.SetResponse("/unsized", unsized);

    std::vector<uint8_t> buffer = Bytes("old");
    EXPECT_FALSE(FetchFromSite(site, L"/cut", buffer));
    EXPECT_EQ(buffer, Bytes("old"));

    buffer.clear();
    EXPECT_TRUE(FetchFromSite(site, L"/unsized", buffer));
    EXPECT_EQ(buffer, Bytes("until the end"));

    // A wrong or redirected address that serves far more than a page or a
    // picture: refused whether the size is declared or not.
    const std::string atCap(kMaxFetchedBodySize, 'p');
    server.SetResponse("/largest", ScriptedResponse::Ok(atCap));
    ScriptedResponse declared = ScriptedResponse::Ok(atCap + "x");
    declared.pieceSize = 1024 * 1024;
    server.SetResponse("/declared-too-large", declared);
    ScriptedResponse streamed = declared;
    streamed.length = ScriptedResponse::Length::kOmit;
    server.SetResponse("/streamed-too-large", streamed);

    buffer = Bytes("old");
    EXPECT_TRUE(FetchFromSite(site, L"/largest", buffer));
    EXPECT_EQ(buffer.size(), 3 + atCap.size());
    for (const wchar_t* path : {L"/declared-too-large", L"/streamed-too-large"}) {
        buffer = Bytes("old");
        EXPECT_FALSE(FetchFromSite(site, path, buffer)) << path;
        EXPECT_EQ(buffer, Bytes("old")) << path;
    }
}

TEST_F(WebFetch, NoServerListeningIsAFailure) {
    server.Stop();
    std::vector<uint8_t> buffer;
    EXPECT_FALSE(FetchFromSite(site, L"/patchnotes/patchnotes.php", buffer));
    EXPECT_TRUE(buffer.empty());
}
