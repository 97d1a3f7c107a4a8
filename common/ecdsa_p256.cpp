#include "common/ecdsa_p256.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>

#include "common/win_handle.h"

namespace {

struct AlgorithmTraits {
    using Type = BCRYPT_ALG_HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type handle) noexcept { BCryptCloseAlgorithmProvider(handle, 0); }
};

struct KeyTraits {
    using Type = BCRYPT_KEY_HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type handle) noexcept { BCryptDestroyKey(handle); }
};

using UniqueAlgorithm = UniqueHandle<AlgorithmTraits>;
using UniqueKey = UniqueHandle<KeyTraits>;

const size_t kCoordinateBytes = 32;

UniqueAlgorithm OpenEcdsaP256() {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!BCRYPT_SUCCESS(
            BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
        return UniqueAlgorithm();
    }
    return UniqueAlgorithm(algorithm);
}

// Imports key (public: X Y; private: X Y d) behind the blob header CNG wants.
UniqueKey ImportKey(BCRYPT_ALG_HANDLE algorithm, const ByteString& key, bool isPrivate) {
    BCRYPT_ECCKEY_BLOB header;
    header.dwMagic = isPrivate ? BCRYPT_ECDSA_PRIVATE_P256_MAGIC : BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    header.cbKey = kCoordinateBytes;
    ByteString blob(sizeof(header) + key.size());
    std::memcpy(blob.data(), &header, sizeof(header));
    std::memcpy(blob.data() + sizeof(header), key.data(), key.size());
    BCRYPT_KEY_HANDLE handle = nullptr;
    if (!BCRYPT_SUCCESS(BCryptImportKeyPair(
            algorithm, nullptr, isPrivate ? BCRYPT_ECCPRIVATE_BLOB : BCRYPT_ECCPUBLIC_BLOB, &handle,
            blob.data(), static_cast<ULONG>(blob.size()), 0))) {
        return UniqueKey();
    }
    return UniqueKey(handle);
}

}  // namespace

bool GenerateP256Key(ByteString& privateKey) {
    const UniqueAlgorithm algorithm = OpenEcdsaP256();
    BCRYPT_KEY_HANDLE handle = nullptr;
    if (!algorithm || !BCRYPT_SUCCESS(BCryptGenerateKeyPair(algorithm.get(), &handle, 256, 0))) {
        return false;
    }
    const UniqueKey key(handle);
    ULONG size = 0;
    if (!BCRYPT_SUCCESS(BCryptFinalizeKeyPair(key.get(), 0)) ||
        !BCRYPT_SUCCESS(
            BCryptExportKey(key.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, nullptr, 0, &size, 0))) {
        return false;
    }
    ByteString blob(size);
    if (!BCRYPT_SUCCESS(BCryptExportKey(key.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, blob.data(),
                                        size, &size, 0)) ||
        size != sizeof(BCRYPT_ECCKEY_BLOB) + kP256PrivateKeyBytes) {
        return false;
    }
    privateKey.assign(blob.begin() + sizeof(BCRYPT_ECCKEY_BLOB), blob.begin() + size);
    return true;
}

ByteString P256PublicKeyOf(const ByteString& privateKey) {
    if (privateKey.size() != kP256PrivateKeyBytes) {
        return ByteString();
    }
    return ByteString(privateKey.begin(), privateKey.begin() + kP256PublicKeyBytes);
}

bool SignP256(const ByteString& privateKey, const ByteString& digest, ByteString& signature) {
    if (privateKey.size() != kP256PrivateKeyBytes || digest.size() != kSha256DigestBytes) {
        return false;
    }
    const UniqueAlgorithm algorithm = OpenEcdsaP256();
    const UniqueKey key = algorithm ? ImportKey(algorithm.get(), privateKey, true) : UniqueKey();
    ByteString out(kP256SignatureBytes);
    ULONG size = 0;
    if (!key ||
        !BCRYPT_SUCCESS(BCryptSignHash(key.get(), nullptr, const_cast<PUCHAR>(digest.data()),
                                       static_cast<ULONG>(digest.size()), out.data(),
                                       static_cast<ULONG>(out.size()), &size, 0)) ||
        size != kP256SignatureBytes) {
        return false;
    }
    signature.swap(out);
    return true;
}

bool VerifyP256(const ByteString& publicKey, const ByteString& digest,
                const ByteString& signature) {
    if (publicKey.size() != kP256PublicKeyBytes || digest.size() != kSha256DigestBytes ||
        signature.size() != kP256SignatureBytes) {
        return false;
    }
    const UniqueAlgorithm algorithm = OpenEcdsaP256();
    const UniqueKey key = algorithm ? ImportKey(algorithm.get(), publicKey, false) : UniqueKey();
    return key && BCRYPT_SUCCESS(BCryptVerifySignature(
                      key.get(), nullptr, const_cast<PUCHAR>(digest.data()),
                      static_cast<ULONG>(digest.size()), const_cast<PUCHAR>(signature.data()),
                      static_cast<ULONG>(signature.size()), 0));
}
