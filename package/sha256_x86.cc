// SHA-256 blocks with the x86 SHA extensions. The state is kept as the two vectors the
// instructions expect (ABEF and CDGH); each message vector holds four schedule words.
#include "package/sha2_blocks.h"

#ifdef ZELVO_SHA_X86

#include <immintrin.h>

#define SHA_TARGET __attribute__((target("sha,sse4.1,ssse3")))
#define SHA_INLINE inline __attribute__((always_inline, target("sha,sse4.1,ssse3")))

namespace {

// Four rounds: two sha256rnds2 steps over the words plus their constants.
SHA_INLINE void FourRounds(__m128i& abef, __m128i& cdgh, __m128i words, const uint32_t* pK) {
    __m128i m = _mm_add_epi32(words, _mm_loadu_si128(reinterpret_cast<const __m128i*>(pK)));
    cdgh = _mm_sha256rnds2_epu32(cdgh, abef, m);
    m = _mm_shuffle_epi32(m, 0x0e);
    abef = _mm_sha256rnds2_epu32(abef, cdgh, m);
}

// The next four schedule words from the previous sixteen (w0 the oldest vector).
SHA_INLINE __m128i NextWords(__m128i w0, __m128i w1, __m128i w2, __m128i w3) {
    __m128i t = _mm_sha256msg1_epu32(w0, w1);
    t = _mm_add_epi32(t, _mm_alignr_epi8(w3, w2, 4));
    return _mm_sha256msg2_epu32(t, w3);
}

}  // namespace

SHA_TARGET void Sha256BlocksShaNi(uint32_t* pState, const uint8_t* pData, size_t nBlocks) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pState));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pState + 4));
    __m128i cdab = _mm_shuffle_epi32(dcba, 0xb1);
    __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1b);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xf0);

    for (; nBlocks > 0; --nBlocks, pData += 64) {
        const __m128i abefSaved = abef;
        const __m128i cdghSaved = cdgh;
        __m128i w[4];
        for (int i = 0; i < 4; ++i) {
            w[i] = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(pData + 16 * i)), byteSwap);
        }
#pragma GCC unroll 16
        for (int g = 0; g < 16; ++g) {
            if (g >= 4)
                w[g % 4] = NextWords(w[g % 4], w[(g + 1) % 4], w[(g + 2) % 4], w[(g + 3) % 4]);
            FourRounds(abef, cdgh, w[g % 4], kSha256Rounds + 4 * g);
        }
        abef = _mm_add_epi32(abef, abefSaved);
        cdgh = _mm_add_epi32(cdgh, cdghSaved);
    }

    // Back from ABEF/CDGH to A..H in memory order.
    __m128i feba = _mm_shuffle_epi32(abef, 0x1b);
    __m128i dchg = _mm_shuffle_epi32(cdgh, 0xb1);
    dcba = _mm_blend_epi16(feba, dchg, 0xf0);
    hgfe = _mm_alignr_epi8(dchg, feba, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pState), dcba);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pState + 4), hgfe);
}

#endif  // ZELVO_SHA_X86
