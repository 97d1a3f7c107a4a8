#include "updater/manifest_signature.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/ecdsa_p256.h"
#include "common/sha256.h"
#include "common/text.h"

// A signature made by another implementation (OpenSSL) holds: keys and
// signatures are read in the byte order it writes them. Either compiled-in
// key signs; anything else is refused with its reason.
TEST(ManifestSignature, EitherKeySignsAndEverythingElseIsRefused) {
    const std::string opensslKey =
        "af85e967b0c2270def47496abf1509ce78a0aee5ee6591d31809413e5b2e6780"
        "d2adaa1fa460e74a16acf99730d3152f3865a3dffd214d1a7833a74bab909a41";
    const std::string bySsl =
        "15C7FFD9532361816A683A30FD9B822B825CD56A4B8DD62147D96E133FB6B099"
        "4025D3A8C49A0F4FBF201C7F505428AB915893F29A960A569B9A6ED25DD6E5E2\r\n";
    const std::string manifest = R"({"latest":"7"})";
    EXPECT_EQ(CheckManifestSignature(manifest, &bySsl, {opensslKey}), ManifestRefusal::kAccepted);

    ByteString key;
    ByteString signature;
    ASSERT_TRUE(GenerateP256Key(key) && SignP256(key, Sha256Of(manifest), signature));
    const std::vector<std::string> both = {opensslKey, BytesToHex(P256PublicKeyOf(key))};
    const std::string byOwn = BytesToHex(signature) + "\n";
    EXPECT_EQ(CheckManifestSignature(manifest, &byOwn, both), ManifestRefusal::kAccepted);
    EXPECT_EQ(CheckManifestSignature(manifest, &byOwn, {both[0]}), ManifestRefusal::kNoKeyMatches);
    EXPECT_EQ(CheckManifestSignature(manifest + " ", &byOwn, both), ManifestRefusal::kNoKeyMatches);
    EXPECT_EQ(CheckManifestSignature(manifest, nullptr, both), ManifestRefusal::kMissing);
    for (const std::string& bad : {byOwn.substr(1), byOwn + "\n", " " + byOwn,
                                   byOwn.substr(0, 126) + "zz\n", std::string()}) {
        EXPECT_EQ(CheckManifestSignature(manifest, &bad, both), ManifestRefusal::kMalformed) << bad;
    }

    UpdateManifest parsed;
    ASSERT_TRUE(ParseManifestText(R"({"fulls":[{"created":5,"sha256":")" + std::string(64, 'a') +
                                      R"("}],"patches":[{"version":6,"created":6}]})",
                                  parsed));
    EXPECT_EQ(CheckPackageDigests(parsed), ManifestRefusal::kPackageWithoutSha256);
    parsed.patches.clear();
    EXPECT_EQ(CheckPackageDigests(parsed), ManifestRefusal::kAccepted);
}
