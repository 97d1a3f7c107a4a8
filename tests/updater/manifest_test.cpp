#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_folder.h"
#include "updater/updater.h"

namespace {

class ManifestParse : public ::testing::Test {
  protected:
    // Writes text to manifest.json and parses it.
    bool Parse(const std::string& text) {
        EXPECT_TRUE(WriteBytes(L"manifest.json", text));
        return ParseManifest("manifest.json", manifest_);
    }

    TempFolder folder_;
    ScopedCurrentDirectory cwd_{folder_.path()};
    UpdateManifest manifest_;
};

}  // namespace

TEST_F(ManifestParse, ReadsPackagesInFileOrder) {
    ASSERT_TRUE(Parse(R"({
        "latest": "2.4.0",
        "fulls": [
            {"version": "2.0.0", "zip": "full_200.zip", "crc": "0a1b", "size": 734003200,
             "created": 1700000000},
            {"version": "2.4.0", "zip": "full_240.zip", "created": 1710000000,
             "sha256": "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852b855"}
        ],
        "patches": [
            {"version": 1710000500, "zip": "patch_b.zip", "crc": "ff", "size": 4096,
             "created": 1710000500},
            {"version": -3, "zip": "patch_a.zip", "created": 1710000100},
            {"unknown": true}
        ],
        "comment": "keys the launcher does not know are ignored"
    })"));
    EXPECT_EQ(manifest_.latest, "2.4.0");
    ASSERT_EQ(manifest_.fulls.size(), 2u);
    EXPECT_EQ(manifest_.fulls[0].version, "2.0.0");
    EXPECT_EQ(manifest_.fulls[0].zip, "full_200.zip");
    EXPECT_EQ(manifest_.fulls[0].crc, "0a1b");
    EXPECT_EQ(manifest_.fulls[0].size, 734003200);
    EXPECT_EQ(manifest_.fulls[0].created, 1700000000);
    EXPECT_EQ(manifest_.fulls[1].crc, "");
    EXPECT_EQ(manifest_.fulls[1].size, 0);
    EXPECT_EQ(manifest_.fulls[0].sha256, "");  // not checked
    EXPECT_EQ(manifest_.fulls[1].sha256,
              "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852b855");

    ASSERT_EQ(manifest_.patches.size(), 3u);
    EXPECT_EQ(manifest_.patches[0].version, "1710000500");  // numeric version kept as text
    EXPECT_EQ(manifest_.patches[1].version, "-3");
    EXPECT_EQ(manifest_.patches[1].zip, "patch_a.zip");
    // A package object without any known key takes every default.
    EXPECT_EQ(manifest_.patches[2].version, "0");
    EXPECT_EQ(manifest_.patches[2].zip, "");
    EXPECT_EQ(manifest_.patches[2].created, 0);
}

TEST_F(ManifestParse, MissingOrNullListsMeanNoPackages) {
    ASSERT_TRUE(Parse(R"({"patches": null})"));
    EXPECT_EQ(manifest_.latest, "");
    EXPECT_TRUE(manifest_.patches.empty());
    EXPECT_TRUE(manifest_.fulls.empty());
    ASSERT_TRUE(Parse(R"({"fulls": [], "patches": []})"));
    EXPECT_TRUE(manifest_.fulls.empty());
}

TEST_F(ManifestParse, NumbersAreTruncatedWithinTheirFieldRange) {
    ASSERT_TRUE(Parse(R"({"fulls": [
        {"created": 12.9, "size": 2147483647},
        {"created": -12.9, "size": 7.99},
        {"created": 1710000500.7, "size": -2147483648},
        {"created": 9223372036854775807},
        {"created": -9223372036854775808},
        {"size": 3000000000, "created": 5},
        {"size": 3e9}
    ], "patches": [{"version": 42.7}]})"));
    ASSERT_EQ(manifest_.fulls.size(), 7u);
    EXPECT_EQ(manifest_.fulls[0].created, 12);
    EXPECT_EQ(manifest_.fulls[0].size, INT32_MAX);
    EXPECT_EQ(manifest_.fulls[1].created, -12);
    EXPECT_EQ(manifest_.fulls[1].size, 7);
    EXPECT_EQ(manifest_.fulls[2].created, 1710000500);
    EXPECT_EQ(manifest_.fulls[2].size, INT32_MIN);
    EXPECT_EQ(manifest_.fulls[3].created, INT64_MAX);
    EXPECT_EQ(manifest_.fulls[4].created, INT64_MIN);
    // "size" is never used; a full archive past 2 GiB must not make the
    // manifest unreadable, so any integer is cut to 32 bits.
    EXPECT_EQ(manifest_.fulls[5].size, static_cast<int32_t>(3000000000u));
    EXPECT_EQ(manifest_.fulls[5].created, 5);
    EXPECT_EQ(manifest_.fulls[6].size, static_cast<int32_t>(3000000000u));
    EXPECT_EQ(manifest_.patches[0].version, "42");

    // Recorded after applying, a truncated stamp leaves the next one due.
    const std::string recorded = std::to_string(manifest_.fulls[2].created);
    EXPECT_TRUE(1710000501 > ParseVersionNumber(recorded));
    EXPECT_FALSE(1710000500 > ParseVersionNumber(recorded));
}

