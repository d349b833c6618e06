// Portable AES-256 (FIPS-197): key expansion and table-driven rounds. A column is a 32-bit
// word with row r in bits 8r..8r+7, so the words load little-endian straight from the bytes.
// The tables are derived from the field arithmetic when the program is compiled.
#include <array>

#include "package/aes_blocks.h"
#include "package/digest_blocks.h"

namespace {

using ByteTable = std::array<uint8_t, 256>;
using WordTable = std::array<uint32_t, 256>;

constexpr uint8_t Xtime(uint8_t x) {
    return static_cast<uint8_t>((x << 1) ^ ((x & 0x80) != 0 ? 0x1b : 0));
}

constexpr uint8_t GfMul(uint8_t a, uint8_t b) {
    uint8_t r = 0;
    for (; b != 0; b >>= 1, a = Xtime(a)) {
        if ((b & 1) != 0) r ^= a;
    }
    return r;
}

constexpr uint8_t Rotl8(uint8_t x, int n) {
    return static_cast<uint8_t>((x << n) | (x >> (8 - n)));
}

constexpr ByteTable MakeSbox() {
    ByteTable sbox{};
    for (int n = 0; n < 256; ++n) {
        // The multiplicative inverse is x^254 (0 stays 0), then the affine map.
        uint8_t x = static_cast<uint8_t>(n), inverse = 1;
        for (int k = 0; k < 7; ++k) {
            x = GfMul(x, x);
            inverse = GfMul(inverse, x);
        }
        if (n == 0) inverse = 0;
        sbox[n] = static_cast<uint8_t>(inverse ^ Rotl8(inverse, 1) ^ Rotl8(inverse, 2) ^
                                       Rotl8(inverse, 3) ^ Rotl8(inverse, 4) ^ 0x63);
    }
    return sbox;
}

constexpr ByteTable MakeInverse(const ByteTable& sbox) {
    ByteTable inverse{};
    for (int n = 0; n < 256; ++n) inverse[sbox[n]] = static_cast<uint8_t>(n);
    return inverse;
}

// Table r holds the column that a byte in row r contributes through the S-box and the
// (inverse) MixColumns coefficients, so one round of a column is four lookups.
using RoundTables = std::array<WordTable, 4>;

constexpr RoundTables MakeRoundTables(const ByteTable& sbox, const uint8_t (&coef)[4]) {
    RoundTables tables{};
    for (int n = 0; n < 256; ++n) {
        for (int nRow = 0; nRow < 4; ++nRow) {
            uint32_t nWord = 0;
            for (int r = 0; r < 4; ++r) {
                const uint8_t nCoef = coef[(r - nRow + 4) % 4];
                nWord |= static_cast<uint32_t>(GfMul(sbox[n], nCoef)) << (8 * r);
            }
            tables[nRow][n] = nWord;
        }
    }
    return tables;
}

constexpr ByteTable kSbox = MakeSbox();
constexpr ByteTable kInvSbox = MakeInverse(kSbox);
constexpr uint8_t kMixCoef[4] = {2, 1, 1, 3};
constexpr uint8_t kInvMixCoef[4] = {14, 9, 13, 11};
constexpr RoundTables kEncTables = MakeRoundTables(kSbox, kMixCoef);
constexpr RoundTables kDecTables = MakeRoundTables(kInvSbox, kInvMixCoef);

static_assert(kSbox[0x00] == 0x63 && kSbox[0x53] == 0xed && kSbox[0xff] == 0x16);

inline uint32_t Byte(uint32_t x, int r) {
    return (x >> (8 * r)) & 0xff;
}

// Row r of the new column c comes from column c + r for encryption (ShiftRows) and from
// column c - r for decryption; kStep is 1 or 3 accordingly.
template <int kStep>
inline uint32_t TableColumn(const RoundTables& t, const uint32_t* s, int c) {
    return t[0][Byte(s[c], 0)] ^ t[1][Byte(s[(c + kStep) & 3], 1)] ^
           t[2][Byte(s[(c + 2 * kStep) & 3], 2)] ^ t[3][Byte(s[(c + 3 * kStep) & 3], 3)];
}

template <int kStep>
inline uint32_t SboxColumn(const ByteTable& sbox, const uint32_t* s, int c) {
    uint32_t nWord = 0;
    for (int r = 0; r < 4; ++r) {
        nWord |= static_cast<uint32_t>(sbox[Byte(s[(c + kStep * r) & 3], r)]) << (8 * r);
    }
    return nWord;
}

// Encryption (kStep 1) or the equivalent inverse cipher (kStep 3) of one block.
template <int kStep>
void CryptBlock(const uint32_t* pKeys, const RoundTables& tables, const ByteTable& sbox,
                const uint8_t* pIn, uint8_t* pOut) {
    uint32_t s[4], t[4];
    for (int c = 0; c < 4; ++c) s[c] = digest::LoadLe<uint32_t>(pIn + 4 * c) ^ pKeys[c];
    for (int nRound = 1; nRound < kAesRounds; ++nRound) {
        const uint32_t* pRoundKey = pKeys + 4 * nRound;
#pragma GCC unroll 4
        for (int c = 0; c < 4; ++c) t[c] = TableColumn<kStep>(tables, s, c) ^ pRoundKey[c];
#pragma GCC unroll 4
        for (int c = 0; c < 4; ++c) s[c] = t[c];
    }
#pragma GCC unroll 4
    for (int c = 0; c < 4; ++c) t[c] = SboxColumn<kStep>(sbox, s, c) ^ pKeys[4 * kAesRounds + c];
    for (int c = 0; c < 4; ++c) digest::StoreLe<uint32_t>(pOut + 4 * c, t[c]);
}

uint32_t SubWord(uint32_t x) {
    uint32_t nWord = 0;
    for (int r = 0; r < 4; ++r) nWord |= static_cast<uint32_t>(kSbox[Byte(x, r)]) << (8 * r);
    return nWord;
}

// InvMixColumns of one column: the decryption table undoes the S-box it contains.
uint32_t InvMixColumn(uint32_t x) {
    uint32_t nWord = 0;
    for (int r = 0; r < 4; ++r) nWord ^= kDecTables[r][kSbox[Byte(x, r)]];
    return nWord;
}

}  // namespace

