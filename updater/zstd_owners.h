#pragma once

// Owners of zstd's encoder and decoder contexts; include <zstd.h> (with
// ZSTD_STATIC_LINKING_ONLY where needed) before this header.
#include "common/win_handle.h"

struct ZstdEncoderTraits {
    using Type = ZSTD_CCtx*;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type context) noexcept { ZSTD_freeCCtx(context); }
};
using UniqueZstdEncoder = UniqueHandle<ZstdEncoderTraits>;

struct ZstdDecoderTraits {
    using Type = ZSTD_DCtx*;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type context) noexcept { ZSTD_freeDCtx(context); }
};
using UniqueZstdDecoder = UniqueHandle<ZstdDecoderTraits>;
