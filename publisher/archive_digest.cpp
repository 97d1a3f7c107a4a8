#include "publisher/archive_digest.h"

#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <vector>

#include "common/sha256.h"
#include "common/win_handle.h"

namespace {

const DWORD kReadBlock = 1 << 20;

}  // namespace

bool DigestArchive(const std::wstring& path, ArchiveDigest& digest) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        return false;
    }
    BackgroundSha256 sha256;  // beside the CRC and the reads
    uLong crc = crc32(0, nullptr, 0);
    uint64_t size = 0;
    std::vector<char> block(kReadBlock);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), block.data(), kReadBlock, &read, nullptr)) {
            return false;
        }
        if (read == 0) {
            break;
        }
        crc = crc32(crc, reinterpret_cast<const Bytef*>(block.data()), read);
        sha256.Update(block.data(), read);
        size += read;
    }
    char crcText[9];
    snprintf(crcText, sizeof(crcText), "%08lx", static_cast<unsigned long>(crc));
    digest.size = size;
    digest.crc = crcText;
    digest.sha256 = sha256.FinishHex();
    return !digest.sha256.empty();
}
