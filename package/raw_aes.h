// The streaming AES-256-CFB-128 cipher of the certificate package (decryption for the reader,
// encryption for the package writer), its key derivation and the one-shot forms over a whole
// message.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "package/aes_cipher.h"

inline constexpr size_t kDerivedKeySize = 48;  // 32 key bytes, then the 16-byte start vector

// HMAC over SHA-384 with a 64-byte key block (not the 128 of the standard pairing): the HMAC
// key is strKey followed by strIv (hashed to 48 bytes when longer than 64), the message is
// strKey. Writes 48 bytes; 0, or -1 for an empty key, a null output.
int DeriveCipherKey(const std::string& strKey, const std::string& strIv, uint8_t* pDerived);

namespace cbl {

class CRawAes {
  public:
    // Takes (bytes, count); returns the count taken, or a negative value on failure.
    using OutputSink = std::function<int(const uint8_t*, int)>;

    enum class Direction { kDecrypt, kEncrypt };

    explicit CRawAes(Direction direction = Direction::kDecrypt) : m_direction(direction) {}
    CRawAes(const CRawAes&) = delete;
    CRawAes& operator=(const CRawAes&) = delete;
    virtual ~CRawAes() = default;

    // Keys the cipher with DeriveCipherKey(strKey, strIv) and opens the stream. 0; -1 when
    // key and IV are both empty; -101 when the key, the IV or the sink is missing.
    int OpenCipher(const std::string& strKey, const std::string& strIv, OutputSink sink);
    // Decrypts (or encrypts) the next nCount bytes: whole blocks go to the sink at once, an
    // incomplete block waits for more data or the close. 0; -1 null data or nCount <= 0; -2 not
    // open; -3 the sink failed on a completed waiting block; -4 the sink failed on this call's
    // blocks.
    int FeedCipher(const uint8_t* pData, int nCount);
    // Hands the waiting bytes of an incomplete block to the sink and closes. 0; -1 not open;
    // -2 the sink failed. The object must be opened again before further use.
    int CloseCipher();

  private:
    // The key step of OpenCipher: -1 when the key, the IV or the sink is missing.
    int SetCipherKey(const std::string& strKey, const std::string& strIv, OutputSink sink);
    // Transforms and delivers the waiting block; the sink gets its first nDeliver bytes.
    int FlushPending(int nDeliver);

    Direction m_direction;
    std::atomic<uint8_t> m_bOpen{0};
    OutputSink m_sink;
    AesCipher m_aes;
    std::atomic<int> m_nPending{0};  // bytes of an incomplete block held back, 0 to 15
    uint8_t m_pending[AesCipher::kBlockSize] = {};
    std::function<void(const uint8_t*, uint8_t*, uint32_t, int)> m_fnBlocks;
};

}  // namespace cbl

// Decrypts a whole message: *pOut gets exactly as many bytes as strData. 0; -1 for empty data
// or a null output (*pOut untouched); -3 the cipher would not open; -4 feeding failed; -5
// closing failed.
int DecryptText(const std::string& strData, const std::string& strKey, const std::string& strIv,
                std::string* pOut);
// The same for encryption, with the same key derivation and results: what DecryptText turns
// back into strData.
int EncryptText(const std::string& strData, const std::string& strKey, const std::string& strIv,
                std::string* pOut);
