// MD5 (RFC 1321) with the rounds written out and the message words loaded little-endian.
#include "package/md5.h"

#include <cstdio>
#include <memory>

#include "package/digest_blocks.h"
#include "package/path_encoding.h"
#include "platform/file_stream.h"

namespace {

#define MD5_INLINE inline __attribute__((always_inline))

MD5_INLINE uint32_t Rotl(uint32_t nValue, int nBits) {
    return (nValue << nBits) | (nValue >> (32 - nBits));
}

// The four round functions, each folded into one step a = b + rotl(a + f + x + k, s).
MD5_INLINE void StepF(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t k,
                      int s) {
    a += x + k + (d ^ (b & (c ^ d)));
    a = Rotl(a, s) + b;
}

// (b & d) and (c & ~d) never share a bit, so they can be added separately, which shortens the
// dependency chain through b.
MD5_INLINE void StepG(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t k,
                      int s) {
    a += x + k + (c & ~d);
    a += b & d;
    a = Rotl(a, s) + b;
}

MD5_INLINE void StepH(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t k,
                      int s) {
    a += x + k + (b ^ c ^ d);
    a = Rotl(a, s) + b;
}

MD5_INLINE void StepI(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t k,
                      int s) {
    a += x + k + (c ^ (b | ~d));
    a = Rotl(a, s) + b;
}

void Md5Blocks(uint32_t* pState, const uint8_t* pData, size_t nBlocks) {
    uint32_t a = pState[0], b = pState[1], c = pState[2], d = pState[3];
    for (; nBlocks > 0; --nBlocks, pData += 64) {
        uint32_t x[16];
        for (int i = 0; i < 16; ++i) x[i] = digest::LoadLe<uint32_t>(pData + 4 * i);
        const uint32_t aa = a, bb = b, cc = c, dd = d;

        StepF(a, b, c, d, x[0], 0xd76aa478, 7);
        StepF(d, a, b, c, x[1], 0xe8c7b756, 12);
        StepF(c, d, a, b, x[2], 0x242070db, 17);
        StepF(b, c, d, a, x[3], 0xc1bdceee, 22);
        StepF(a, b, c, d, x[4], 0xf57c0faf, 7);
        StepF(d, a, b, c, x[5], 0x4787c62a, 12);
        StepF(c, d, a, b, x[6], 0xa8304613, 17);
        StepF(b, c, d, a, x[7], 0xfd469501, 22);
        StepF(a, b, c, d, x[8], 0x698098d8, 7);
        StepF(d, a, b, c, x[9], 0x8b44f7af, 12);
        StepF(c, d, a, b, x[10], 0xffff5bb1, 17);
        StepF(b, c, d, a, x[11], 0x895cd7be, 22);
        StepF(a, b, c, d, x[12], 0x6b901122, 7);
        StepF(d, a, b, c, x[13], 0xfd987193, 12);
        StepF(c, d, a, b, x[14], 0xa679438e, 17);
        StepF(b, c, d, a, x[15], 0x49b40821, 22);

        StepG(a, b, c, d, x[1], 0xf61e2562, 5);
        StepG(d, a, b, c, x[6], 0xc040b340, 9);
        StepG(c, d, a, b, x[11], 0x265e5a51, 14);
        StepG(b, c, d, a, x[0], 0xe9b6c7aa, 20);
        StepG(a, b, c, d, x[5], 0xd62f105d, 5);
        StepG(d, a, b, c, x[10], 0x02441453, 9);
        StepG(c, d, a, b, x[15], 0xd8a1e681, 14);
        StepG(b, c, d, a, x[4], 0xe7d3fbc8, 20);
        StepG(a, b, c, d, x[9], 0x21e1cde6, 5);
        StepG(d, a, b, c, x[14], 0xc33707d6, 9);
        StepG(c, d, a, b, x[3], 0xf4d50d87, 14);
        StepG(b, c, d, a, x[8], 0x455a14ed, 20);
        StepG(a, b, c, d, x[13], 0xa9e3e905, 5);
        StepG(d, a, b, c, x[2], 0xfcefa3f8, 9);
        StepG(c, d, a, b, x[7], 0x676f02d9, 14);
        StepG(b, c, d, a, x[12], 0x8d2a4c8a, 20);

        StepH(a, b, c, d, x[5], 0xfffa3942, 4);
        StepH(d, a, b, c, x[8], 0x8771f681, 11);
        StepH(c, d, a, b, x[11], 0x6d9d6122, 16);
        StepH(b, c, d, a, x[14], 0xfde5380c, 23);
        StepH(a, b, c, d, x[1], 0xa4beea44, 4);
        StepH(d, a, b, c, x[4], 0x4bdecfa9, 11);
        StepH(c, d, a, b, x[7], 0xf6bb4b60, 16);
        StepH(b, c, d, a, x[10], 0xbebfbc70, 23);
        StepH(a, b, c, d, x[13], 0x289b7ec6, 4);
        StepH(d, a, b, c, x[0], 0xeaa127fa, 11);
        StepH(c, d, a, b, x[3], 0xd4ef3085, 16);
        StepH(b, c, d, a, x[6], 0x04881d05, 23);
        StepH(a, b, c, d, x[9], 0xd9d4d039, 4);
        StepH(d, a, b, c, x[12], 0xe6db99e5, 11);
        StepH(c, d, a, b, x[15], 0x1fa27cf8, 16);
        StepH(b, c, d, a, x[2], 0xc4ac5665, 23);

        StepI(a, b, c, d, x[0], 0xf4292244, 6);
        StepI(d, a, b, c, x[7], 0x432aff97, 10);
        StepI(c, d, a, b, x[14], 0xab9423a7, 15);
        StepI(b, c, d, a, x[5], 0xfc93a039, 21);
        StepI(a, b, c, d, x[12], 0x655b59c3, 6);
        StepI(d, a, b, c, x[3], 0x8f0ccc92, 10);
        StepI(c, d, a, b, x[10], 0xffeff47d, 15);
        StepI(b, c, d, a, x[1], 0x85845dd1, 21);
        StepI(a, b, c, d, x[8], 0x6fa87e4f, 6);
        StepI(d, a, b, c, x[15], 0xfe2ce6e0, 10);
        StepI(c, d, a, b, x[6], 0xa3014314, 15);
        StepI(b, c, d, a, x[13], 0x4e0811a1, 21);
        StepI(a, b, c, d, x[4], 0xf7537e82, 6);
        StepI(d, a, b, c, x[11], 0xbd3af235, 10);
        StepI(c, d, a, b, x[2], 0x2ad7d2bb, 15);
        StepI(b, c, d, a, x[9], 0xeb86d391, 21);

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    pState[0] = a;
    pState[1] = b;
    pState[2] = c;
    pState[3] = d;
}

}  // namespace

void CMd5::Reset() {
    m_state[0] = 0x67452301;
    m_state[1] = 0xefcdab89;
    m_state[2] = 0x98badcfe;
    m_state[3] = 0x10325476;
    m_nLength = 0;
}

void CMd5::Update(const void* pData, size_t nLength) {
    digest::FeedBlocks<64>(m_block, &m_nLength, pData, nLength,
                           [this](const uint8_t* p, size_t n) { Md5Blocks(m_state, p, n); });
}

void CMd5::Final(uint8_t* pDigest) {
    digest::FinishBlocks<64, 8, false>(
        m_block, &m_nLength, [this](const uint8_t* p, size_t n) { Md5Blocks(m_state, p, n); });
    if (pDigest == nullptr) return;
    for (int i = 0; i < 4; ++i) digest::StoreLe<uint32_t>(pDigest + 4 * i, m_state[i]);
}

void Md5(const void* pData, size_t nLength, uint8_t* pDigest) {
    CMd5 md5;
    md5.Update(pData, nLength);
    md5.Final(pDigest);
}

int Md5File(const std::string& strPath, uint8_t* pDigest) {
    if (pDigest == nullptr) return -1;
    std::u16string strWide;
    int nHandle = -1;
    if (NarrowToWidePath(strPath, &strWide) != 0) return -2;
    if (OpenFileForIo(strWide, false, &nHandle, nullptr) != 0) return -2;
    platform::CFileStream file;
    file.Attach(nHandle);
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kMd5FileChunk]);
    if (!buffer) return -2;
    CMd5 md5;
    for (;;) {
        size_t nRead = 0;
        if (!file.Read(buffer.get(), kMd5FileChunk, &nRead)) return -2;
        if (nRead == 0) break;
        md5.Update(buffer.get(), nRead);
    }
    md5.Final(pDigest);
    return 0;
}

int Md5Hex(const uint8_t* pDigest, std::string* pText) {
    if (pDigest == nullptr || pText == nullptr) return -1;
    char szText[2 * kMd5Size + 1];
    for (size_t i = 0; i < kMd5Size; ++i) snprintf(szText + 2 * i, 3, "%02x", pDigest[i]);
    pText->assign(szText, 2 * kMd5Size);
    return static_cast<int>(pText->size());
}

int Md5FileHex(const std::string& strPath, std::string* pText) {
    if (pText != nullptr) pText->clear();
    uint8_t digest[kMd5Size];
    int nResult = Md5File(strPath, digest);
    if (nResult != 0) return nResult;
    nResult = Md5Hex(digest, pText);
    return nResult == static_cast<int>(2 * kMd5Size) ? nResult : -127;
}
