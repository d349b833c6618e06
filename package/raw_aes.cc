// cbl::CRawAes: AES-256 in CFB-128 mode over a stream, with no padding; the last incomplete
// block is transformed on close, so the output has the length of the input.
#include "package/raw_aes.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#include "package/sha2.h"

namespace {

constexpr size_t kHmacBlock = 64;
constexpr int kCfbDecrypt = 2;
constexpr int kBlock = cbl::AesCipher::kBlockSize;

}  // namespace

int DeriveCipherKey(const std::string& strKey, const std::string& strIv, uint8_t* pDerived) {
    if (strKey.empty() || pDerived == nullptr) return -1;
    uint8_t keyBlock[kHmacBlock] = {};
    const std::string strHmacKey = strKey + strIv;
    if (strHmacKey.size() > kHmacBlock) {
        Sha384(strHmacKey.data(), strHmacKey.size(), keyBlock);
    } else {
        memcpy(keyBlock, strHmacKey.data(), strHmacKey.size());
    }
    uint8_t innerPad[kHmacBlock], outerPad[kHmacBlock];
    for (size_t i = 0; i < kHmacBlock; ++i) {
        innerPad[i] = keyBlock[i] ^ 0x36;
        outerPad[i] = keyBlock[i] ^ 0x5c;
    }
    uint8_t inner[kSha384Size];
    CSha384 sha;
    sha.Update(innerPad, kHmacBlock);
    sha.Update(strKey.data(), strKey.size());
    sha.Final(inner);
    sha.Reset();
    sha.Update(outerPad, kHmacBlock);
    sha.Update(inner, kSha384Size);
    sha.Final(pDerived);
    return 0;
}

namespace cbl {

int CRawAes::SetCipherKey(const std::string& strKey, const std::string& strIv, OutputSink sink) {
    if (strKey.empty() || strIv.empty() || !sink) return -1;
    uint8_t derived[kDerivedKeySize];
    if (DeriveCipherKey(strKey, strIv, derived) != 0) return -1;
    m_aes.SetKey(derived);
    m_aes.SetChainingVector(derived + AesCipher::kKeySize);
    if (m_direction == Direction::kEncrypt) {
        // Encryption has one mode only; the mode the stream passes names its decryption side.
        m_fnBlocks = [this](const uint8_t* pIn, uint8_t* pOut, uint32_t nLength, int) {
            m_aes.EncryptCfbBlocks(pIn, pOut, nLength);
        };
    } else {
        m_fnBlocks = [this](const uint8_t* pIn, uint8_t* pOut, uint32_t nLength, int nMode) {
            m_aes.TransformBlocks(pIn, pOut, nLength, nMode);
        };
    }
    m_sink = std::move(sink);
    return 0;
}

int CRawAes::OpenCipher(const std::string& strKey, const std::string& strIv, OutputSink sink) {
    if (strKey.empty() && strIv.empty()) return -1;
    const int nResult = SetCipherKey(strKey, strIv, std::move(sink));
    if (nResult != 0) return nResult - 100;
    m_nPending.store(0);
    m_bOpen.store(1);
    return 0;
}

int CRawAes::FlushPending(int nDeliver) {
    uint8_t out[kBlock];
    m_fnBlocks(m_pending, out, kBlock, kCfbDecrypt);
    return m_sink(out, nDeliver) < 0 ? -1 : 0;
}

int CRawAes::FeedCipher(const uint8_t* pData, int nCount) {
    if (pData == nullptr || nCount <= 0) return -1;
    if (m_bOpen.load() == 0) return -2;
    int nPending = m_nPending.load();
    if (nPending > 0) {
        const int nTake = std::min(kBlock - nPending, nCount);
        memcpy(m_pending + nPending, pData, nTake);
        pData += nTake;
        nCount -= nTake;
        nPending += nTake;
        m_nPending.store(nPending);
        if (nPending < kBlock) return 0;  // still incomplete: wait for more
        m_nPending.store(0);
        if (FlushPending(kBlock) != 0) return -3;
    }
    const int nWhole = nCount / kBlock * kBlock;
    if (nWhole > 0) {
        std::unique_ptr<uint8_t[]> out(new (std::nothrow) uint8_t[nWhole]);
        if (!out) return -4;
        m_fnBlocks(pData, out.get(), static_cast<uint32_t>(nWhole), kCfbDecrypt);
        if (m_sink(out.get(), nWhole) < 0) return -4;
    }
    memcpy(m_pending, pData + nWhole, nCount - nWhole);
    m_nPending.store(nCount - nWhole);
    return 0;
}

int CRawAes::CloseCipher() {
    if (m_bOpen.exchange(0) == 0) return -1;
    const int nPending = m_nPending.exchange(0);
    if (nPending > 0 && FlushPending(nPending) != 0) return -2;
    return 0;
}

}  // namespace cbl

namespace {

int TransformText(cbl::CRawAes::Direction direction, const std::string& strData,
                  const std::string& strKey, const std::string& strIv, std::string* pOut) {
    if (strData.empty() || pOut == nullptr) return -1;
    pOut->clear();
    cbl::CRawAes aes(direction);
    auto sink = [pOut](const uint8_t* p, int n) {
        pOut->append(reinterpret_cast<const char*>(p), n);
        return n;
    };
    if (aes.OpenCipher(strKey, strIv, sink) != 0) return -3;
    if (strData.size() > static_cast<size_t>(std::numeric_limits<int>::max())) return -4;
    const auto* pData = reinterpret_cast<const uint8_t*>(strData.data());
    if (aes.FeedCipher(pData, static_cast<int>(strData.size())) != 0) return -4;
    if (aes.CloseCipher() != 0) return -5;
    return 0;
}

}  // namespace

int DecryptText(const std::string& strData, const std::string& strKey, const std::string& strIv,
                std::string* pOut) {
    return TransformText(cbl::CRawAes::Direction::kDecrypt, strData, strKey, strIv, pOut);
}

int EncryptText(const std::string& strData, const std::string& strKey, const std::string& strIv,
                std::string* pOut) {
    return TransformText(cbl::CRawAes::Direction::kEncrypt, strData, strKey, strIv, pOut);
}
