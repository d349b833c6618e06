// Test helpers: OpenSSL as the reference implementation, repeatable random data, hex text and
// the fixture that runs a test on the portable path and on the processor-instruction path.
#pragma once

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdint>
#include <random>
#include <string>

#include "package/cipher_hardware.h"

inline std::string RandomBytes(size_t nLength, uint32_t nSeed) {
    std::mt19937 random(nSeed);
    std::string strBytes(nLength, '\0');
    for (char& c : strBytes) c = static_cast<char>(random());
    return strBytes;
}

inline std::string FromHex(const std::string& strHex) {
    std::string strBytes;
    for (size_t i = 0; i + 1 < strHex.size(); i += 2) {
        strBytes.push_back(static_cast<char>(std::stoi(strHex.substr(i, 2), nullptr, 16)));
    }
    return strBytes;
}

inline const uint8_t* Bytes(const std::string& str) {
    return reinterpret_cast<const uint8_t*>(str.data());
}

inline std::string EvpDigest(const EVP_MD* pMd, const std::string& strData) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int nSize = 0;
    EVP_Digest(strData.data(), strData.size(), digest, &nSize, pMd, nullptr);
    return std::string(reinterpret_cast<char*>(digest), nSize);
}

// One OpenSSL cipher run without padding; bEncrypt picks the direction.
inline std::string EvpCipher(const EVP_CIPHER* pCipher, const std::string& strKey,
                             const std::string& strIv, const std::string& strData, bool bEncrypt) {
    std::string strOut(strData.size() + 32, '\0');
    int nUpdate = 0, nFinal = 0;
    EVP_CIPHER_CTX* pCtx = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex(pCtx, pCipher, nullptr, Bytes(strKey), strIv.empty() ? nullptr : Bytes(strIv),
                      bEncrypt ? 1 : 0);
    EVP_CIPHER_CTX_set_padding(pCtx, 0);
    auto* pOut = reinterpret_cast<unsigned char*>(strOut.data());
    EVP_CipherUpdate(pCtx, pOut, &nUpdate, Bytes(strData), static_cast<int>(strData.size()));
    EVP_CipherFinal_ex(pCtx, pOut + nUpdate, &nFinal);
    EVP_CIPHER_CTX_free(pCtx);
    strOut.resize(nUpdate + nFinal);
    return strOut;
}

// Parameter true: the processor-instruction path (skipped where the processor lacks it);
// false: the portable path, everywhere.
class CipherPathTest : public ::testing::TestWithParam<bool> {
  protected:
    void UsePath(bool bCpuHas, const char* pszWhat) {
        if (GetParam() && !bCpuHas) GTEST_SKIP() << "this processor has no " << pszWhat;
        SetCipherHardwareForTesting(GetParam());
    }
    void TearDown() override { SetCipherHardwareForTesting(true); }
};

#define INSTANTIATE_CIPHER_PATHS(Fixture)               \
    INSTANTIATE_TEST_SUITE_P(                           \
        Paths, Fixture, ::testing::Values(false, true), \
        [](const auto& info) { return std::string(info.param ? "Hardware" : "Portable"); })
