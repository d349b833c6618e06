// The key derivation, the streaming decryptor's return codes and waiting block, and
// DecryptText and EncryptText against OpenSSL's AES-256-CFB-128.
#include "package/raw_aes.h"

#include <openssl/sha.h>

#include "tests/package/crypto_reference.h"

namespace {

// HMAC-SHA-384 with a 64-byte key block, built by hand from OpenSSL's SHA-384.
std::string ReferenceDerive(const std::string& strKey, const std::string& strIv) {
    std::string strBlock = strKey + strIv;
    if (strBlock.size() > 64) strBlock = EvpDigest(EVP_sha384(), strBlock);
    strBlock.resize(64, '\0');
    std::string strInner = strBlock, strOuter = strBlock;
    for (char& c : strInner) c ^= 0x36;
    for (char& c : strOuter) c ^= 0x5c;
    return EvpDigest(EVP_sha384(), strOuter + EvpDigest(EVP_sha384(), strInner + strKey));
}

std::string Derive(const std::string& strKey, const std::string& strIv) {
    uint8_t derived[kDerivedKeySize];
    if (DeriveCipherKey(strKey, strIv, derived) != 0) return "failed";
    return std::string(reinterpret_cast<char*>(derived), kDerivedKeySize);
}

std::string ReferenceDecrypt(const std::string& strData, const std::string& strKey,
                             const std::string& strIv) {
    const std::string strDerived = ReferenceDerive(strKey, strIv);
    return EvpCipher(EVP_aes_256_cfb128(), strDerived.substr(0, 32), strDerived.substr(32), strData,
                     false);
}

TEST(DeriveCipherKeyTest, IsHmacSha384WithA64ByteBlock) {
    const struct { size_t nKey, nIv; } kCases[] = {{32, 16}, {1, 0}, {48, 16}, {60, 30}, {100, 16}};
    for (const auto& c : kCases) {
        const std::string strKey = RandomBytes(c.nKey, 1), strIv = RandomBytes(c.nIv, 2);
        EXPECT_EQ(Derive(strKey, strIv), ReferenceDerive(strKey, strIv)) << c.nKey << "+" << c.nIv;
    }
    EXPECT_EQ(Derive("", "iv"), "failed");
}

class DecryptTextTest : public CipherPathTest {
  protected:
    void SetUp() override { UsePath(CpuHasAesInstructions(), "AES-NI"); }
};

TEST_P(DecryptTextTest, MatchesAes256Cfb128UnderTheDerivedKey) {
    const std::string strKey = RandomBytes(32, 3), strIv = RandomBytes(16, 4);
    for (size_t nLength : {1, 2, 7, 15, 16, 17, 33, 1000, 65536 + 5}) {
        const std::string strData = RandomBytes(nLength, static_cast<uint32_t>(nLength));
        std::string strOut = "stale";
        ASSERT_EQ(DecryptText(strData, strKey, strIv, &strOut), 0) << nLength;
        EXPECT_EQ(strOut, ReferenceDecrypt(strData, strKey, strIv)) << nLength;
    }
    std::string strOut = "kept";
    EXPECT_EQ(DecryptText("", strKey, strIv, &strOut), -1);
    EXPECT_EQ(strOut, "kept");
    EXPECT_EQ(DecryptText("data", "", "", &strOut), -3);
}

TEST_P(DecryptTextTest, EncryptTextMatchesAes256Cfb128AndDecryptsBack) {
    const std::string strKey = RandomBytes(32, 8), strIv = RandomBytes(16, 9);
    for (size_t nLength : {1, 16, 33, 100}) {
        const std::string strData = RandomBytes(nLength, static_cast<uint32_t>(nLength) + 50);
        const std::string strDerived = ReferenceDerive(strKey, strIv);
        std::string strSealed, strOpened;
        ASSERT_EQ(EncryptText(strData, strKey, strIv, &strSealed), 0) << nLength;
        EXPECT_EQ(strSealed, EvpCipher(EVP_aes_256_cfb128(), strDerived.substr(0, 32),
                                       strDerived.substr(32), strData, true))
            << nLength;
        ASSERT_EQ(DecryptText(strSealed, strKey, strIv, &strOpened), 0);
        EXPECT_EQ(strOpened, strData) << nLength;
    }
    std::string strOut = "kept";
    EXPECT_EQ(EncryptText("", strKey, strIv, &strOut), -1);
    EXPECT_EQ(strOut, "kept");
}

INSTANTIATE_CIPHER_PATHS(DecryptTextTest);

// A sink that collects the output and can be told to fail.
struct CSinkRecord {
    std::string strOut;
    std::vector<int> pieces;
    bool bFail = false;
    cbl::CRawAes::OutputSink Sink() {
        return [this](const uint8_t* p, int n) {
            if (bFail) return -1;
            strOut.append(reinterpret_cast<const char*>(p), n);
            pieces.push_back(n);
            return n;
        };
    }
};

TEST(RawAesTest, ReturnCodes) {
    CSinkRecord record;
    cbl::CRawAes aes;
    const uint8_t data[40] = {};
    EXPECT_EQ(aes.FeedCipher(data, 16), -2);  // not open yet
    EXPECT_EQ(aes.CloseCipher(), -1);
    EXPECT_EQ(aes.OpenCipher("", "", record.Sink()), -1);
    EXPECT_EQ(aes.OpenCipher("", "iv", record.Sink()), -101);
    EXPECT_EQ(aes.OpenCipher("key", "", record.Sink()), -101);
    EXPECT_EQ(aes.OpenCipher("key", "iv", nullptr), -101);
    EXPECT_EQ(aes.FeedCipher(data, 16), -2);  // the failed opens left it closed

    ASSERT_EQ(aes.OpenCipher("key", "iv", record.Sink()), 0);
    EXPECT_EQ(aes.FeedCipher(nullptr, 16), -1);
    EXPECT_EQ(aes.FeedCipher(data, 0), -1);
    EXPECT_EQ(aes.FeedCipher(data, -5), -1);
    EXPECT_EQ(aes.FeedCipher(data, 5), 0);  // 5 waiting
    record.bFail = true;
    EXPECT_EQ(aes.FeedCipher(data, 11), -3);  // completes the waiting block
    EXPECT_EQ(aes.FeedCipher(data, 40), -4);  // whole blocks
    EXPECT_EQ(aes.CloseCipher(), 0);          // the failed feed left nothing waiting
    EXPECT_EQ(aes.CloseCipher(), -1);
    EXPECT_EQ(aes.FeedCipher(data, 16), -2);  // closed

    ASSERT_EQ(aes.OpenCipher("key", "iv", record.Sink()), 0);
    EXPECT_EQ(aes.FeedCipher(data, 7), 0);
    EXPECT_EQ(aes.CloseCipher(), -2);  // the sink fails on the 7 waiting bytes

    record.bFail = false;
    ASSERT_EQ(aes.OpenCipher("key", "iv", record.Sink()), 0);
    EXPECT_EQ(aes.CloseCipher(), 0);  // nothing waiting, nothing delivered
    EXPECT_TRUE(record.pieces.empty());
}

TEST(RawAesTest, StreamInPiecesEqualsOneShot) {
    const std::string strKey = RandomBytes(32, 5), strIv = RandomBytes(16, 6);
    const std::string strData = RandomBytes(200, 7);
    CSinkRecord record;
    cbl::CRawAes aes;
    ASSERT_EQ(aes.OpenCipher(strKey, strIv, record.Sink()), 0);
    // 3 and 4 wait; 10 completes the block, 1 waits; 40 completes it and delivers 16 more at
    // once, 9 wait; 143 completes it and delivers 128 at once; the close delivers the last 8.
    size_t nDone = 0;
    for (int nPiece : {3, 4, 10, 40, 143}) {
        ASSERT_EQ(aes.FeedCipher(Bytes(strData) + nDone, nPiece), 0);
        nDone += nPiece;
    }
    ASSERT_EQ(aes.CloseCipher(), 0);
    EXPECT_EQ(record.strOut, ReferenceDecrypt(strData, strKey, strIv));
    EXPECT_EQ(record.pieces, (std::vector<int>{16, 16, 16, 16, 128, 8}));
}

}  // namespace