TEST_F(ManifestParse, MalformedManifestsAreAFalseResult) {
    const char* const malformed[] = {
        "",                                          // empty file
        "{\"fulls\": [",                             // cut off
        "{\"latest\": \"1\",}",                      // syntax error
        "[]",                                        // root not an object
        "\"text\"",                                  // root not an object
        "{\"latest\": 5}",                           // number where a string belongs
        "{\"patches\": [{\"version\": \"1.0\"}]}",   // string version in patches
        "{\"fulls\": [{\"version\": 3}]}",           // numeric version in fulls
        "{\"fulls\": [{\"zip\": 7}]}",               // number where a string belongs
        "{\"fulls\": [{\"created\": \"17\"}]}",      // string where a number belongs
        "{\"fulls\": [{\"size\": true}]}",           // boolean where a number belongs
        "{\"fulls\": [{\"crc\": null}]}",            // null where a string belongs
        "{\"patches\": [5]}",                        // package not an object
        "{\"patches\": [{\"created\": 1}, \"x\"]}",  // second package not an object
        "{\"fulls\": {\"version\": \"1\"}}",         // an object instead of a list
        "{\"fulls\": 3}",                            // a single value instead of a list
        // A digest that is not 64 hex digits could never match.
        "{\"fulls\": [{\"sha256\": \"\"}]}",
        "{\"patches\": [{\"sha256\": \"e3b0c442\"}]}",
        "{\"fulls\": [{\"sha256\": 5}]}",
        "{\"fulls\": [{\"sha256\": "
        "\"g3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855\"}]}",
        // Numbers beyond their field: recorded, such a stamp would leave no
        // later package due, ever.
        "{\"fulls\": [{\"created\": 1e300}]}",
        "{\"fulls\": [{\"created\": -1e300}]}",
        "{\"fulls\": [{\"created\": 9223372036854775808}]}",
        "{\"fulls\": [{\"created\": 18446744073709551615}]}",
        "{\"fulls\": [{\"created\": 9.3e18}]}",
    };
    for (const char* text : malformed) {
        manifest_.latest = "untouched";
        EXPECT_FALSE(Parse(text)) << text;
        EXPECT_EQ(manifest_.latest, "untouched") << text;
    }
}

TEST_F(ManifestParse, MissingFileAndDeepNestingFailWithoutCrashing) {
    EXPECT_FALSE(ParseManifest("no-such-manifest.json", manifest_));
    const std::string deep =
        "{\"fulls\":" + std::string(200000, '[') + std::string(200000, ']') + "}";
    EXPECT_FALSE(Parse(deep));
}

// A patch's "delta" is taken whole or not at all: one this launcher cannot
// use leaves the package as it is, with the whole patch.
TEST_F(ManifestParse, DeltaObjectsAreTakenOnlyWhenUsable) {
    const std::string digest(64, 'a');
    ASSERT_TRUE(Parse(R"({"patches": [
        {"created": 2, "zip": "p2.zip", "delta": {"zip": "p2_delta.zip", "size": 10,
         "crc": "0badf00d", "sha256": ")" +
                      digest + R"(", "from": "1"}},
        {"created": 3, "zip": "p3.zip", "delta": {"zip": "p3_delta.zip", "from": 2}},
        {"created": 4, "zip": "p4.zip", "delta": {"zip": "p4_delta.zip", "from": "none"}},
        {"created": 5, "zip": "p5.zip", "delta": {"zip": 5, "from": "4"}},
        {"created": 6, "zip": "p6.zip", "delta": {"zip": "p6_delta.zip", "from": "5", "sha256": "ab"}},
        {"created": 7, "zip": "p7.zip", "delta": ["p7_delta.zip"]}
    ]})"));
    ASSERT_EQ(manifest_.patches.size(), 6u);
    EXPECT_EQ(manifest_.patches[0].delta.zip, "p2_delta.zip");
    EXPECT_EQ(manifest_.patches[0].delta.size, 10);
    EXPECT_EQ(manifest_.patches[0].delta.crc, "0badf00d");
    EXPECT_EQ(manifest_.patches[0].delta.sha256, digest);
    EXPECT_EQ(manifest_.patches[0].delta.from, "1");
    EXPECT_EQ(manifest_.patches[1].delta.from, "2");
    for (size_t i = 2; i < manifest_.patches.size(); ++i) {
        EXPECT_EQ(manifest_.patches[i].delta.zip, "") << i;
        EXPECT_EQ(manifest_.patches[i].zip, "p" + std::to_string(i + 2) + ".zip");
    }
}
