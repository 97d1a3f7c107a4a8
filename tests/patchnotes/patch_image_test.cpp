#include "patchnotes/patch_image.h"

#include "patchnotes/web_fetch.h"

#include "tests/patchnotes/block_text.h"
#include "tests/patchnotes/loopback_site.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using PatchImage = LoopbackSiteTest;

std::string Resolved(const std::string& src) {
    std::string path = "unchanged";
    return ResolvePatchImagePath(src, path) ? path : "none (" + path + ")";
}

}  // namespace

TEST(ResolvePatchImagePath, EveryImageIsAPathOnTheSite) {
    EXPECT_EQ(Resolved("banner.jpg"), "/patchnotes/banner.jpg");
    EXPECT_EQ(Resolved("img/2024/a.png?v=2"), "/patchnotes/img/2024/a.png?v=2");
    EXPECT_EQ(Resolved("/img/x.png"), "/img/x.png");
    EXPECT_EQ(Resolved("https://cdn.elsewhere.example:8443/img/x.png"), "/img/x.png");
    EXPECT_EQ(Resolved("http://user@evil.example/steal?x=1"), "/steal?x=1");
    // Only a page-relative name goes below the notes folder; a host-relative
    // address stays on the site like any other path.
    EXPECT_EQ(Resolved("//evil.example/x.png"), "//evil.example/x.png");
    EXPECT_EQ(Resolved("HTTPS://evil.example/x.png"), "/patchnotes/HTTPS://evil.example/x.png");
}

TEST(ResolvePatchImagePath, SourcesThatFetchNothing) {
    const std::vector<std::string> sources = {"",
                                              "data:image/png;base64,iVBORw0KGgo=",
                                              "emojis/smile.png",
                                              "https://evil.example",
                                              "http://",
                                              "/img/a\r\nHost: evil.example\r\n.png",
                                              std::string("/a\0b.png", 8)};
    for (const std::string& src : sources) {
        EXPECT_EQ(Resolved(src), "none (unchanged)") << src;
    }
}

TEST_F(PatchImage, FetchesFromTheSiteOnly) {
    server.SetResponse("/patchnotes/a.png", ScriptedResponse::Ok(std::string("\x89PNG\0\1", 6)));
    server.SetResponse("/img/empty.png", ScriptedResponse::Ok(""));

    std::shared_ptr<PatchImageData> image = FetchPatchImage("a.png", site);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bytes, (std::vector<uint8_t>{0x89, 'P', 'N', 'G', 0, 1}));
    EXPECT_EQ(image->url, L"/patchnotes/a.png");
    EXPECT_TRUE(image->expanded);
    EXPECT_TRUE(image->altText.empty());
    EXPECT_FALSE(image->bitmap);

    // A 200 with no body is a fetched image, just one without bytes.
    image = FetchPatchImage("https://other.example/img/empty.png", site);
    ASSERT_TRUE(image);
    EXPECT_TRUE(image->bytes.empty());
    EXPECT_EQ(image->url, L"/img/empty.png");

    EXPECT_FALSE(FetchPatchImage("missing.png", site));
    EXPECT_FALSE(FetchPatchImage("emojis/smile.png", site));
    EXPECT_FALSE(FetchPatchImage("data:image/png;base64,AAAA", site));
    EXPECT_EQ(Targets(), (std::vector<std::string>{"/patchnotes/a.png", "/img/empty.png",
                                                   "/patchnotes/missing.png"}));
    // Caches on the way are asked for a fresh copy of every picture.
    for (const RecordedRequest& request : server.Requests()) {
        const auto pragma = request.headers.find("pragma");
        EXPECT_TRUE(pragma != request.headers.end() && pragma->second == "no-cache")
            << request.target;
    }
}

TEST_F(PatchImage, EveryUsableTagMakesABlockEvenWithoutBytes) {
    server.SetResponse("/img/x.png", ScriptedResponse::Ok("xyz"));
    PatchNoteBlock block;

    ASSERT_TRUE(MakeImageBlock("<img src=/img/x.png alt=Logo>", site, 2, block));
    EXPECT_EQ(BlockText(block), L"IMG i2 6/8 /img/x.png 3 bytes alt=Logo");
    EXPECT_EQ(block.fontSize, 13.0f);
    EXPECT_FALSE(block.bold);
    EXPECT_FALSE(block.bullet);
    EXPECT_TRUE(block.text.empty());

    // A failed fetch keeps the source as written; the alt text loses its emoji.
    ASSERT_TRUE(MakeImageBlock(
        "<IMG ALT=\"\xF0\x9F\x94\xA5 New mount \xE2\x9C\xA8\" SRC='gone.png'>", site, 0, block));
    EXPECT_EQ(BlockText(block), L"IMG i0 6/8 gone.png 0 bytes alt=New mount");
    server.SetResponse("/img/huge.png",
                       ScriptedResponse::Ok(std::string(kMaxFetchedBodySize + 1, 'h')));
    ASSERT_TRUE(MakeImageBlock("<img src=/img/huge.png>", site, 0, block));
    EXPECT_EQ(BlockText(block), L"IMG i0 6/8 /img/huge.png 0 bytes alt=");
    ASSERT_TRUE(MakeImageBlock("<img src=\"https://site.example\">", site, 0, block));
    EXPECT_EQ(BlockText(block), L"IMG i0 6/8 https://site.example 0 bytes alt=");

    for (const char* tag : {"<img alt=\"no source\">", "<img src=\"\">", "<img src=emojis/a.png>",
                            "<img src=\"data:image/gif;base64,R0lGOD\">"}) {
        EXPECT_FALSE(MakeImageBlock(tag, site, 0, block)) << tag;
    }
    EXPECT_EQ(Targets(),
              (std::vector<std::string>{"/img/x.png", "/patchnotes/gone.png", "/img/huge.png"}));
}
