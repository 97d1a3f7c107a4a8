#pragma once

#include <cstddef>
#include <vector>

// ECDSA on the curve P-256 over a SHA-256 digest, with the system's own
// implementation (CNG's BCRYPT_ECDSA_P256_ALGORITHM, there since Windows
// Vista). Keys and signatures are the big-endian numbers that CNG's blobs
// hold after their header.

using ByteString = std::vector<unsigned char>;

constexpr size_t kP256PublicKeyBytes = 64;   // the point: X, then Y
constexpr size_t kP256PrivateKeyBytes = 96;  // X, Y, then the secret scalar d
constexpr size_t kP256SignatureBytes = 64;   // r, then s
constexpr size_t kSha256DigestBytes = 32;

// A new key pair from the system's random number generator.
bool GenerateP256Key(ByteString& privateKey);

// The public half of a private key.
ByteString P256PublicKeyOf(const ByteString& privateKey);

// Signs a SHA-256 digest. False when the key is not a P-256 private key.
bool SignP256(const ByteString& privateKey, const ByteString& digest, ByteString& signature);

// True only when signature is a valid signature of digest by publicKey;
// false for a wrong signature, a key that is not a point of the curve and
// any input of the wrong size.
bool VerifyP256(const ByteString& publicKey, const ByteString& digest, const ByteString& signature);
