// Table-driven CRC-32, eight bytes per step ("slicing by 8"): table k holds the CRC of a byte
// followed by k zero bytes, so eight lookups advance the CRC over eight input bytes at once.
#include "package/crc32.h"

#include <array>

#include "package/digest_blocks.h"

namespace {

constexpr uint32_t kPolynomial = 0xedb88320;

using CrcTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr CrcTables MakeTables() {
    CrcTables tables{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? kPolynomial ^ (c >> 1) : c >> 1;
        tables[0][n] = c;
    }
    for (uint32_t n = 0; n < 256; ++n) {
        for (size_t t = 1; t < 8; ++t) {
            const uint32_t c = tables[t - 1][n];
            tables[t][n] = tables[0][c & 0xff] ^ (c >> 8);
        }
    }
    return tables;
}

constexpr CrcTables kTables = MakeTables();

inline uint32_t CrcByte(uint32_t c, uint8_t nByte) {
    return kTables[0][(c ^ nByte) & 0xff] ^ (c >> 8);
}

}  // namespace

int64_t Crc32(const void* pData, size_t nLength, uint32_t nPrevious) {
    if (pData == nullptr) return -1;
    const uint8_t* p = static_cast<const uint8_t*>(pData);
    uint32_t c = ~nPrevious;
    for (; nLength >= 8; nLength -= 8, p += 8) {
        const uint32_t lo = digest::LoadLe<uint32_t>(p) ^ c;
        const uint32_t hi = digest::LoadLe<uint32_t>(p + 4);
        c = kTables[7][lo & 0xff] ^ kTables[6][(lo >> 8) & 0xff] ^ kTables[5][(lo >> 16) & 0xff] ^
            kTables[4][lo >> 24] ^ kTables[3][hi & 0xff] ^ kTables[2][(hi >> 8) & 0xff] ^
            kTables[1][(hi >> 16) & 0xff] ^ kTables[0][hi >> 24];
    }
    for (; nLength > 0; --nLength, ++p) c = CrcByte(c, *p);
    return static_cast<int64_t>(~c);
}
