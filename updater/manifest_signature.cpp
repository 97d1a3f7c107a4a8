#include "updater/manifest_signature.h"

#include "common/ecdsa_p256.h"
#include "common/sha256.h"
#include "common/text.h"
#include "update_keys_config.h"

const wchar_t kSignatureFileName[] = L"manifest.json.sig";

namespace {

// The signature's hex digits without the one line break that may follow.
std::string WithoutLineBreak(const std::string& text) {
    for (const char* end : {"\r\n", "\n"}) {
        const std::string ending(end);
        if (text.size() >= ending.size() &&
            text.compare(text.size() - ending.size(), ending.size(), ending) == 0) {
            return text.substr(0, text.size() - ending.size());
        }
    }
    return text;
}

}  // namespace

const wchar_t* ManifestRefusalText(ManifestRefusal refusal) {
    switch (refusal) {
        case ManifestRefusal::kAccepted:
            return L"";
        case ManifestRefusal::kMissing:
            return L"missing";
        case ManifestRefusal::kMalformed:
            return L"malformed";
        case ManifestRefusal::kNoKeyMatches:
            return L"no key matches";
        case ManifestRefusal::kPackageWithoutSha256:
            return L"package without sha256";
    }
    return L"";
}

std::vector<std::string> CompiledUpdateKeys() {
    std::vector<std::string> keys;
    const std::string text = VANTORA_UPDATE_KEYS;
    for (size_t start = 0; start < text.size();) {
        const size_t comma = text.find(',', start);
        const size_t end = comma == std::string::npos ? text.size() : comma;
        if (end > start) {
            keys.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return keys;
}

ManifestRefusal CheckManifestSignature(const std::string& manifest, const std::string* signature,
                                       const std::vector<std::string>& keys) {
    if (signature == nullptr) {
        return ManifestRefusal::kMissing;
    }
    const std::string hex = WithoutLineBreak(*signature);
    ByteString signatureBytes;
    if (hex.size() != 2 * kP256SignatureBytes || !HexToBytes(hex, signatureBytes)) {
        return ManifestRefusal::kMalformed;
    }
    const ByteString digest = Sha256Of(manifest);
    for (const std::string& key : keys) {
        ByteString keyBytes;
        if (HexToBytes(key, keyBytes) && VerifyP256(keyBytes, digest, signatureBytes)) {
            return ManifestRefusal::kAccepted;
        }
    }
    return ManifestRefusal::kNoKeyMatches;
}

ManifestRefusal CheckPackageDigests(UpdateManifest& manifest) {
    for (auto* list : {&manifest.fulls, &manifest.patches}) {
        for (UpdatePackage& package : *list) {
            if (package.sha256.empty()) {
                return ManifestRefusal::kPackageWithoutSha256;
            }
            // An archive of differences that cannot be checked is not
            // fetched: the whole patch serves.
            if (package.delta.sha256.empty()) {
                package.delta = DeltaPackage();
            }
        }
    }
    return ManifestRefusal::kAccepted;
}
