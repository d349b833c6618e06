// AES-256 block cipher with the decryption-side chaining modes the package reader needs, and the
// CFB encryption of the package writer.
#pragma once

#include <cstdint>

namespace cbl {

class AesCipher {
  public:
    static constexpr int kBlockSize = 16;
    static constexpr int kKeySize = 32;

    // Expands a 32-byte key into both round key schedules. A null key does nothing.
    void SetKey(const uint8_t* pKey);
    // Copies the 16-byte chaining vector of modes 1 to 3. A null vector does nothing.
    void SetChainingVector(const uint8_t* pVector);
    // Copies the 16-byte counter block of mode 4. A null counter does nothing.
    void SetCounter(const uint8_t* pCounter);

    // Transforms nLength / 16 blocks from pIn to pOut (which may be the same buffer, but must
    // not overlap it otherwise):
    //   0 ECB decryption         out = D(in)
    //   1 CBC decryption         out = D(in) ^ vector, vector = in
    //   2 CFB-128 decryption     out = E(vector) ^ in, vector = in
    //   3 OFB                    vector = E(vector), out = vector ^ in
    //   4 CTR                    out = E(counter) ^ in; the counter is a 128-bit little-endian
    //                            number advanced by one per block on a copy: each call starts
    //                            again from the counter that was set
    // The chaining vector left by modes 1 to 3 is stored back. Nothing happens (and pOut is
    // untouched) for a null buffer, a key not set, a length that is not a positive multiple of
    // 16, a mode out of range, or a mode whose vector or counter was not set.
    void TransformBlocks(const uint8_t* pIn, uint8_t* pOut, uint32_t nLength, int nMode);
    // CFB-128 encryption, the counterpart of mode 2: out = E(vector) ^ in, vector = out, block
    // after block (each block needs the one before, so nothing is batched). Same preconditions
    // as mode 2; the chaining vector left is stored back.
    void EncryptCfbBlocks(const uint8_t* pIn, uint8_t* pOut, uint32_t nLength);

  private:
    bool CanTransform(const uint8_t* pIn, const uint8_t* pOut, uint32_t nLength, int nMode) const;

    uint8_t m_bKeySet = 0;
    uint32_t m_encryptKeys[60] = {};  // 15 round keys, each four words in byte order
    uint32_t m_decryptKeys[60] = {};  // for the equivalent inverse cipher
    int m_nKeyLength = kKeySize;
    int m_nRounds = 14;
    uint8_t m_bVectorSet = 0;
    uint8_t m_vector[kBlockSize] = {};
    uint8_t m_bCounterSet = 0;
    uint8_t m_counter[kBlockSize] = {};
};

}  // namespace cbl
