// CRC-32 of the package items: the IEEE 802.3 polynomial in reflected form, initial value all
// ones, final complement (the same value as zlib's crc32(0, ...)).
#pragma once

#include <cstddef>
#include <cstdint>

// The CRC of nLength bytes as a value 0 to 0xFFFFFFFF, or -1 for a null buffer. nPrevious
// continues an earlier result over further bytes: Crc32(b, n, Crc32(a, m)) is the CRC of a
// followed by b.
int64_t Crc32(const void* pData, size_t nLength, uint32_t nPrevious = 0);
