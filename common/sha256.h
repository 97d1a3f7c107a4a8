#pragma once

#include <windows.h>
#include <bcrypt.h>

#include <cstddef>
#include <string>

// SHA-256 with the system's own implementation (CNG), fed piece by piece so
// that a file of any size is hashed as it streams past.
class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // False when the system could not set up the hash.
    bool ok() const { return hash_ != nullptr; }

    void Update(const void* data, size_t size);

    // The digest as 64 lower-case hex digits; empty when the hash failed.
    // The object is spent afterwards.
    std::string FinishHex();

  private:
    BCRYPT_ALG_HANDLE algorithm_ = nullptr;
    BCRYPT_HASH_HANDLE hash_ = nullptr;
    bool failed_ = false;
};

// True for 64 hex digits of either case: the form a SHA-256 digest is
// written in.
bool IsSha256Hex(const std::string& text);
