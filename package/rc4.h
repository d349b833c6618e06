// RC4, the stream cipher of the stored firmware images.
#pragma once

#include <cstddef>
#include <cstdint>

class CRc4 {
public:
    // The standard key scheduling over nLength key bytes (1 to 256).
    void SetKey(const uint8_t* pKey, size_t nLength);
    // XORs the data in place with the next nLength keystream bytes.
    void Apply(uint8_t* pData, size_t nLength);

private:
    uint8_t m_s[256];
    uint8_t m_i = 0;
    uint8_t m_j = 0;
};
