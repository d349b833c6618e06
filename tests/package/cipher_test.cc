// cbl::AesCipher against FIPS-197, NIST SP 800-38A and OpenSSL on both paths; RC4 against
// OpenSSL.
#define OPENSSL_SUPPRESS_DEPRECATED  // RC4's low-level interface, the one OpenSSL 3 still has
#include <openssl/rc4.h>

#include <cstring>

#include "package/aes_cipher.h"
#include "package/rc4.h"
#include "tests/package/crypto_reference.h"

namespace {

const std::string kNistKey =
    FromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
const std::string kNistIv = FromHex("000102030405060708090a0b0c0d0e0f");
const std::string kNistPlain = FromHex(
    "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");

enum Mode { kEcb = 0, kCbc, kCfb, kOfb, kCtr };

// Runs the data through a fresh cipher, in two calls for the chaining modes (so the stored
// vector counts) and in one for the counter mode (whose every call starts from the counter).
std::string Transform(const std::string& strKey, const std::string& strIv, const std::string& strIn,
                      int nMode) {
    cbl::AesCipher aes;
    aes.SetKey(Bytes(strKey));
    if (strIv.size() == 16 && nMode == kCtr) aes.SetCounter(Bytes(strIv));
    if (strIv.size() == 16 && nMode != kCtr) aes.SetChainingVector(Bytes(strIv));
    std::string strOut(strIn.size(), '\0');
    auto* pOut = reinterpret_cast<uint8_t*>(strOut.data());
    const uint32_t nFirst = nMode == kCtr ? 0 : static_cast<uint32_t>(strIn.size() / 32 * 16);
    if (nFirst > 0) aes.TransformBlocks(Bytes(strIn), pOut, nFirst, nMode);
    aes.TransformBlocks(Bytes(strIn) + nFirst, pOut + nFirst,
                        static_cast<uint32_t>(strIn.size()) - nFirst, nMode);
    return strOut;
}

// The counter mode reference: the 128-bit little-endian counter plus the block number,
// encrypted with OpenSSL's ECB, XORed onto the data.
std::string LittleEndianCtr(const std::string& strKey, const std::string& strCounter,
                            const std::string& strIn) {
    std::string strCounters;
    for (size_t nBlock = 0; nBlock < strIn.size() / 16; ++nBlock) {
        std::string strBlock = strCounter;
        unsigned nCarry = static_cast<unsigned>(nBlock);
        for (char& c : strBlock) {
            nCarry += static_cast<uint8_t>(c);
            c = static_cast<char>(nCarry & 0xff);
            nCarry >>= 8;
        }
        strCounters += strBlock;
    }
    std::string strOut = EvpCipher(EVP_aes_256_ecb(), strKey, "", strCounters, true);
    for (size_t i = 0; i < strOut.size(); ++i) strOut[i] ^= strIn[i];
    return strOut;
}

class AesTest : public CipherPathTest {
  protected:
    void SetUp() override { UsePath(CpuHasAesInstructions(), "AES-NI"); }
};

TEST_P(AesTest, MatchesFips197Example) {
    const std::string strKey =
        FromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
    const std::string strPlain = FromHex("00112233445566778899aabbccddeeff");
    const std::string strCipher = FromHex("8ea2b7ca516745bfeafc49904b496089");
    EXPECT_EQ(Transform(strKey, "", strCipher, kEcb), strPlain);
    // CFB over a zero block yields the encryption of the vector.
    EXPECT_EQ(Transform(strKey, strPlain, std::string(16, '\0'), kCfb), strCipher);
}

TEST_P(AesTest, MatchesNistModeVectors) {
    const struct {
        int nMode;
        const char* pszCipher;
    } kCases[] = {
        {kCbc,
         "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
         "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b"},
        {kCfb,
         "dc7e84bfda79164b7ecd8486985d386039ffed143b28b1c832113c6331e5407b"
         "df10132415e54b92a13ed0a8267ae2f975a385741ab9cef82031623d55b1e471"},
        {kOfb,
         "dc7e84bfda79164b7ecd8486985d38604febdc6740d20b3ac88f6ad82a4fb08d"
         "71ab47a086e86eedf39d1c5bba97c4080126141d67f37be8538f5a8be740e484"},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(Transform(kNistKey, kNistIv, FromHex(c.pszCipher), c.nMode), kNistPlain)
            << c.nMode;
    }
    // The published counter mode vector counts big-endian; ours counts little-endian from the
    // first byte, so only the first block (no increment yet) is shared.
    const std::string strCounter = FromHex("f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff");
    EXPECT_EQ(Transform(kNistKey, strCounter, kNistPlain, kCtr).substr(0, 16),
              FromHex("601ec313775789a5b7a7f504bbf3d228"));
    // The advanced counter is not stored: a second call starts from the same counter.
    cbl::AesCipher aes;
    aes.SetKey(Bytes(kNistKey));
    aes.SetCounter(Bytes(strCounter));
    uint8_t first[16], second[16];
    aes.TransformBlocks(Bytes(kNistPlain), first, 16, kCtr);
    aes.TransformBlocks(Bytes(kNistPlain), second, 16, kCtr);
    EXPECT_EQ(memcmp(first, second, 16), 0);
}

TEST_P(AesTest, EveryModeMatchesOpenSslOnRandomData) {
    const std::string strKey = RandomBytes(32, 1), strIv = RandomBytes(16, 2);
    const struct {
        int nMode;
        const EVP_CIPHER* pCipher;
    } kModes[] = {{kEcb, EVP_aes_256_ecb()},
                  {kCbc, EVP_aes_256_cbc()},
                  {kCfb, EVP_aes_256_cfb128()},
                  {kOfb, EVP_aes_256_ofb()}};
    for (size_t nLength : {16, 48, 128, 144, 272, 1 << 20}) {
        const std::string strData = RandomBytes(nLength, static_cast<uint32_t>(nLength));
        for (const auto& m : kModes) {
            const std::string strIv2 = m.nMode == kEcb ? "" : strIv;
            EXPECT_EQ(Transform(strKey, strIv, strData, m.nMode),
                      EvpCipher(m.pCipher, strKey, strIv2, strData, false))
                << "mode " << m.nMode << " length " << nLength;
        }
        const std::string strCounter = FromHex("feffffffffffffffffffffffffffff7f");
        const std::string strExpected = LittleEndianCtr(strKey, strCounter, strData);
        EXPECT_EQ(Transform(strKey, strCounter, strData, kCtr), strExpected) << nLength;
    }
}

TEST_P(AesTest, WorksInPlace) {
    const std::string strKey = RandomBytes(32, 3), strIv = RandomBytes(16, 4);
    const std::string strData = RandomBytes(400, 5);
    for (int nMode = kEcb; nMode <= kCtr; ++nMode) {
        cbl::AesCipher aes;
        aes.SetKey(Bytes(strKey));
        aes.SetChainingVector(Bytes(strIv));
        aes.SetCounter(Bytes(strIv));
        std::string strBuffer = strData;
        auto* p = reinterpret_cast<uint8_t*>(strBuffer.data());
        aes.TransformBlocks(p, p, static_cast<uint32_t>(strBuffer.size()), nMode);
        EXPECT_EQ(strBuffer, Transform(strKey, strIv, strData, nMode)) << nMode;
    }
}

INSTANTIATE_CIPHER_PATHS(AesTest);

TEST(AesCipherTest, BrokenPreconditionsLeaveOutputUntouched) {
    const std::string strKey = RandomBytes(32, 6), strIn = RandomBytes(32, 7);
    const struct {
        bool bKey, bVector, bCounter;
        uint32_t nLength;
        int nMode;
    } kCases[] = {
        {false, true, true, 16, kEcb}, {true, true, true, 20, kCfb},  {true, true, true, 0, kCfb},
        {true, false, true, 16, kCbc}, {true, false, true, 16, kCfb}, {true, false, true, 16, kOfb},
        {true, true, false, 16, kCtr}, {true, true, true, 16, 5},     {true, true, true, 16, -1},
    };
    for (const auto& c : kCases) {
        cbl::AesCipher aes;
        if (c.bKey) aes.SetKey(Bytes(strKey));
        if (c.bVector) aes.SetChainingVector(Bytes(strIn));
        if (c.bCounter) aes.SetCounter(Bytes(strIn));
        uint8_t out[32];
        memset(out, 0xaa, sizeof out);
        aes.TransformBlocks(Bytes(strIn), out, c.nLength, c.nMode);
        aes.TransformBlocks(nullptr, out, 16, kEcb);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 32), std::string(32, '\xaa'))
            << c.nLength << " mode " << c.nMode;
    }
}

