#include "common/sha256.h"

#include <algorithm>
#include <cstring>

#include "common/sha256_instructions.h"
#include "common/text.h"

namespace {

const ULONG kDigestBytes = 32;
const size_t kBackgroundBlocks = 4;
const size_t kBackgroundBlockBytes = 1 << 20;

}  // namespace

Sha256::Sha256(Sha256Engine engine) {
    if (engine == Sha256Engine::kFastest && ProcessorHasSha256()) {
        static const uint32_t kInitialState[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                  0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
        std::copy(kInitialState, kInitialState + 8, state_);
        processor_ = true;
        return;
    }
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

void Sha256::UpdateOnProcessor(const unsigned char* bytes, size_t size) {
    length_ += size;
    if (pendingSize_ > 0) {
        const size_t taken = std::min(size, sizeof(pending_) - pendingSize_);
        memcpy(pending_ + pendingSize_, bytes, taken);
        pendingSize_ += taken;
        bytes += taken;
        size -= taken;
        if (pendingSize_ < sizeof(pending_)) {
            return;
        }
        Sha256ProcessorBlocks(state_, pending_, 1);
        pendingSize_ = 0;
    }
    Sha256ProcessorBlocks(state_, bytes, size / 64);
    pendingSize_ = size % 64;
    memcpy(pending_, bytes + size - pendingSize_, pendingSize_);
}

std::vector<unsigned char> Sha256::FinishOnProcessor() {
    // The padding: a one bit, zeros, and the length in bits (big-endian) at
    // the end of the last block.
    const uint64_t bits = length_ * 8;
    unsigned char tail[128] = {};
    memcpy(tail, pending_, pendingSize_);
    tail[pendingSize_] = 0x80;
    const size_t tailSize = pendingSize_ + 9 <= 64 ? 64 : 128;
    for (int i = 0; i < 8; ++i) {
        tail[tailSize - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
    }
    Sha256ProcessorBlocks(state_, tail, tailSize / 64);
    std::vector<unsigned char> digest(kDigestBytes);
    for (size_t i = 0; i < kDigestBytes; ++i) {
        digest[i] = static_cast<unsigned char>(state_[i / 4] >> (24 - 8 * (i % 4)));
    }
    return digest;
}

void Sha256::Update(const void* data, size_t size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    if (processor_) {
        if (!failed_) {
            UpdateOnProcessor(bytes, size);
        }
        return;
    }
    while (hash_ != nullptr && !failed_ && size > 0) {
        const ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
        failed_ = !BCRYPT_SUCCESS(BCryptHashData(hash_, const_cast<PUCHAR>(bytes), piece, 0));
        bytes += piece;
        size -= piece;
    }
}

std::vector<unsigned char> Sha256::Finish() {
    if (processor_) {
        std::vector<unsigned char> digest;
        if (!failed_) {
            digest = FinishOnProcessor();
        }
        failed_ = true;  // a finished hash takes no more data
        return digest;
    }
    std::vector<unsigned char> digest(kDigestBytes);
    if (hash_ == nullptr || failed_ ||
        !BCRYPT_SUCCESS(BCryptFinishHash(hash_, digest.data(), kDigestBytes, 0))) {
        digest.clear();
    }
    failed_ = true;  // a finished hash takes no more data
    return digest;
}

std::string Sha256::FinishHex() {
    return BytesToHex(Finish());
}

BackgroundSha256::BackgroundSha256()
    : blocks_(kBackgroundBlocks, std::vector<char>(kBackgroundBlockBytes)),
      lengths_(kBackgroundBlocks, 0),
      thread_([this] { Work(); }) {}

BackgroundSha256::~BackgroundSha256() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finishing_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void BackgroundSha256::HandOver() {
    ++queued_;
    filling_ = (filling_ + 1) % kBackgroundBlocks;
    lengths_[filling_] = 0;
    changed_.notify_all();
}

void BackgroundSha256::Update(const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    std::unique_lock<std::mutex> lock(mutex_);
    while (size > 0) {
        const size_t piece = std::min(size, kBackgroundBlockBytes - lengths_[filling_]);
        std::memcpy(blocks_[filling_].data() + lengths_[filling_], bytes, piece);
        lengths_[filling_] += piece;
        bytes += piece;
        size -= piece;
        if (lengths_[filling_] == kBackgroundBlockBytes) {
            // The block being filled is never one the helper reads.
            changed_.wait(lock, [this] { return queued_ + 1 < kBackgroundBlocks; });
            HandOver();
        }
    }
}

std::string BackgroundSha256::FinishHex() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return queued_ + 1 < kBackgroundBlocks; });
    if (lengths_[filling_] > 0) {
        HandOver();
    }
    changed_.wait(lock, [this] { return queued_ == 0; });
    return hash_.FinishHex();
}

void BackgroundSha256::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return finishing_ || queued_ > 0; });
        if (queued_ == 0) {
            return;
        }
        // The oldest block handed over.
        const size_t block = (filling_ + kBackgroundBlocks - queued_) % kBackgroundBlocks;
        lock.unlock();
        hash_.Update(blocks_[block].data(), lengths_[block]);
        lock.lock();
        --queued_;
        changed_.notify_all();
    }
}

bool IsSha256Hex(const std::string& text) {
    std::vector<unsigned char> digest;
    return text.size() == 2 * kDigestBytes && HexToBytes(text, digest);
}

std::vector<unsigned char> Sha256Of(const std::string& bytes) {
    Sha256 hash;
    hash.Update(bytes.data(), bytes.size());
    return hash.Finish();
}

std::string Sha256HexOf(const void* data, size_t size) {
    Sha256 hash;
    hash.Update(data, size);
    return hash.FinishHex();
}

std::string Sha256HexOf(const std::string& bytes) {
    return Sha256HexOf(bytes.data(), bytes.size());
}
