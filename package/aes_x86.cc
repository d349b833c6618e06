// AES-256 blocks with AES-NI, eight blocks at a time so the instructions' latency overlaps.
#include "package/aes_blocks.h"

#ifdef ZELVO_AES_X86

#include <immintrin.h>

#define AES_TARGET __attribute__((target("aes,sse4.1")))
#define AES_INLINE inline __attribute__((always_inline, target("aes,sse4.1")))

namespace {

constexpr size_t kLanes = 8;

AES_INLINE __m128i Load(const void* p) {
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}

AES_INLINE void Store(void* p, __m128i v) {
    _mm_storeu_si128(static_cast<__m128i*>(p), v);
}

// Runs kCount blocks through all rounds side by side; kDecrypt picks aesdec over aesenc.
template <bool kDecrypt, size_t kCount>
AES_INLINE void RunRounds(const __m128i* pKeys, const uint8_t* pIn, uint8_t* pOut) {
    __m128i b[kCount];
#pragma GCC unroll 8
    for (size_t k = 0; k < kCount; ++k) b[k] = _mm_xor_si128(Load(pIn + 16 * k), pKeys[0]);
    for (int nRound = 1; nRound < kAesRounds; ++nRound) {
        const __m128i key = pKeys[nRound];
#pragma GCC unroll 8
        for (size_t k = 0; k < kCount; ++k) {
            b[k] = kDecrypt ? _mm_aesdec_si128(b[k], key) : _mm_aesenc_si128(b[k], key);
        }
    }
#pragma GCC unroll 8
    for (size_t k = 0; k < kCount; ++k) {
        b[k] = kDecrypt ? _mm_aesdeclast_si128(b[k], pKeys[kAesRounds])
                        : _mm_aesenclast_si128(b[k], pKeys[kAesRounds]);
        Store(pOut + 16 * k, b[k]);
    }
}

template <bool kDecrypt>
AES_INLINE void CryptBlocks(const uint32_t* pKeyWords, const uint8_t* pIn, uint8_t* pOut,
                            size_t nBlocks) {
    __m128i keys[kAesRounds + 1];
    for (int r = 0; r <= kAesRounds; ++r) keys[r] = Load(pKeyWords + 4 * r);
    for (; nBlocks >= kLanes; nBlocks -= kLanes, pIn += 16 * kLanes, pOut += 16 * kLanes) {
        RunRounds<kDecrypt, kLanes>(keys, pIn, pOut);
    }
    for (; nBlocks > 0; --nBlocks, pIn += 16, pOut += 16) RunRounds<kDecrypt, 1>(keys, pIn, pOut);
}

}  // namespace

AES_TARGET void AesEncryptBlocksAesNi(const uint32_t* pKeys, const uint8_t* pIn, uint8_t* pOut,
                                      size_t nBlocks) {
    CryptBlocks<false>(pKeys, pIn, pOut, nBlocks);
}

AES_TARGET void AesDecryptBlocksAesNi(const uint32_t* pKeys, const uint8_t* pIn, uint8_t* pOut,
                                      size_t nBlocks) {
    CryptBlocks<true>(pKeys, pIn, pOut, nBlocks);
}

#endif  // ZELVO_AES_X86
