#include "updater/delta_apply.h"

#include <windows.h>

#include <thread>

#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_d_stableOutBuffer
#include <zstd.h>

#include "common/mapped_file.h"
#include "common/path.h"
#include "common/sha256.h"
#include "updater/delta_header.h"
#include "updater/file_replace.h"
#include "updater/zstd_owners.h"

namespace {

// Joins a thread, if one was started, however the scope ends.
struct JoinOnExit {
    std::thread& thread;
    ~JoinOnExit() {
        if (thread.joinable()) {
            thread.join();
        }
    }
};

// Decodes the entry's frame against base into the scratch file, which ends
// up holding the checked result.
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
    // The view goes back to the file as any write does once it is closed.
    if (pending != 0 || out.pos != out.size ||
        Sha256HexOf(result.data(), static_cast<size_t>(result.size())) != header.resultSha256) {
        return kZipDifferenceDamaged;
    }
    return kZipOk;
}

}  // namespace

int ApplyDeltaEntry(ZipReader& reader, const PlannedEntry& entry, bool helperThread) {
    DeltaHeader header;
    if (entry.role != EntryRole::kWritten || !ParseDeltaHeader(entry.stat.comment, header)) {
        return kZipUnsupportedEntry;
    }
    DWORD error = ERROR_SUCCESS;
    MappedFile base;
    if (!base.OpenForReading(ExtendedLengthPath(entry.targetPath), error)) {
        return kZipBaseMismatch;
    }
    if (base.size() != header.baseSize) {
        const bool done =
            base.size() == header.resultSize &&
            Sha256HexOf(base.data(), static_cast<size_t>(base.size())) == header.resultSha256;
        return done ? kZipOk : kZipBaseMismatch;
    }
    std::wstring scratchPath;
    UniqueFile scratch = CreateTempFileBeside(entry.targetPath, scratchPath);
    if (!scratch) {
        return kZipFileCreateFailed;
    }
    // The old file's digest is worked out beside the decoding, which goes to
    // the scratch file alone: nothing takes the file's place before it holds.
    std::string current;
    const auto hashBase = [&] {
        current = Sha256HexOf(base.data(), static_cast<size_t>(base.size()));
    };
    int outcome = kZipOk;
    {
        std::thread baseHash;
        const JoinOnExit join{baseHash};
        if (helperThread) {
            baseHash = std::thread(hashBase);
        } else {
            hashBase();
        }
        outcome = DecodeInto(reader, entry.stat, base, header, scratch.get());
    }
    if (current == header.resultSha256 && header.resultSize == header.baseSize) {
        outcome = kZipOk;  // already the result: the scratch file goes
        scratch.reset();
        DeleteFileW(scratchPath.c_str());
        return outcome;
    }
    if (current != header.baseSha256) {
        outcome = kZipBaseMismatch;
    }
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
