#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/ecdsa_p256.h"
#include "updater/manifest_signature.h"

// The signature of an update folder: "manifest.json.sig" beside
// "manifest.json" holds an ECDSA P-256 signature of the SHA-256 of the
// manifest's exact bytes as 128 lower-case hex digits (r, then s) and "\n".
// The operator's private key file is one line of 192 lower-case hex digits
// (X, Y, then the secret d) and "\n"; its first 128 digits are the public
// key compiled into the launcher.

// Makes a new key pair and writes it to path, which must not exist yet (the
// file is created exclusively). publicKeyHex receives the public key's 128
// hex digits. False, with a message in error, when nothing was written.
bool CreateKeyFile(const std::wstring& path, std::string& publicKeyHex, std::wstring& error);

// Reads a private key file and checks that the key signs what its own
// public half verifies. False, with a message in error, otherwise.
bool ReadKeyFile(const std::wstring& path, ByteString& privateKey, std::wstring& error);

// A public key as an operator gives it: 128 hex digits of either case.
bool ParsePublicKey(const std::wstring& hex, ByteString& publicKey);

// The text of the signature file for the manifest's bytes; empty when the
// system could not hash or sign.
std::string SignatureFileText(const ByteString& privateKey, const std::string& manifest);

// Checks the signature file of updateFolder against the manifest's bytes as
// a launcher holding keys does; matchedKey receives the index of the key
// that verifies.
ManifestRefusal CheckSignatureFile(const std::wstring& updateFolder, const std::string& manifest,
                                   const std::vector<ByteString>& keys, size_t& matchedKey);
