// SHA-256 and SHA-384 (FIPS 180-4). Both word sizes share one portable compression function;
// SHA-256 switches to the processor's SHA instructions when it may.
#include "package/sha2.h"

#include "package/cipher_hardware.h"
#include "package/digest_blocks.h"
#include "package/sha2_blocks.h"

namespace {

constexpr uint32_t kSha256Init[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                     0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

constexpr uint64_t kSha384Init[8] = {0xcbbb9d5dc1059ed8, 0x629a292a367cd507, 0x9159015a3070dd17,
                                     0x152fecd8f70e5939, 0x67332667ffc00b31, 0x8eb44a8768581511,
                                     0xdb0c2e0d64f98fa7, 0x47b5481dbefa4fa4};

void Sha256Blocks(uint32_t* pState, const uint8_t* pData, size_t nBlocks) {
#ifdef ZELVO_SHA_X86
    if (UseShaInstructions()) {
        Sha256BlocksShaNi(pState, pData, nBlocks);
        return;
    }
#endif
    Sha256BlocksPortable(pState, pData, nBlocks);
}

template <class T>
void StoreWordsBe(uint8_t* pOut, const T* pWords, size_t nBytes) {
    for (size_t i = 0; i < nBytes / sizeof(T); ++i) {
        digest::StoreBe<T>(pOut + i * sizeof(T), pWords[i]);
    }
}

}  // namespace

void CSha256::Reset() {
    for (int i = 0; i < 8; ++i) m_state[i] = kSha256Init[i];
    m_nLength = 0;
}

void CSha256::Update(const void* pData, size_t nLength) {
    digest::FeedBlocks<64>(m_block, &m_nLength, pData, nLength,
                           [this](const uint8_t* p, size_t n) { Sha256Blocks(m_state, p, n); });
}

void CSha256::Final(uint8_t* pDigest) {
    digest::FinishBlocks<64, 8, true>(
        m_block, &m_nLength, [this](const uint8_t* p, size_t n) { Sha256Blocks(m_state, p, n); });
    if (pDigest != nullptr) StoreWordsBe(pDigest, m_state, kSha256Size);
}

void CSha384::Reset() {
    for (int i = 0; i < 8; ++i) m_state[i] = kSha384Init[i];
    m_nLength = 0;
}

void CSha384::Update(const void* pData, size_t nLength) {
    digest::FeedBlocks<128>(
        m_block, &m_nLength, pData, nLength,
        [this](const uint8_t* p, size_t n) { Sha512BlocksPortable(m_state, p, n); });
}

void CSha384::Final(uint8_t* pDigest) {
    digest::FinishBlocks<128, 16, true>(m_block, &m_nLength, [this](const uint8_t* p, size_t n) {
        Sha512BlocksPortable(m_state, p, n);
    });
    if (pDigest != nullptr) StoreWordsBe(pDigest, m_state, kSha384Size);
}

void Sha256(const void* pData, size_t nLength, uint8_t* pDigest) {
    CSha256 sha;
    sha.Update(pData, nLength);
    sha.Final(pDigest);
}

void Sha384(const void* pData, size_t nLength, uint8_t* pDigest) {
    CSha384 sha;
    sha.Update(pData, nLength);
    sha.Final(pDigest);
}
