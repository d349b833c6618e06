// RC4. Apply works on a 32-bit copy of the state table and builds the keystream eight bytes
// at a time: in x86-64 assembly where it may, in C otherwise.
#include "package/rc4.h"

#include <bit>
#include <cstring>

#include "package/cipher_hardware.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define ZELVO_RC4_X86_64 1
#endif

namespace {

#define RC4_INLINE inline __attribute__((always_inline))

// One keystream byte for the entry pCur (S[i], i already advanced). x holds *pCur on entry and
// *pNext (S[i + 1]) on return: it is read after S[j] is written, so it is current even when j
// is i + 1. j runs unmasked and only its low byte is used, which keeps its update to one add.
RC4_INLINE uint64_t KeyByte(uint32_t* pS, uint32_t* pCur, const uint32_t* pNext, uint32_t& j,
                            uint32_t& x) {
    j += x;
    const uint32_t y = pS[j & 0xff];
    pS[j & 0xff] = x;
    const uint32_t xNext = *pNext;
    *pCur = y;
    const uint64_t nOut = pS[(x + y) & 0xff];
    x = xNext;
    return nOut;
}

// Where keystream byte k of a word goes, so that the word XORs the data in memory order.
constexpr int ByteShift(int k) {
    return std::endian::native == std::endian::little ? 8 * k : 56 - 8 * k;
}

// Eight keystream bytes. i must be a multiple of 8, so that S[i + 1] to S[i + 7] need no wrap;
// only i + 8 can reach 256. Each byte is merged as soon as it is made, which keeps few values
// alive at once.
RC4_INLINE uint64_t KeyWord(uint32_t* pS, uint32_t& i, uint32_t& j, uint32_t& x) {
    uint32_t* p = pS + i;
    const uint32_t iLast = (i + 8) & 0xff;
    uint64_t nWord = KeyByte(pS, p + 1, p + 2, j, x) << ByteShift(0);
    nWord |= KeyByte(pS, p + 2, p + 3, j, x) << ByteShift(1);
    nWord |= KeyByte(pS, p + 3, p + 4, j, x) << ByteShift(2);
    nWord |= KeyByte(pS, p + 4, p + 5, j, x) << ByteShift(3);
    nWord |= KeyByte(pS, p + 5, p + 6, j, x) << ByteShift(4);
    nWord |= KeyByte(pS, p + 6, p + 7, j, x) << ByteShift(5);
    nWord |= KeyByte(pS, p + 7, pS + iLast, j, x) << ByteShift(6);
    nWord |= KeyByte(pS, pS + iLast, pS + ((iLast + 1) & 0xff), j, x) << ByteShift(7);
    i = iLast;
    return nWord;
}

#ifdef ZELVO_RC4_X86_64
// The same eight steps with byte-register arithmetic, which C cannot express: j and x + y
// wrap in the low byte of a register whose upper bits stay zero, so they need no mask, and
// each keystream byte drops into the low byte of the word, which turns right by 8 per step.
// clang-format off
#define RC4_ASM_STEP(X, N, LOAD_NEXT, STORE_I)  \
    "addb %b[" X "], %b[j]\n\t"                 \
    "movl (%[s],%q[j],4), %k[y]\n\t"            \
    "movl %k[" X "], (%[s],%q[j],4)\n\t"        \
    "movl " LOAD_NEXT ", %k[" N "]\n\t"         \
    "rorq $8, %[w]\n\t"                         \
    "movl %k[y], " STORE_I "\n\t"               \
    "addb %b[" X "], %b[y]\n\t"                 \
    "movb (%[s],%q[y],4), %b[w]\n\t"

// Same contract as KeyWord. x alternates between two registers; S[i + 8] and S[i + 9] are
// reached through their own pointers because they may wrap.
inline uint64_t KeyWordAsm(uint32_t* pS, uint32_t& i, uint32_t& j, uint32_t& x) {
    const uint32_t iLast = (i + 8) & 0xff;
    uint64_t nJ = j & 0xff, nXa = x, nXb = 0, nY = 0, nWord = 0;
    asm(RC4_ASM_STEP("xa", "xb", "8(%[p])", "4(%[p])")
        RC4_ASM_STEP("xb", "xa", "12(%[p])", "8(%[p])")
        RC4_ASM_STEP("xa", "xb", "16(%[p])", "12(%[p])")
        RC4_ASM_STEP("xb", "xa", "20(%[p])", "16(%[p])")
        RC4_ASM_STEP("xa", "xb", "24(%[p])", "20(%[p])")
        RC4_ASM_STEP("xb", "xa", "28(%[p])", "24(%[p])")
        RC4_ASM_STEP("xa", "xb", "(%[q8])", "28(%[p])")
        RC4_ASM_STEP("xb", "xa", "(%[q9])", "(%[q8])")
        "rorq $8, %[w]\n\t"
        : [j] "+r"(nJ), [xa] "+r"(nXa), [xb] "+r"(nXb), [y] "+r"(nY), [w] "+r"(nWord)
        : [s] "r"(pS), [p] "r"(pS + i), [q8] "r"(pS + iLast),
          [q9] "r"(pS + ((iLast + 1) & 0xff))
        : "cc", "memory");
    // clang-format on
    i = iLast;
    j = static_cast<uint32_t>(nJ);
    x = static_cast<uint32_t>(nXa);
    return nWord;
}
#endif

RC4_INLINE void XorWord(uint8_t* p, uint64_t nKey) {
    uint64_t nWord;
    memcpy(&nWord, p, 8);
    nWord ^= nKey;
    memcpy(p, &nWord, 8);
}

RC4_INLINE uint8_t NextKeyByte(uint32_t* pS, uint32_t& i, uint32_t& j, uint32_t& x) {
    i = (i + 1) & 0xff;
    return static_cast<uint8_t>(KeyByte(pS, pS + i, pS + ((i + 1) & 0xff), j, x));
}

}  // namespace

void CRc4::SetKey(const uint8_t* pKey, size_t nLength) {
    for (int i = 0; i < 256; ++i) m_s[i] = static_cast<uint8_t>(i);
    m_i = 0;
    m_j = 0;
    if (pKey == nullptr || nLength == 0) return;
    uint8_t j = 0;
    for (size_t i = 0; i < 256; ++i) {
        j = static_cast<uint8_t>(j + m_s[i] + pKey[i % nLength]);
        const uint8_t t = m_s[i];
        m_s[i] = m_s[j];
        m_s[j] = t;
    }
}

void CRc4::Apply(uint8_t* pData, size_t nLength) {
    if (pData == nullptr || nLength == 0) return;
    uint32_t s[256];
    for (int k = 0; k < 256; ++k) s[k] = m_s[k];
    uint32_t i = m_i, j = m_j;
    uint32_t x = s[(i + 1) & 0xff];
    size_t n = 0;
    // Single bytes until i is a multiple of 8, then whole words, then the tail.
    for (; n < nLength && (i & 7) != 0; ++n) pData[n] ^= NextKeyByte(s, i, j, x);
#ifdef ZELVO_RC4_X86_64
    if (UseAssemblyPaths()) {
        for (; n + 8 <= nLength; n += 8) XorWord(pData + n, KeyWordAsm(s, i, j, x));
    }
#endif
    for (; n + 8 <= nLength; n += 8) XorWord(pData + n, KeyWord(s, i, j, x));
    for (; n < nLength; ++n) pData[n] ^= NextKeyByte(s, i, j, x);
    for (int k = 0; k < 256; ++k) m_s[k] = static_cast<uint8_t>(s[k]);
    m_i = static_cast<uint8_t>(i);
    m_j = static_cast<uint8_t>(j);
}
