// crypto_bench [--check]: throughput of MD5, SHA-256, AES-256-CFB decryption and RC4 over one
// 64 MiB buffer, ours beside OpenSSL's, best of three runs each, taken in turns. One line per
// algorithm: name ours_MBps openssl_MBps ratio goal. --check exits 1 when a ratio is below its
// goal; without it the exit status is always 0.
#define OPENSSL_SUPPRESS_DEPRECATED  // RC4's low-level interface, the one OpenSSL 3 still has
#include <openssl/evp.h>
#include <openssl/rc4.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "package/aes_cipher.h"
#include "package/cipher_hardware.h"
#include "package/md5.h"
#include "package/raw_aes.h"
#include "package/rc4.h"
#include "package/sha2.h"

namespace {

constexpr size_t kBufferSize = 64u << 20;
constexpr int kRuns = 3;

struct CBenchCase {
    const char* pszName;
    double dGoal;
    std::function<void()> fnOurs;
    std::function<void()> fnOpenSsl;
};

double Seconds(const std::function<void()>& fn) {
    const auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Prints the line and returns whether the goal was met.
bool RunCase(const CBenchCase& c) {
    double dOurs = 1e30, dOpenSsl = 1e30;
    for (int i = 0; i < kRuns; ++i) {
        dOurs = std::min(dOurs, Seconds(c.fnOurs));
        dOpenSsl = std::min(dOpenSsl, Seconds(c.fnOpenSsl));
    }
    const double dMb = kBufferSize / 1e6;
    const double dRatio = dOpenSsl / dOurs;
    printf("%-22s %9.0f %12.0f %6.2f %5.2f%s\n", c.pszName, dMb / dOurs, dMb / dOpenSsl, dRatio,
           c.dGoal, dRatio < c.dGoal ? "  MISSED" : "");
    return dRatio >= c.dGoal;
}

void EvpCfbDecrypt(const uint8_t* pKey, const uint8_t* pIv, const uint8_t* pIn, uint8_t* pOut) {
    EVP_CIPHER_CTX* pCtx = EVP_CIPHER_CTX_new();
    int nUpdate = 0, nFinal = 0;
    EVP_DecryptInit_ex(pCtx, EVP_aes_256_cfb128(), nullptr, pKey, pIv);
    EVP_DecryptUpdate(pCtx, pOut, &nUpdate, pIn, static_cast<int>(kBufferSize));
    EVP_DecryptFinal_ex(pCtx, pOut + nUpdate, &nFinal);
    EVP_CIPHER_CTX_free(pCtx);
}

}  // namespace

int main(int argc, char** argv) {
    const bool bCheck = argc > 1 && strcmp(argv[1], "--check") == 0;
    std::vector<uint8_t> data(kBufferSize), out(kBufferSize);
    for (size_t i = 0; i < kBufferSize; ++i) data[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
    uint8_t key[32], iv[16], digest[64];
    for (int i = 0; i < 32; ++i) key[i] = static_cast<uint8_t>(7 * i + 1);
    memcpy(iv, key + 8, sizeof iv);
    const std::string strKey(reinterpret_cast<char*>(key), 32);
    const std::string strIv(reinterpret_cast<char*>(iv), 16);
    uint8_t derived[kDerivedKeySize];
    DeriveCipherKey(strKey, strIv, derived);

    const CBenchCase kCases[] = {
        {"md5", 0.8, [&] { Md5(data.data(), kBufferSize, digest); },
         [&] { EVP_Digest(data.data(), kBufferSize, digest, nullptr, EVP_md5(), nullptr); }},
        {"sha256", 0.5, [&] { Sha256(data.data(), kBufferSize, digest); },
         [&] { EVP_Digest(data.data(), kBufferSize, digest, nullptr, EVP_sha256(), nullptr); }},
        {"aes256cfb-decrypt", 0.5,
         [&] {
             cbl::AesCipher aes;
             aes.SetKey(derived);
             aes.SetChainingVector(derived + 32);
             aes.TransformBlocks(data.data(), out.data(), kBufferSize, 2);
         },
         [&] { EvpCfbDecrypt(derived, derived + 32, data.data(), out.data()); }},
        {"aes256cfb-stream", 0.5,
         [&] {
             cbl::CRawAes aes;
             aes.OpenCipher(strKey, strIv, [&](const uint8_t* p, int n) {
                 memcpy(out.data(), p, n);
                 return n;
             });
             aes.FeedCipher(data.data(), static_cast<int>(kBufferSize));
             aes.CloseCipher();
         },
         [&] { EvpCfbDecrypt(derived, derived + 32, data.data(), out.data()); }},
        {"rc4", 0.8,
         [&] {
             CRc4 rc4;
             rc4.SetKey(key, 16);
             rc4.Apply(out.data(), kBufferSize);
         },
         [&] {
             RC4_KEY rc4;
             RC4_set_key(&rc4, 16, key);
             RC4(&rc4, kBufferSize, out.data(), out.data());
         }},
    };

    printf("# SHA instructions: %s; AES instructions: %s; RC4 assembly: %s\n",
           UseShaInstructions() ? "used" : "absent", UseAesInstructions() ? "used" : "absent",
           UseAssemblyPaths() ? "used" : "absent");
    printf("# %-20s %9s %12s %6s %5s\n", "name", "ours_MBps", "openssl_MBps", "ratio", "goal");
    bool bAllMet = true;
    for (const CBenchCase& c : kCases) bAllMet = RunCase(c) && bAllMet;
    return bCheck && !bAllMet ? 1 : 0;
}
