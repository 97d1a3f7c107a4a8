#pragma once

#include <windows.h>
#include <bcrypt.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Which implementation a Sha256 uses.
enum class Sha256Engine {
    kFastest,  // the processor's SHA instructions where it has them, else the system's
    kSystem,   // the system's own (CNG)
};

// SHA-256, fed piece by piece so that a file of any size is hashed as it
// streams past: on the processor's SHA instructions where it has them
// (sha256_instructions.h), otherwise with the system's implementation (CNG).
class Sha256 {
  public:
    explicit Sha256(Sha256Engine engine = Sha256Engine::kFastest);
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // False when the system could not set up the hash.
    bool ok() const { return processor_ || hash_ != nullptr; }

    void Update(const void* data, size_t size);

    // The digest's 32 bytes; empty when the hash failed. The object is
    // spent afterwards.
    std::vector<unsigned char> Finish();
    // The digest as 64 lower-case hex digits; empty when the hash failed.
    std::string FinishHex();

  private:
    void UpdateOnProcessor(const unsigned char* bytes, size_t size);
    std::vector<unsigned char> FinishOnProcessor();

    BCRYPT_ALG_HANDLE algorithm_ = nullptr;
    BCRYPT_HASH_HANDLE hash_ = nullptr;
    bool failed_ = false;
    // The processor's instructions: the state, the bytes of a block not yet
    // full, and the length so far.
    bool processor_ = false;
    uint32_t state_[8] = {};
    unsigned char pending_[64] = {};
    size_t pendingSize_ = 0;
    uint64_t length_ = 0;
};

// SHA-256 computed on a helper thread while the caller goes on: Update
// copies the data into one of a few fixed blocks and returns at once, unless
// every block is still waiting to be hashed. Memory stays at those blocks
// whatever the amount of data.
class BackgroundSha256 {
  public:
    BackgroundSha256();
    ~BackgroundSha256();
    BackgroundSha256(const BackgroundSha256&) = delete;
    BackgroundSha256& operator=(const BackgroundSha256&) = delete;

    void Update(const void* data, size_t size);

    // Waits for the data handed over so far, then as Sha256::FinishHex.
    std::string FinishHex();

  private:
    void HandOver();  // queues the block being filled; the mutex is held
    void Work();

    Sha256 hash_;
    std::vector<std::vector<char>> blocks_;
    std::vector<size_t> lengths_;
    size_t filling_ = 0;  // the block Update writes to
    size_t queued_ = 0;   // blocks handed over and not yet hashed
    bool finishing_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
};

// True for 64 hex digits of either case: the form a SHA-256 digest is
// written in.
bool IsSha256Hex(const std::string& text);

// The SHA-256 of bytes; empty when the system could not hash.
std::vector<unsigned char> Sha256Of(const std::string& bytes);

// The SHA-256 of size bytes at data (of bytes) as 64 lower-case hex digits;
// empty when the system could not hash.
std::string Sha256HexOf(const void* data, size_t size);
std::string Sha256HexOf(const std::string& bytes);
