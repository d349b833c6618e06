// The portable SHA-2 compression function, one template for the 32-bit (SHA-256) and the
// 64-bit (SHA-384/512) word size.
#include "package/digest_blocks.h"
#include "package/sha2_blocks.h"

const uint32_t kSha256Rounds[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

namespace {

const uint64_t kSha512Rounds[80] = {
    0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc,
    0x3956c25bf348b538, 0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118,
    0xd807aa98a3030242, 0x12835b0145706fbe, 0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2,
    0x72be5d74f27b896f, 0x80deb1fe3b1696b1, 0x9bdc06a725c71235, 0xc19bf174cf692694,
    0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
    0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5,
    0x983e5152ee66dfab, 0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4,
    0xc6e00bf33da88fc2, 0xd5a79147930aa725, 0x06ca6351e003826f, 0x142929670a0e6e70,
    0x27b70a8546d22ffc, 0x2e1b21385c26c926, 0x4d2c6dfc5ac42aed, 0x53380d139d95b3df,
    0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6, 0x92722c851482353b,
    0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30,
    0xd192e819d6ef5218, 0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8,
    0x19a4c116b8d2d0c8, 0x1e376c085141ab53, 0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8,
    0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb, 0x5b9cca4f7763e373, 0x682e6ff3d6b2b8a3,
    0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72, 0x8cc702081a6439ec,
    0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b,
    0xca273eceea26619c, 0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178,
    0x06f067aa72176fba, 0x0a637dc5a2c898a6, 0x113f9804bef90dae, 0x1b710b35131c471b,
    0x28db77f523047d84, 0x32caab7b40c72493, 0x3c9ebe0a15c9bebc, 0x431d67c49c100d4c,
    0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec, 0x6c44198c4a475817};

// Rotation and shift amounts of the four sigma functions, and the round count, per word size.
template <class T>
struct Sha2Params;

template <>
struct Sha2Params<uint32_t> {
    static constexpr int kRounds = 64;
    static constexpr int kSum0[3] = {2, 13, 22};
    static constexpr int kSum1[3] = {6, 11, 25};
    static constexpr int kSigma0[3] = {7, 18, 3};
    static constexpr int kSigma1[3] = {17, 19, 10};
    static const uint32_t* Constants() { return kSha256Rounds; }
};

template <>
struct Sha2Params<uint64_t> {
    static constexpr int kRounds = 80;
    static constexpr int kSum0[3] = {28, 34, 39};
    static constexpr int kSum1[3] = {14, 18, 41};
    static constexpr int kSigma0[3] = {1, 8, 7};
    static constexpr int kSigma1[3] = {19, 61, 6};
    static const uint64_t* Constants() { return kSha512Rounds; }
};

template <class T>
inline T Rotr(T nValue, int nBits) {
    return (nValue >> nBits) | (nValue << (8 * sizeof(T) - nBits));
}

// Upper-case sigma: three rotations.
template <class T>
inline T Sum(T x, const int* pBits) {
    return Rotr(x, pBits[0]) ^ Rotr(x, pBits[1]) ^ Rotr(x, pBits[2]);
}

// Lower-case sigma of the message schedule: two rotations and a shift.
template <class T>
inline T Sigma(T x, const int* pBits) {
    return Rotr(x, pBits[0]) ^ Rotr(x, pBits[1]) ^ (x >> pBits[2]);
}

template <class T>
void Sha2Blocks(T* pState, const uint8_t* pData, size_t nBlocks) {
    using P = Sha2Params<T>;
    const T* pK = P::Constants();
    for (; nBlocks > 0; --nBlocks, pData += 16 * sizeof(T)) {
        T w[P::kRounds];
        for (int t = 0; t < 16; ++t) w[t] = digest::LoadBe<T>(pData + t * sizeof(T));
        for (int t = 16; t < P::kRounds; ++t) {
            w[t] =
                w[t - 16] + Sigma(w[t - 15], P::kSigma0) + w[t - 7] + Sigma(w[t - 2], P::kSigma1);
        }
        T a = pState[0], b = pState[1], c = pState[2], d = pState[3];
        T e = pState[4], f = pState[5], g = pState[6], h = pState[7];
#pragma GCC unroll 16
        for (int t = 0; t < P::kRounds; ++t) {
            const T t1 = h + Sum(e, P::kSum1) + (g ^ (e & (f ^ g))) + pK[t] + w[t];
            const T t2 = Sum(a, P::kSum0) + ((a & b) | (c & (a | b)));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        pState[0] += a;
        pState[1] += b;
        pState[2] += c;
        pState[3] += d;
        pState[4] += e;
        pState[5] += f;
        pState[6] += g;
        pState[7] += h;
    }
}

}  // namespace

void Sha256BlocksPortable(uint32_t* pState, const uint8_t* pData, size_t nBlocks) {
    Sha2Blocks(pState, pData, nBlocks);
}

void Sha512BlocksPortable(uint64_t* pState, const uint8_t* pData, size_t nBlocks) {
    Sha2Blocks(pState, pData, nBlocks);
}
