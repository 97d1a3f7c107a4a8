#pragma once

#include <cstdint>
#include <string>

// What the manifest records of an archive file.
struct ArchiveDigest {
    uint64_t size = 0;
    std::string crc;     // CRC-32 of the whole file, 8 lower-case hex digits
    std::string sha256;  // 64 lower-case hex digits
};

// Reads the file at path once for all three. False when it cannot be read.
bool DigestArchive(const std::wstring& path, ArchiveDigest& digest);
