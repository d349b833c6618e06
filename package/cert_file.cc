#include "package/cert_file.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "package/crc32.h"
#include "package/digest_blocks.h"
#include "package/package_keys.h"
#include "package/path_encoding.h"
#include "package/raw_aes.h"
#include "package/sha2.h"
#include "platform/file_stream.h"

namespace {

// Every diagnostic is one line on standard output, for debugging only.
void Report(const char* pszLine) {
    std::printf("%s\n", pszLine);
}

// Reads up to nLength bytes at nOffset, repeating short reads until the end of the file.
// False on a seek or read error; *pnRead gets the count read.
bool ReadAt(platform::CFileStream* pFile, int64_t nOffset, char* pBuffer, size_t nLength,
            size_t* pnRead) {
    *pnRead = 0;
    if (!pFile->Seek(nOffset, platform::CFileStream::Origin::kBegin, nullptr)) return false;
    while (*pnRead < nLength) {
        size_t nPiece = 0;
        if (!pFile->Read(pBuffer + *pnRead, nLength - *pnRead, &nPiece)) return false;
        if (nPiece == 0) break;
        *pnRead += nPiece;
    }
    return true;
}

// Sizes the buffer to nLength bytes; false when the memory is not there.
bool Allocate(size_t nLength, std::string* pBuffer) {
    try {
        pBuffer->assign(nLength, '\0');
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace

CertFile::CertFile(std::string strDefaultDomain, int nKeyMode)
    : m_strDefaultDomain(std::move(strDefaultDomain)),
      m_nKeyMode(nKeyMode),
      m_strDomain(m_strDefaultDomain) {}

const std::string& CertFile::DomainName() const {
    return m_strDomain;
}

const std::vector<CertFile::CItem>& CertFile::Items() const {
    return m_items;
}

int CertFile::FindItem(const std::string& strName, std::string* pData) const {
    for (const CItem& item : m_items) {
        if (item.strName != strName) continue;
        if (pData != nullptr) *pData = item.strData;
        return 0;
    }
    return -1;
}

int CertFile::ReadFileParts(const std::string& strPath, std::string* pPayload) {
    std::u16string strWide;
    int nHandle = -1;
    int64_t nSize = 0;
    if (NarrowToWidePath(strPath, &strWide) != 0 ||
        OpenFileForIo(strWide, false, &nHandle, &nSize) != 0) {
        Report("open file failed.");
        return -1;
    }
    platform::CFileStream file;
    file.Attach(nHandle);
    size_t nRead = 0;
    if (!ReadAt(&file, 0, reinterpret_cast<char*>(m_header), kPackageHeaderSize, &nRead)) {
        Report("write file head failed.");
        return -2;
    }
    const int64_t nDigestAt = nSize < static_cast<int64_t>(kPackageDigestSize)
                                  ? 0
                                  : nSize - static_cast<int64_t>(kPackageDigestSize);
    if (!ReadAt(&file, nDigestAt, reinterpret_cast<char*>(m_digest), kPackageDigestSize, &nRead)) {
        Report("write file hash failed.");
        return -3;
    }
    // The size is the file's own, so a damaged package cannot ask for more memory than it has.
    const int64_t nPayload = nDigestAt - static_cast<int64_t>(kPackageHeaderSize);
    if (nPayload < 0 || !Allocate(static_cast<size_t>(nPayload), pPayload)) {
        Report("malloc error.");
        return -4;
    }
    if (!ReadAt(&file, kPackageHeaderSize, pPayload->data(), pPayload->size(), &nRead) ||
        nRead != pPayload->size()) {
        Report("read file data error.");
        return -5;
    }
    return 0;
}

int CertFile::OpenDomainName() {
    const int nLength =
        static_cast<int16_t>(digest::LoadLe<uint16_t>(m_header + kPackageDomainLengthOffset));
    if (nLength < 0 || nLength > static_cast<int>(kPackageMaxDomainLength)) {
        Report("check file head error.");
        return -7;
    }
    const std::string strSealed(reinterpret_cast<const char*>(m_header + kPackageDomainOffset),
                                static_cast<size_t>(nLength));
    std::string strDomain;
    // An empty name does not decrypt: the default domain stays.
    if (DecryptText(strSealed, PackageHeaderKey(), PackageIV(), &strDomain) == 0)
        m_strDomain = strDomain;
    return 0;
}

int CertFile::LoadItems(const std::string& strPayload) {
    const auto* pBase = reinterpret_cast<const uint8_t*>(strPayload.data());
    const uint64_t nTotal = strPayload.size();
    for (uint64_t nOffset = 0; nOffset < nTotal;) {
        CItem item;
        if (nTotal - nOffset < kPackageItemInfoSize) {
            Report("check file data length error.");
            return -7;
        }
        item.ullFileNameLen = digest::LoadLe<uint64_t>(pBase + nOffset);
        item.ullFileSize = digest::LoadLe<uint64_t>(pBase + nOffset + 8);
        item.ulCrc32 = digest::LoadLe<uint64_t>(pBase + nOffset + 16);
        std::printf("fItem.fInfo.ullFileNameLen:%llu.\n",
                    static_cast<unsigned long long>(item.ullFileNameLen));
        std::printf("fItem.fInfo.ullFileSize:%llu.\n",
                    static_cast<unsigned long long>(item.ullFileSize));
        std::printf("fItem.fInfo.ulCrc32:%llu.\n", static_cast<unsigned long long>(item.ulCrc32));
        nOffset += kPackageItemInfoSize;
        const uint64_t nLeft = nTotal - nOffset;
        if (item.ullFileNameLen > nLeft || item.ullFileSize > nLeft - item.ullFileNameLen) {
            Report("check file data length error.");
            return -7;
        }
        item.strName.assign(strPayload, nOffset, item.ullFileNameLen);
        Report("load data 333333.");
        nOffset += item.ullFileNameLen;
        item.strData.assign(strPayload, nOffset, item.ullFileSize);
        nOffset += item.ullFileSize;
        const int64_t nCrc = Crc32(item.strData.data(), item.strData.size());
        if (nCrc < 0 || static_cast<uint64_t>(nCrc) != item.ulCrc32) {
            Report("check file data crc32 error.");
            return -7;
        }
        m_items.push_back(std::move(item));
    }
    return 0;
}

int CertFile::Read(const std::string& strPath) {
    m_items.clear();
    memset(m_header, 0, sizeof m_header);
    m_strDomain = m_strDefaultDomain;
    std::string strSealed;
    if (ReadFileParts(strPath, &strSealed) != 0) {
        Report("get file data error.");
        return -1;
    }
    if (OpenDomainName() != 0) return -7;
    std::string strPayload;
    const int nDecrypt = DecryptText(strSealed, PackagePayloadKey(m_strDomain, m_nKeyMode),
                                     PackageIV(), &strPayload);
    std::string().swap(strSealed);
    if (nDecrypt != 0) {
        Report("decrypt file data error.");
        return -6;
    }
    uint8_t digest[kSha256Size];
    Sha256(strPayload.data(), strPayload.size(), digest);
    if (memcmp(digest, m_digest, sizeof digest) != 0) {
        Report("chaeck file data hash error.");
        return -7;
    }
    return LoadItems(strPayload);
}
