// SHA-256 and SHA-384 (FIPS 180-4): the package trailer's digest and the hash of the cipher
// key derivation.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t kSha256Size = 32;
inline constexpr size_t kSha384Size = 48;

// Incremental SHA-256; uses the processor's SHA instructions when it has them.
class CSha256 {
  public:
    CSha256() { Reset(); }
    void Reset();
    void Update(const void* pData, size_t nLength);
    // Writes the 32-byte digest; the object must be Reset before it is used again.
    void Final(uint8_t* pDigest);

  private:
    uint32_t m_state[8];
    uint64_t m_nLength;  // bytes hashed so far
    uint8_t m_block[64];
};

// Incremental SHA-384 (the SHA-512 function with its own initial values, cut to 48 bytes).
class CSha384 {
  public:
    CSha384() { Reset(); }
    void Reset();
    void Update(const void* pData, size_t nLength);
    // Writes the 48-byte digest; the object must be Reset before it is used again.
    void Final(uint8_t* pDigest);

  private:
    uint64_t m_state[8];
    uint64_t m_nLength;  // bytes hashed so far
    uint8_t m_block[128];
};

void Sha256(const void* pData, size_t nLength, uint8_t* pDigest);
void Sha384(const void* pData, size_t nLength, uint8_t* pDigest);