class Rc4Test : public CipherPathTest {
  protected:
    void SetUp() override { UsePath(HasAssemblyPaths(), "x86-64 assembly"); }
};

TEST_P(Rc4Test, MatchesOpenSslAcrossUnevenPieces) {
    const size_t kPieces[] = {1, 3, 8, 13, 64, 1000, 4093};
    for (size_t nKeyLength : {1, 5, 16, 256}) {
        const std::string strKey = RandomBytes(nKeyLength, static_cast<uint32_t>(nKeyLength));
        const std::string strData = RandomBytes(1 << 16, 8);
        std::string strExpected(strData.size(), '\0');
        RC4_KEY key;
        RC4_set_key(&key, static_cast<int>(nKeyLength), Bytes(strKey));
        RC4(&key, strData.size(), Bytes(strData), reinterpret_cast<uint8_t*>(strExpected.data()));

        CRc4 rc4;
        rc4.SetKey(Bytes(strKey), nKeyLength);
        std::string strOut = strData;
        auto* p = reinterpret_cast<uint8_t*>(strOut.data());
        for (size_t nDone = 0, k = 0; nDone < strOut.size(); ++k) {
            const size_t nPiece = std::min(kPieces[k % std::size(kPieces)], strOut.size() - nDone);
            rc4.Apply(p + nDone, nPiece);
            nDone += nPiece;
        }
        EXPECT_EQ(strOut, strExpected) << nKeyLength;
    }
}

INSTANTIATE_CIPHER_PATHS(Rc4Test);

}  // namespace
