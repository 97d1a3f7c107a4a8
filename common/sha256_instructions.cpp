#include "common/sha256_instructions.h"

#if defined(_MSC_VER)
#include <intrin.h>
#define VANTORA_SHA_TARGET
#else
#include <cpuid.h>
#include <immintrin.h>
#define VANTORA_SHA_TARGET __attribute__((target("sha,sse4.1,ssse3")))
#endif

namespace {

alignas(16) const uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

void Cpuid(unsigned leaf, unsigned subleaf, unsigned registers[4]) {
#if defined(_MSC_VER)
    int values[4];
    __cpuidex(values, static_cast<int>(leaf), static_cast<int>(subleaf));
    for (int i = 0; i < 4; ++i) {
        registers[i] = static_cast<unsigned>(values[i]);
    }
#else
    __cpuid_count(leaf, subleaf, registers[0], registers[1], registers[2], registers[3]);
#endif
}

bool DetectSha256() {
    unsigned registers[4] = {};
    Cpuid(0, 0, registers);
    if (registers[0] < 7) {
        return false;
    }
    Cpuid(1, 0, registers);
    const bool sse41 = (registers[2] & (1u << 19)) != 0;
    const bool ssse3 = (registers[2] & (1u << 9)) != 0;
    Cpuid(7, 0, registers);
    const bool sha = (registers[1] & (1u << 29)) != 0;
    return sse41 && ssse3 && sha;
}

}  // namespace

bool ProcessorHasSha256() {
    static const bool has = DetectSha256();
    return has;
}

// The state is kept as the instructions want it: ABEF and CDGH. Each group
// of four rounds adds its constants to four message words, runs two double
// rounds, and works the message schedule four words ahead.
VANTORA_SHA_TARGET void Sha256ProcessorBlocks(uint32_t state[8], const unsigned char* data,
                                              size_t blocks) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i abcd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
    __m128i efgh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
    abcd = _mm_shuffle_epi32(abcd, 0xB1);                // CDAB
    efgh = _mm_shuffle_epi32(efgh, 0x1B);                // EFGH
    __m128i state0 = _mm_alignr_epi8(abcd, efgh, 8);     // ABEF
    __m128i state1 = _mm_blend_epi16(efgh, abcd, 0xF0);  // CDGH
    for (; blocks > 0; --blocks, data += 64) {
        const __m128i savedState0 = state0;
        const __m128i savedState1 = state1;
        __m128i words[4];
        for (int group = 0; group < 16; ++group) {
            __m128i& current = words[group % 4];
            if (group < 4) {
                current = _mm_shuffle_epi8(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * group)), byteSwap);
            }
            __m128i message = _mm_add_epi32(
                current,
                _mm_load_si128(reinterpret_cast<const __m128i*>(&kRoundConstants[4 * group])));
            state1 = _mm_sha256rnds2_epu32(state1, state0, message);
            if (group >= 3 && group <= 14) {
                __m128i& next = words[(group + 1) % 4];
                next = _mm_add_epi32(next, _mm_alignr_epi8(current, words[(group + 3) % 4], 4));
                next = _mm_sha256msg2_epu32(next, current);
            }
            message = _mm_shuffle_epi32(message, 0x0E);
            state0 = _mm_sha256rnds2_epu32(state0, state1, message);
            if (group >= 1 && group <= 12) {
                __m128i& later = words[(group + 3) % 4];
                later = _mm_sha256msg1_epu32(later, current);
            }
        }
        state0 = _mm_add_epi32(state0, savedState0);
        state1 = _mm_add_epi32(state1, savedState1);
    }
    const __m128i feba = _mm_shuffle_epi32(state0, 0x1B);
    state1 = _mm_shuffle_epi32(state1, 0xB1);  // DCHG
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]),
                     _mm_blend_epi16(feba, state1, 0xF0));  // DCBA
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]),
                     _mm_alignr_epi8(state1, feba, 8));  // HGFE
}
