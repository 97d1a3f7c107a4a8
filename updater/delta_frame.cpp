#include "updater/delta_frame.h"

#include <algorithm>
#include <vector>

#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_WINDOWLOG_MIN and _MAX
#include <zstd.h>

#include "updater/delta_header.h"
#include "updater/zstd_owners.h"

namespace {

const int kLevel = 3;
const size_t kOutputBlock = 1 << 20;
// Below this, one thread compresses faster than several start.
const uint64_t kThreadedSize = uint64_t{16} << 20;

// The smallest window, as a power of two, that covers `bytes`.
int WindowLogFor(uint64_t bytes) {
    int log = ZSTD_WINDOWLOG_MIN;
    while (log < ZSTD_WINDOWLOG_MAX && (uint64_t{1} << log) < bytes) {
        ++log;
    }
    return log;
}

bool Set(ZSTD_CCtx* encoder, ZSTD_cParameter parameter, int value) {
    return !ZSTD_isError(ZSTD_CCtx_setParameter(encoder, parameter, value));
}

}  // namespace

bool MakeDeltaFrame(const unsigned char* base, uint64_t baseSize, const unsigned char* data,
                    uint64_t size, uint64_t limit, unsigned threads, std::string& frame) {
    frame.clear();
    if (baseSize == 0 || size == 0 || std::max(baseSize, size) > kDeltaFileLimit) {
        return false;
    }
    UniqueZstdEncoder encoder(ZSTD_createCCtx());
    const int workers = threads > 1 && size >= kThreadedSize ? static_cast<int>(threads) : 0;
    if (!encoder || !Set(encoder.get(), ZSTD_c_compressionLevel, kLevel) ||
        !Set(encoder.get(), ZSTD_c_windowLog, WindowLogFor(std::max(baseSize, size))) ||
        !Set(encoder.get(), ZSTD_c_enableLongDistanceMatching, 1) ||
        !Set(encoder.get(), ZSTD_c_checksumFlag, 1) ||
        !Set(encoder.get(), ZSTD_c_contentSizeFlag, 1) ||
        (workers > 0 && !Set(encoder.get(), ZSTD_c_nbWorkers, workers)) ||
        ZSTD_isError(ZSTD_CCtx_setPledgedSrcSize(encoder.get(), size)) ||
        ZSTD_isError(ZSTD_CCtx_refPrefix(encoder.get(), base, static_cast<size_t>(baseSize)))) {
        return false;
    }
    std::vector<char> block(kOutputBlock);
    ZSTD_inBuffer in = {data, static_cast<size_t>(size), 0};
    for (;;) {
        ZSTD_outBuffer out = {block.data(), block.size(), 0};
        const size_t left = ZSTD_compressStream2(encoder.get(), &out, &in, ZSTD_e_end);
        if (ZSTD_isError(left) || frame.size() + out.pos > limit) {
            frame.clear();
            return false;
        }
        frame.append(block.data(), out.pos);
        if (left == 0) {
            return true;
        }
    }
}
