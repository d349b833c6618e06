// CertFile: reads a certificate package (an encrypted container of named items with a digest
// of its contents), checks it and keeps its items in memory for lookups by name.
//
// Layout (integers little-endian): 16 bytes not read; at 16 the signed 16-bit length L (0 to
// 254) of the sealed domain name at 18; the rest of the 272-byte header not read; then the
// sealed payload; the last 32 bytes are the SHA-256 of the opened payload. The opened payload
// is a run of items: name length, data length and CRC-32 of the data (three unsigned 64-bit
// values), the name, the data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline constexpr size_t kPackageHeaderSize = 272;
inline constexpr size_t kPackageDomainLengthOffset = 16;
inline constexpr size_t kPackageDomainOffset = 18;
inline constexpr size_t kPackageMaxDomainLength = 254;
inline constexpr size_t kPackageDigestSize = 32;
inline constexpr size_t kPackageItemInfoSize = 24;

class CertFile {
  public:
    // nKeyMode 0: the payload key comes from the domain name; any other value: the payload
    // uses the fixed package key.
    explicit CertFile(std::string strDefaultDomain, int nKeyMode = 0);

    // Reads and checks the package at a narrow path (see NarrowToWidePath). 0; -1 the file
    // cannot be read (also a file shorter than header and digest); -6 the payload is empty and
    // cannot be decrypted; -7 the digest, an item's CRC-32 or the layout (a header length out
    // of range, an item running past the payload) does not check out. Items read before a bad
    // one stay in Items(). Each call starts empty, with the default domain.
    int Read(const std::string& strPath);
    // Copies the data of the first item whose name equals strName exactly (case counts). 0;
    // -1 when there is none (*pData untouched).
    int FindItem(const std::string& strName, std::string* pData) const;
    // The domain the payload was keyed with: the package's own, else the default.
    const std::string& DomainName() const;

    struct CItem {
        uint64_t ullFileNameLen, ullFileSize, ulCrc32;
        std::string strName, strData;
    };
    const std::vector<CItem>& Items() const;

  private:
    // Reads the header, the stored digest and the sealed payload: 0, or the negative step
    // that failed (its message printed).
    int ReadFileParts(const std::string& strPath, std::string* pPayload);
    // Opens the domain name of the header: 0, or -7 for a length out of range.
    int OpenDomainName();
    // Walks the opened payload, checking and keeping each item: 0 or -7.
    int LoadItems(const std::string& strPayload);

    std::string m_strDefaultDomain;
    int m_nKeyMode;
    std::string m_strDomain;
    uint8_t m_header[kPackageHeaderSize] = {};
    uint8_t m_digest[kPackageDigestSize] = {};
    std::vector<CItem> m_items;
};
