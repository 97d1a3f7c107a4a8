#pragma once

#include <cstdint>
#include <string>

// An archive of binary differences is a zip archive that holds a patch's
// entries, in the same order and under the same names. An entry whose
// comment is a difference header holds, stored, one zstd frame made with the
// file's earlier release as its referenced prefix (zstd's patch mode, a
// window that covers the file, the frame's own checksum); every other entry
// is a whole folder or file, exactly as in the whole patch.
//
// The header, in the entry's comment in the central directory:
//   "vantora-delta/1 <base size> <base sha256> <result size> <result sha256>"
// sizes in decimal, digests as 64 lower-case hex digits: the file the
// difference applies to, and the file it gives.
struct DeltaHeader {
    uint64_t baseSize = 0;
    std::string baseSha256;
    uint64_t resultSize = 0;
    std::string resultSha256;
};

// The largest file, in either release, that a difference is made for: the
// largest window a zstd decoder accepts in either build (2^30 bytes in a
// 32-bit program). Larger files go whole.
constexpr uint64_t kDeltaFileLimit = uint64_t{1} << 30;

// True when an entry's comment marks it as a difference (whether or not the
// header is one this program can read).
bool IsDeltaComment(const std::string& comment);

std::string DeltaHeaderText(const DeltaHeader& header);

// False unless comment is a complete header of this version, sizes from 1
// up to kDeltaFileLimit.
bool ParseDeltaHeader(const std::string& comment, DeltaHeader& header);
