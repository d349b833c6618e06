// The AES-256 block functions behind cbl::AesCipher. Round keys are 60 words, each holding
// four key bytes in memory order (so the processor's AES instructions can load them as they
// are); the decryption keys are those of the equivalent inverse cipher.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int kAesRounds = 14;
inline constexpr int kAesKeyWords = 4 * (kAesRounds + 1);

void AesExpandKey(const uint8_t* pKey, uint32_t* pEncryptKeys, uint32_t* pDecryptKeys);

// ECB over nBlocks independent 16-byte blocks; pIn may equal pOut.
using AesBlocksFn = void (*)(const uint32_t* pKeys, const uint8_t* pIn, uint8_t* pOut,
                             size_t nBlocks);

void AesEncryptBlocksPortable(const uint32_t* pKeys, const uint8_t* pIn, uint8_t* pOut,
                              size_t nBlocks);
void AesDecryptBlocksPortable(const uint32_t* pKeys, const uint8_t* pIn, uint8_t* pOut,
                              size_t nBlocks);

#if defined(__x86_64__) || defined(__i386__)
#define ZELVO_AES_X86 1
// Need AES-NI and SSE4.1 (see UseAesInstructions).
void AesEncryptBlocksAesNi(const uint32_t* pKeys, const uint8_t* pIn, uint8_t* pOut,
                           size_t nBlocks);
void AesDecryptBlocksAesNi(const uint32_t* pKeys, const uint8_t* pIn, uint8_t* pOut,
                           size_t nBlocks);
#endif
