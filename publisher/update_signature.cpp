#include "publisher/update_signature.h"

#include <windows.h>

#include "common/file_read.h"
#include "common/path.h"
#include "common/sha256.h"
#include "common/text.h"
#include "common/win_handle.h"

namespace {

// True when the key signs a digest that its public half then verifies.
bool SignsAndVerifies(const ByteString& privateKey) {
    const ByteString digest = Sha256Of("vantora-publish key check");
    ByteString signature;
    return SignP256(privateKey, digest, signature) &&
           VerifyP256(P256PublicKeyOf(privateKey), digest, signature);
}

}  // namespace

bool CreateKeyFile(const std::wstring& path, std::string& publicKeyHex, std::wstring& error) {
    ByteString key;
    if (!GenerateP256Key(key) || !SignsAndVerifies(key)) {
        error = L"The system could not make a P-256 key pair.";
        return false;
    }
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD code = GetLastError();
        error = code == ERROR_FILE_EXISTS
                    ? path + L" already exists; keygen never overwrites a key file."
                    : L"Cannot create " + path + L" (Win32 error " + std::to_wstring(code) + L").";
        return false;
    }
    const std::string text = BytesToHex(key) + "\n";
    DWORD written = 0;
    if (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size() || !FlushFileBuffers(file.get())) {
        error =
            L"Cannot write " + path + L" (Win32 error " + std::to_wstring(GetLastError()) + L").";
        file.reset();
        DeleteFileW(path.c_str());
        return false;
    }
    publicKeyHex = BytesToHex(P256PublicKeyOf(key));
    return true;
}

bool ReadKeyFile(const std::wstring& path, ByteString& privateKey, std::wstring& error) {
    std::string text;
    DWORD code = ERROR_SUCCESS;
    if (!ReadFileBytes(path, text, kSignatureFileLimit, code)) {
        error =
            L"Cannot read the key file " + path + L" (Win32 error " + std::to_wstring(code) + L").";
        return false;
    }
    // A line end added by an editor is forgiven; nothing else is.
    for (const char end : {'\n', '\r'}) {
        if (!text.empty() && text.back() == end) {
            text.pop_back();
        }
    }
    if (text.size() != 2 * kP256PrivateKeyBytes || !HexToBytes(text, privateKey) ||
        !SignsAndVerifies(privateKey)) {
        error = path + L" is not a key file of keygen (one line of 192 hex digits: X, Y, d).";
        return false;
    }
    return true;
}

bool ParsePublicKey(const std::wstring& hex, ByteString& publicKey) {
    return hex.size() == 2 * kP256PublicKeyBytes && HexToBytes(WideToUtf8(hex), publicKey);
}

std::string SignatureFileText(const ByteString& privateKey, const std::string& manifest) {
    ByteString signature;
    if (!SignP256(privateKey, Sha256Of(manifest), signature)) {
        return std::string();
    }
    return BytesToHex(signature) + "\n";
}

ManifestRefusal CheckSignatureFile(const std::wstring& updateFolder, const std::string& manifest,
                                   const std::vector<ByteString>& keys, size_t& matchedKey) {
    std::string text;
    DWORD code = ERROR_SUCCESS;
    const bool found =
        ReadFileBytes(JoinPath(updateFolder, kSignatureFileName), text, 4096, code) ||
        code == ERROR_FILE_TOO_LARGE;  // checked as empty: malformed
    ManifestRefusal refusal = ManifestRefusal::kNoKeyMatches;
    for (matchedKey = 0; matchedKey < keys.size(); ++matchedKey) {
        refusal = CheckManifestSignature(manifest, found ? &text : nullptr,
                                         {BytesToHex(keys[matchedKey])});
        if (refusal != ManifestRefusal::kNoKeyMatches) {
            break;
        }
    }
    return refusal;
}
