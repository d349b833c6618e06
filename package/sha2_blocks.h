// The SHA-2 block functions behind CSha256 and CSha384.
#pragma once

#include <cstddef>
#include <cstdint>

// The round constants of SHA-256.
extern const uint32_t kSha256Rounds[64];

void Sha256BlocksPortable(uint32_t* pState, const uint8_t* pData, size_t nBlocks);
void Sha512BlocksPortable(uint64_t* pState, const uint8_t* pData, size_t nBlocks);

#if defined(__x86_64__) || defined(__i386__)
#define ZELVO_SHA_X86 1
// Needs the SHA extensions, SSE4.1 and SSSE3 (see UseShaInstructions).
void Sha256BlocksShaNi(uint32_t* pState, const uint8_t* pData, size_t nBlocks);
#endif
