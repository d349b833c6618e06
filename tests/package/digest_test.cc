// MD5, SHA-256, SHA-384 and CRC-32 against published vectors and against OpenSSL.
#include <gtest/gtest.h>

#include "package/crc32.h"
#include "package/md5.h"
#include "package/sha2.h"
#include "platform/file_system.h"
#include "tests/package/crypto_reference.h"

namespace {

const size_t kLengths[] = {0, 1, 55, 56, 63, 64, 65, 111, 112, 127, 128, 129, 1000, 1 << 20};

std::string Hex(const std::string& strBytes) {
    std::string strText;
    Md5Hex(Bytes(strBytes), &strText);  // only for 16-byte values
    return strText;
}

template <size_t kSize, class Fn>
std::string DigestOf(Fn fn, const std::string& strData) {
    uint8_t digest[kSize];
    fn(strData.data(), strData.size(), digest);
    return std::string(reinterpret_cast<char*>(digest), kSize);
}

// The digest of the data fed to the incremental form in pieces of nPiece bytes.
template <class CHash, size_t kSize>
std::string InPieces(const std::string& strData, size_t nPiece) {
    CHash hash;
    for (size_t i = 0; i < strData.size(); i += nPiece) {
        hash.Update(strData.data() + i, std::min(nPiece, strData.size() - i));
    }
    uint8_t digest[kSize];
    hash.Final(digest);
    return std::string(reinterpret_cast<char*>(digest), kSize);
}

TEST(Md5Test, MatchesTheRfc1321Suite) {
    const struct {
        const char* pszMessage;
        const char* pszDigest;
    } kCases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(Hex(DigestOf<kMd5Size>(Md5, c.pszMessage)), c.pszDigest) << c.pszMessage;
    }
}

TEST(Md5Test, MatchesOpenSslWholeAndInPieces) {
    for (size_t nLength : kLengths) {
        const std::string strData = RandomBytes(nLength, static_cast<uint32_t>(nLength));
        const std::string strExpected = EvpDigest(EVP_md5(), strData);
        EXPECT_EQ(DigestOf<kMd5Size>(Md5, strData), strExpected) << nLength;
        EXPECT_EQ((InPieces<CMd5, kMd5Size>(strData, 7)), strExpected) << nLength;
    }
}

TEST(Md5Test, HexIsLowerCaseWithLeadingZeros) {
    const uint8_t digest[kMd5Size] = {0x00, 0x0a, 0xbc, 0xde, 0xf0, 0x01, 0x02, 0x03,
                                      0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0xff, 0x10};
    std::string strText = "old";
    EXPECT_EQ(Md5Hex(digest, &strText), 32);
    EXPECT_EQ(strText, "000abcdef0010203040506070809ff10");
    EXPECT_EQ(Md5Hex(nullptr, &strText), -1);
}

TEST(Md5Test, FileDigestReadsAcrossChunksAndReportsErrors) {
    const std::string strDir = platform::MakeTempDirectory("md5_test");
    const std::string strPath = platform::JoinPath(strDir, "data.bin");
    const std::string strData = RandomBytes(kMd5FileChunk + 3, 5);
    ASSERT_TRUE(platform::WriteFileAtomic(strPath, strData));

    uint8_t digest[kMd5Size];
    EXPECT_EQ(Md5File(strPath, digest), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(digest), kMd5Size),
              EvpDigest(EVP_md5(), strData));
    std::string strText;
    EXPECT_EQ(Md5FileHex(strPath, &strText), 32);
    EXPECT_EQ(strText, Hex(EvpDigest(EVP_md5(), strData)));

    EXPECT_EQ(Md5File(strPath, nullptr), -1);
    const std::string strMissing = platform::JoinPath(strDir, "missing.bin");
    EXPECT_EQ(Md5File(strMissing, digest), -2);
    EXPECT_EQ(Md5FileHex(strMissing, &strText), -2);
    EXPECT_TRUE(strText.empty());
    EXPECT_EQ(Md5File(strDir, digest), -2);  // a directory cannot be read as a file
    platform::RemoveDirectoryTree(strDir);
}

class ShaTest : public CipherPathTest {
  protected:
    void SetUp() override { UsePath(CpuHasShaInstructions(), "SHA instructions"); }
};

TEST_P(ShaTest, MatchesFips180Vectors) {
    const std::string str448 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    const std::string str896 =
        "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlm"
        "nopqrsmnopqrstnopqrstu";
    const struct {
        std::string strMessage;
        const char* pszSha256;
        const char* pszSha384;
    } kCases[] = {
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
         "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca1"
         "34c825a7"},
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
         "38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da274edebfe76f65fbd51ad2f1"
         "4898b95b"},
        {str448, "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
         "3391fdddfc8dc7393707a65b1b4709397cf8b1d162af05abfe8f450de5f36bc6b0455a8520bc4e6f5fe95b1f"
         "e3c8452b"},
        {str896, "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1",
         "09330c33f71147e83d192fc782cd1b4753111b173b3b05d22fa08086e3b0f712fcc7c71a557e2db966c3e9fa"
         "91746039"},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(DigestOf<kSha256Size>(Sha256, c.strMessage), FromHex(c.pszSha256))
            << c.strMessage;
        EXPECT_EQ(DigestOf<kSha384Size>(Sha384, c.strMessage), FromHex(c.pszSha384))
            << c.strMessage;
    }
}

TEST_P(ShaTest, MatchesOpenSslWholeAndInPieces) {
    for (size_t nLength : kLengths) {
        const std::string strData = RandomBytes(nLength, static_cast<uint32_t>(nLength) + 1);
        const std::string str256 = EvpDigest(EVP_sha256(), strData);
        const std::string str384 = EvpDigest(EVP_sha384(), strData);
        EXPECT_EQ(DigestOf<kSha256Size>(Sha256, strData), str256) << nLength;
        EXPECT_EQ(DigestOf<kSha384Size>(Sha384, strData), str384) << nLength;
        EXPECT_EQ((InPieces<CSha256, kSha256Size>(strData, 100)), str256) << nLength;
        EXPECT_EQ((InPieces<CSha384, kSha384Size>(strData, 100)), str384) << nLength;
    }
}

INSTANTIATE_CIPHER_PATHS(ShaTest);

// Bit at a time, straight from the definition.
uint32_t SlowCrc32(const std::string& strData) {
    uint32_t c = 0xffffffff;
    for (unsigned char b : strData) {
        c ^= b;
        for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? (c >> 1) ^ 0xedb88320 : c >> 1;
    }
    return ~c;
}

TEST(Crc32Test, MatchesCheckValueAndDefinitionAndChains) {
    EXPECT_EQ(Crc32("123456789", 9), 0xcbf43926);
    EXPECT_EQ(Crc32("", 0), 0);
    EXPECT_EQ(Crc32(nullptr, 4), -1);
    for (size_t nLength : {1, 7, 8, 9, 17, 1000}) {
        const std::string strData = RandomBytes(nLength, 9);
        EXPECT_EQ(Crc32(strData.data(), nLength), SlowCrc32(strData)) << nLength;
        const int64_t nFirst = Crc32(strData.data(), nLength / 3);
        EXPECT_EQ(Crc32(strData.data() + nLength / 3, nLength - nLength / 3,
                        static_cast<uint32_t>(nFirst)),
                  SlowCrc32(strData));
    }
}

}  // namespace
