// Pieces shared by the block digests: byte-order loads and stores, and the buffering and
// padding around a function that hashes whole blocks.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace digest {

template <class T>
inline T ByteSwap(T nValue) {
    static_assert(sizeof(T) == 4 || sizeof(T) == 8);
    if constexpr (sizeof(T) == 4) {
        return __builtin_bswap32(nValue);
    } else {
        return __builtin_bswap64(nValue);
    }
}

template <class T>
inline T LoadLe(const uint8_t* p) {
    T nValue;
    memcpy(&nValue, p, sizeof nValue);
    if constexpr (std::endian::native == std::endian::big) nValue = ByteSwap(nValue);
    return nValue;
}

template <class T>
inline T LoadBe(const uint8_t* p) {
    T nValue;
    memcpy(&nValue, p, sizeof nValue);
    if constexpr (std::endian::native == std::endian::little) nValue = ByteSwap(nValue);
    return nValue;
}

template <class T>
inline void StoreLe(uint8_t* p, T nValue) {
    if constexpr (std::endian::native == std::endian::big) nValue = ByteSwap(nValue);
    memcpy(p, &nValue, sizeof nValue);
}

template <class T>
inline void StoreBe(uint8_t* p, T nValue) {
    if constexpr (std::endian::native == std::endian::little) nValue = ByteSwap(nValue);
    memcpy(p, &nValue, sizeof nValue);
}

// Adds nLength bytes to a digest whose partial block is pBlock and whose byte count so far is
// *pnTotal: whole blocks go straight from the input to fnBlocks(pData, nBlocks), the rest
// waits in pBlock.
template <size_t kBlock, class FBlocks>
void FeedBlocks(uint8_t* pBlock, uint64_t* pnTotal, const void* pData, size_t nLength,
                FBlocks fnBlocks) {
    if (pData == nullptr || nLength == 0) return;
    const uint8_t* p = static_cast<const uint8_t*>(pData);
    const size_t nHeld = static_cast<size_t>(*pnTotal % kBlock);
    *pnTotal += nLength;
    if (nHeld > 0) {
        const size_t nTake = std::min(nLength, kBlock - nHeld);
        memcpy(pBlock + nHeld, p, nTake);
        p += nTake;
        nLength -= nTake;
        if (nHeld + nTake < kBlock) return;
        fnBlocks(pBlock, 1);
    }
    if (nLength >= kBlock) fnBlocks(p, nLength / kBlock);
    memcpy(pBlock, p + nLength / kBlock * kBlock, nLength % kBlock);
}

// The closing padding of MD5 and SHA-2: a one bit, zeros, and the message length in bits in
// the last kLengthField bytes of a block (big- or little-endian; only its low 64 bits can be
// other than zero here).
template <size_t kBlock, size_t kLengthField, bool kBigEndian, class FBlocks>
void FinishBlocks(uint8_t* pBlock, uint64_t* pnTotal, FBlocks fnBlocks) {
    const uint64_t nBits = *pnTotal * 8;
    const size_t nHeld = static_cast<size_t>(*pnTotal % kBlock);
    const size_t nRoom = kBlock - kLengthField;
    uint8_t pad[2 * kBlock] = {0x80};
    const size_t nPad = (nHeld < nRoom ? nRoom : nRoom + kBlock) - nHeld;
    uint8_t* pField = pad + nPad + (kBigEndian ? kLengthField - 8 : 0);
    if constexpr (kBigEndian) {
        StoreBe<uint64_t>(pField, nBits);
        // The bit count's 65th and higher bits, for inputs of 2^61 bytes or more.
        if (kLengthField > 8) pField[-1] = static_cast<uint8_t>(*pnTotal >> 61);
    } else {
        StoreLe<uint64_t>(pField, nBits);
    }
    FeedBlocks<kBlock>(pBlock, pnTotal, pad, nPad + kLengthField, fnBlocks);
}

}  // namespace digest
