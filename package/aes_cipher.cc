// cbl::AesCipher: the chaining modes over whole-block batches. Every mode is reduced to one
// call of a block function over up to kBatch blocks (independent blocks, so the AES-NI path
// can overlap them) and XORs around it; only OFB must go block by block.
#include "package/aes_cipher.h"

#include <cstring>

#include "package/aes_blocks.h"
#include "package/cipher_hardware.h"
#include "package/digest_blocks.h"

namespace cbl {

namespace {

constexpr size_t kBlock = AesCipher::kBlockSize;
constexpr size_t kBatch = 8;  // blocks per call of the block function

enum Mode { kEcbDecrypt = 0, kCbcDecrypt, kCfbDecrypt, kOfb, kCtr, kModeCount };

struct BlockFunctions {
    AesBlocksFn fnEncrypt;
    AesBlocksFn fnDecrypt;
};

BlockFunctions PickBlockFunctions() {
#ifdef ZELVO_AES_X86
    if (UseAesInstructions()) return {AesEncryptBlocksAesNi, AesDecryptBlocksAesNi};
#endif
    return {AesEncryptBlocksPortable, AesDecryptBlocksPortable};
}

// pOut = pA ^ pB over nLength bytes (a multiple of 8); pOut may equal either input.
void XorBytes(uint8_t* pOut, const uint8_t* pA, const uint8_t* pB, size_t nLength) {
    for (size_t i = 0; i < nLength; i += 8) {
        uint64_t a, b;
        memcpy(&a, pA + i, 8);
        memcpy(&b, pB + i, 8);
        a ^= b;
        memcpy(pOut + i, &a, 8);
    }
}

// The 128-bit little-endian counter plus nAdd, written to pOut.
void CounterPlus(const uint8_t* pCounter, uint64_t nAdd, uint8_t* pOut) {
    const uint64_t nLow = digest::LoadLe<uint64_t>(pCounter);
    uint64_t nHigh = digest::LoadLe<uint64_t>(pCounter + 8);
    if (nLow + nAdd < nLow) ++nHigh;
    digest::StoreLe<uint64_t>(pOut, nLow + nAdd);
    digest::StoreLe<uint64_t>(pOut + 8, nHigh);
}

}  // namespace

void AesCipher::SetKey(const uint8_t* pKey) {
    if (pKey == nullptr) return;
    AesExpandKey(pKey, m_encryptKeys, m_decryptKeys);
    m_nKeyLength = kKeySize;
    m_nRounds = kAesRounds;
    m_bKeySet = 1;
}

void AesCipher::SetChainingVector(const uint8_t* pVector) {
    if (pVector == nullptr) return;
    memcpy(m_vector, pVector, kBlock);
    m_bVectorSet = 1;
}

void AesCipher::SetCounter(const uint8_t* pCounter) {
    if (pCounter == nullptr) return;
    memcpy(m_counter, pCounter, kBlock);
    m_bCounterSet = 1;
}

bool AesCipher::CanTransform(const uint8_t* pIn, const uint8_t* pOut, uint32_t nLength,
                             int nMode) const {
    if (pIn == nullptr || pOut == nullptr || m_bKeySet == 0) return false;
    if (nLength == 0 || nLength % kBlock != 0) return false;
    if (nMode < 0 || nMode >= kModeCount) return false;
    if (nMode == kCtr) return m_bCounterSet != 0;
    return nMode == kEcbDecrypt || m_bVectorSet != 0;
}

void AesCipher::TransformBlocks(const uint8_t* pIn, uint8_t* pOut, uint32_t nLength, int nMode) {
    if (!CanTransform(pIn, pOut, nLength, nMode)) return;
    const BlockFunctions fn = PickBlockFunctions();
    const size_t nBlocks = nLength / kBlock;
    // The input batch is copied first, so pOut may be pIn.
    uint8_t in[kBatch * kBlock], work[kBatch * kBlock];
    for (size_t nDone = 0; nDone < nBlocks; nDone += kBatch) {
        const size_t nCount = nBlocks - nDone < kBatch ? nBlocks - nDone : kBatch;
        const size_t nBytes = nCount * kBlock;
        uint8_t* pOutBatch = pOut + nDone * kBlock;
        memcpy(in, pIn + nDone * kBlock, nBytes);
        switch (nMode) {
            case kEcbDecrypt:
                fn.fnDecrypt(m_decryptKeys, in, pOutBatch, nCount);
                break;
            case kCbcDecrypt:
                fn.fnDecrypt(m_decryptKeys, in, work, nCount);
                XorBytes(work, work, m_vector, kBlock);
                XorBytes(work + kBlock, work + kBlock, in, nBytes - kBlock);
                memcpy(pOutBatch, work, nBytes);
                memcpy(m_vector, in + nBytes - kBlock, kBlock);
                break;
            case kCfbDecrypt:
                memcpy(work, m_vector, kBlock);
                memcpy(work + kBlock, in, nBytes - kBlock);
                fn.fnEncrypt(m_encryptKeys, work, work, nCount);
                XorBytes(pOutBatch, work, in, nBytes);
                memcpy(m_vector, in + nBytes - kBlock, kBlock);
                break;
            case kOfb:
                for (size_t k = 0; k < nCount; ++k) {
                    fn.fnEncrypt(m_encryptKeys, m_vector, m_vector, 1);
                    XorBytes(pOutBatch + k * kBlock, m_vector, in + k * kBlock, kBlock);
                }
                break;
            case kCtr:
                for (size_t k = 0; k < nCount; ++k)
                    CounterPlus(m_counter, nDone + k, work + k * kBlock);
                fn.fnEncrypt(m_encryptKeys, work, work, nCount);
                XorBytes(pOutBatch, work, in, nBytes);
                break;
        }
    }
}

void AesCipher::EncryptCfbBlocks(const uint8_t* pIn, uint8_t* pOut, uint32_t nLength) {
    if (!CanTransform(pIn, pOut, nLength, kCfbDecrypt)) return;
    const BlockFunctions fn = PickBlockFunctions();
    uint8_t keystream[kBlock];
    for (uint32_t nDone = 0; nDone < nLength; nDone += kBlock) {
        fn.fnEncrypt(m_encryptKeys, m_vector, keystream, 1);
        XorBytes(m_vector, keystream, pIn + nDone, kBlock);
        memcpy(pOut + nDone, m_vector, kBlock);
    }
}

}  // namespace cbl
