#include "updater/delta_apply.h"

#include <windows.h>

#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_d_stableOutBuffer
#include <zstd.h>

#include "common/mapped_file.h"
#include "common/path.h"
#include "common/sha256.h"
#include "updater/delta_header.h"
#include "updater/file_replace.h"

namespace {

struct ZstdDecoderTraits {
    using Type = ZSTD_DCtx*;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type context) noexcept { ZSTD_freeDCtx(context); }
};
using UniqueZstdDecoder = UniqueHandle<ZstdDecoderTraits>;

std::string Sha256Hex(const unsigned char* data, uint64_t size) {
    Sha256 hash;
    hash.Update(data, static_cast<size_t>(size));
    return hash.FinishHex();
}

// Decodes the entry's frame against base into the scratch file, which ends
// up holding the checked result on disk.
int DecodeInto(ZipReader& reader, const ZipEntryStat& stat, const MappedFile& base,
               const DeltaHeader& header, HANDLE scratch) {
    MappedFile result;
    DWORD error = ERROR_SUCCESS;
    if (!result.MapForWriting(scratch, header.resultSize, error)) {
        return kZipFileWriteFailed;
    }
    // The result is the decoder's window: with a stable output buffer it
    // keeps no window of its own, and the old file is its prefix.
    UniqueZstdDecoder decoder(ZSTD_createDCtx());
    if (!decoder ||
        ZSTD_isError(
            ZSTD_DCtx_setParameter(decoder.get(), ZSTD_d_windowLogMax, ZSTD_WINDOWLOG_MAX)) ||
        ZSTD_isError(ZSTD_DCtx_setParameter(decoder.get(), ZSTD_d_stableOutBuffer, 1)) ||
        ZSTD_isError(
            ZSTD_DCtx_refPrefix(decoder.get(), base.data(), static_cast<size_t>(base.size())))) {
        return kZipDifferenceDamaged;
    }
    ZSTD_outBuffer out = {result.mutableData(), static_cast<size_t>(result.size()), 0};
    size_t pending = 1;  // 0 once the frame is complete
    bool damaged = false;
    const bool read = reader.ReadEntry(stat, [&](const char* data, size_t size) {
        ZSTD_inBuffer in = {data, size, 0};
        while (in.pos < in.size) {
            if (pending == 0) {
                damaged = true;  // bytes after the frame
                return false;
            }
            pending = ZSTD_decompressStream(decoder.get(), &out, &in);
            if (ZSTD_isError(pending)) {
                damaged = true;
                return false;
            }
        }
        return true;
    });
    if (!read) {
        const int code = reader.TakeLastError();
        return damaged ? kZipDifferenceDamaged : code;
    }
    if (pending != 0 || out.pos != out.size ||
        Sha256Hex(result.data(), result.size()) != header.resultSha256) {
        return kZipDifferenceDamaged;
    }
    return result.Flush(scratch) ? kZipOk : kZipFileWriteFailed;
}

}  // namespace

int ApplyDeltaEntry(ZipReader& reader, const PlannedEntry& entry) {
    DeltaHeader header;
    if (entry.role != EntryRole::kWritten || !ParseDeltaHeader(entry.stat.comment, header)) {
        return kZipUnsupportedEntry;
    }
    DWORD error = ERROR_SUCCESS;
    MappedFile base;
    if (!base.OpenForReading(ExtendedLengthPath(entry.targetPath), error)) {
        return kZipBaseMismatch;
    }
    const std::string current = Sha256Hex(base.data(), base.size());
    if (base.size() == header.resultSize && current == header.resultSha256) {
        return kZipOk;
    }
    if (base.size() != header.baseSize || current != header.baseSha256) {
        return kZipBaseMismatch;
    }
    std::wstring scratchPath;
    UniqueFile scratch = CreateTempFileBeside(entry.targetPath, scratchPath);
    if (!scratch) {
        return kZipFileCreateFailed;
    }
    int outcome = DecodeInto(reader, entry.stat, base, header, scratch.get());
    FILETIME modified;
    const bool hasTime = ZipEntryTime(entry.stat.dosDate, modified);
    if (outcome == kZipOk && hasTime) {
        SetFileTime(scratch.get(), nullptr, nullptr, &modified);
    }
    scratch.reset();
    base.Close();  // the old file is replaced next
    bool moved = false;
    if (outcome == kZipOk &&
        !PutScratchInPlace(scratchPath, entry.targetPath, hasTime ? &modified : nullptr, moved)) {
        outcome = kZipFileReplaceFailed;
    }
    if (!moved) {
        DeleteFileW(scratchPath.c_str());
    }
    return outcome;
}
