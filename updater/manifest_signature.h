#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "updater/updater.h"

// Signed update folders: "manifest.json.sig" beside "manifest.json" holds
// the ECDSA P-256 signature (r then s, 128 hex digits, optionally followed
// by a line break) of the SHA-256 of the manifest's exact bytes. A launcher
// with public keys compiled in takes only a manifest signed by one of them,
// in which every package names its archive's SHA-256.

extern const wchar_t kSignatureFileName[];  // "manifest.json.sig"
// A signature file is 128 hex digits and a line break; a larger one is
// read as empty: malformed.
constexpr size_t kSignatureFileLimit = 256;

// Why a manifest was refused; kAccepted when it holds.
enum class ManifestRefusal {
    kAccepted,
    kMissing,               // no signature file could be fetched
    kMalformed,             // the file is not 128 hex digits and a line break
    kNoKeyMatches,          // no compiled-in key made this signature of these bytes
    kPackageWithoutSha256,  // a listed archive could not be checked after its download
};

// The reason as the diary names it ("missing", "malformed", "no key
// matches", "package without sha256").
const wchar_t* ManifestRefusalText(ManifestRefusal refusal);

// Checks signature, the text of "manifest.json.sig" (null when there is
// none), over the manifest's bytes against each of keys.
ManifestRefusal CheckManifestSignature(const std::string& manifest, const std::string* signature,
                                       const std::vector<std::string>& keys);

// kPackageWithoutSha256 when a package of manifest lacks its "sha256". A
// patch's archive of differences without one is dropped from the manifest.
ManifestRefusal CheckPackageDigests(UpdateManifest& manifest);
