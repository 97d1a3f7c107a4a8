#include "common/sha256.h"

namespace {

const ULONG kDigestBytes = 32;

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

Sha256::Sha256() {
    // The algorithm keeps the hash object itself (pbHashObject null), which
    // Windows 7 supports.
    if (!BCRYPT_SUCCESS(
            BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        algorithm_ = nullptr;
        return;
    }
    if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm_, &hash_, nullptr, 0, nullptr, 0, 0))) {
        hash_ = nullptr;
    }
}

Sha256::~Sha256() {
    if (hash_ != nullptr) {
        BCryptDestroyHash(hash_);
    }
    if (algorithm_ != nullptr) {
        BCryptCloseAlgorithmProvider(algorithm_, 0);
    }
}

void Sha256::Update(const void* data, size_t size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    while (hash_ != nullptr && !failed_ && size > 0) {
        const ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
        failed_ = !BCRYPT_SUCCESS(BCryptHashData(hash_, const_cast<PUCHAR>(bytes), piece, 0));
        bytes += piece;
        size -= piece;
    }
}

std::string Sha256::FinishHex() {
    unsigned char digest[kDigestBytes] = {};
    if (hash_ == nullptr || failed_ ||
        !BCRYPT_SUCCESS(BCryptFinishHash(hash_, digest, kDigestBytes, 0))) {
        failed_ = true;
        return std::string();
    }
    failed_ = true;  // a finished hash takes no more data
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

bool IsSha256Hex(const std::string& text) {
    if (text.size() != 2 * kDigestBytes) {
        return false;
    }
    for (char c : text) {
        if (!IsHexDigit(c)) {
            return false;
        }
    }
    return true;
}
