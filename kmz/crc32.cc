#include "kmz/crc32.h"

#include <zlib.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tervo {

namespace {

#if defined(__x86_64__)

__attribute__((target("sse4.1"))) inline __m128i Load(const uint8_t* data) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
}

// One lane carried 128 bits on (by the constants in `k`) and joined with the next.
__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i lane, __m128i next, __m128i k) {
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(lane, k, 0x11), next),
                         _mm_clmulepi64_si128(lane, k, 0x00));
}

// Folds 64 bytes at a time into four 128-bit lanes, then the lanes into one,
// then reduces it to 32 bits (Barrett), after "Fast CRC Computation for Generic
// Polynomials Using PCLMULQDQ Instruction" (Intel, 2009). `crc` and the result
// are the register value without zlib's final inversion. `size` is at least 64
// and a multiple of 16.
__attribute__((target("pclmul,sse4.1"))) uint32_t FoldCrc(const uint8_t* data, size_t size, uint32_t crc) {
    alignas(16) static const uint64_t kFold4[] = {0x0154442bd4, 0x01c6e41596};
    alignas(16) static const uint64_t kFold1[] = {0x01751997d0, 0x00ccaa009e};
    alignas(16) static const uint64_t kFold64[] = {0x0163cd6124, 0x0000000000};
    alignas(16) static const uint64_t kBarrett[] = {0x01db710641, 0x01f7011641};
    __m128i x1 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x2 = Load(data + 16);
    __m128i x3 = Load(data + 32);
    __m128i x4 = Load(data + 48);
    __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(kFold4));
    data += 64;
    size -= 64;
    for (; size >= 64; data += 64, size -= 64) {
        x1 = Fold(x1, Load(data), k);
        x2 = Fold(x2, Load(data + 16), k);
        x3 = Fold(x3, Load(data + 32), k);
        x4 = Fold(x4, Load(data + 48), k);
    }
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(kFold1));
    x1 = Fold(x1, x2, k);
    x1 = Fold(x1, x3, k);
    x1 = Fold(x1, x4, k);
    for (; size >= 16; data += 16, size -= 16) {
        x1 = Fold(x1, Load(data), k);
    }

    // 128 bits to 64.
    const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
    x2 = _mm_clmulepi64_si128(x1, k, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
    k = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kFold64));
    x2 = _mm_srli_si128(x1, 4);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k, 0x00), x2);

    // 64 bits to 32.
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(kBarrett));
    x2 = _mm_and_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k, 0x10), low32);
    x1 = _mm_xor_si128(x1, _mm_clmulepi64_si128(x2, k, 0x00));
    return static_cast<uint32_t>(_mm_extract_epi32(x1, 1));
}

bool CanFold() {
    static const bool can = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return can;
}

#endif

}  // namespace

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size) {
#if defined(__x86_64__)
    if (size >= 64 && CanFold()) {
        const size_t folded = size & ~size_t{15};
        crc = ~FoldCrc(data, folded, ~crc);
        data += folded;
        size -= folded;
    }
#endif
    // zlib takes at most 4 GiB per call.
    while (size > 0) {
        const auto piece = static_cast<uInt>(size < 0x40000000 ? size : 0x40000000);
        crc = static_cast<uint32_t>(crc32(crc, data, piece));
        data += piece;
        size -= piece;
    }
    return crc;
}

}  // namespace tervo