void AesExpandKey(const uint8_t* pKey, uint32_t* pEncryptKeys, uint32_t* pDecryptKeys) {
    uint32_t* w = pEncryptKeys;
    for (int i = 0; i < 8; ++i) w[i] = digest::LoadLe<uint32_t>(pKey + 4 * i);
    uint8_t nRcon = 1;
    for (int i = 8; i < kAesKeyWords; ++i) {
        uint32_t t = w[i - 1];
        if (i % 8 == 0) {
            t = SubWord((t >> 8) | (t << 24)) ^ nRcon;  // RotWord moves byte 1 to byte 0
            nRcon = Xtime(nRcon);
        } else if (i % 8 == 4) {
            t = SubWord(t);
        }
        w[i] = w[i - 8] ^ t;
    }
    // Round keys in reverse order, with InvMixColumns on all but the first and last.
    for (int nRound = 0; nRound <= kAesRounds; ++nRound) {
        for (int c = 0; c < 4; ++c) {
            const uint32_t nWord = w[4 * (kAesRounds - nRound) + c];
            const bool bMix = nRound > 0 && nRound < kAesRounds;
            pDecryptKeys[4 * nRound + c] = bMix ? InvMixColumn(nWord) : nWord;
        }
    }
}

void AesEncryptBlocksPortable(const uint32_t* pKeys, const uint8_t* pIn, uint8_t* pOut,
                              size_t nBlocks) {
    for (size_t i = 0; i < nBlocks; ++i)
        CryptBlock<1>(pKeys, kEncTables, kSbox, pIn + 16 * i, pOut + 16 * i);
}

void AesDecryptBlocksPortable(const uint32_t* pKeys, const uint8_t* pIn, uint8_t* pOut,
                              size_t nBlocks) {
    for (size_t i = 0; i < nBlocks; ++i)
        CryptBlock<3>(pKeys, kDecTables, kInvSbox, pIn + 16 * i, pOut + 16 * i);
}
