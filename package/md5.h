// MD5: the digest of the transfers' file checks and of the package key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr size_t kMd5Size = 16;
inline constexpr size_t kMd5FileChunk = 4194304;  // files are read in 4 MiB pieces

// Incremental MD5.
class CMd5 {
public:
    CMd5() { Reset(); }
    void Reset();
    void Update(const void* pData, size_t nLength);
    // Writes the 16-byte digest; the object must be Reset before it is used again.
    void Final(uint8_t* pDigest);

private:
    uint32_t m_state[4];
    uint64_t m_nLength;  // bytes hashed so far
    uint8_t m_block[64];
};

void Md5(const void* pData, size_t nLength, uint8_t* pDigest);

// The digest of a file named by a narrow path (see NarrowToWidePath). 0; -1 for a null output;
// -2 when the path cannot be converted or the file cannot be opened or read.
int Md5File(const std::string& strPath, uint8_t* pDigest);

// The digest as 32 lowercase hexadecimal characters. Returns 32, or -1 for a null digest.
int Md5Hex(const uint8_t* pDigest, std::string* pText);

// The file's digest as text: 32, Md5File's error, or -127 when the text step fails. The text is
// empty on failure.
int Md5FileHex(const std::string& strPath, std::string* pText);
