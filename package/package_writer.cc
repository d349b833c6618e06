#include "package/package_writer.h"

#include <cstdint>
#include <cstring>

#include "package/cert_file.h"
#include "package/crc32.h"
#include "package/digest_blocks.h"
#include "package/raw_aes.h"
#include "package/sha2.h"

namespace {

// The 16 leading header bytes, which the reader skips: a mark that names the file's kind.
constexpr char kPackageMark[] = "ZELVO-CERT-1";

void AppendLe64(uint64_t nValue, std::string* pOut) {
    uint8_t bytes[8];
    digest::StoreLe<uint64_t>(bytes, nValue);
    pOut->append(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

// The 272-byte header with the sealed domain name; the bytes after it stay zero.
int BuildHeader(const std::string& strDomain, std::string* pHeader) {
    if (strDomain.size() > kPackageMaxDomainLength) return -1;
    pHeader->assign(kPackageHeaderSize, '\0');
    memcpy(pHeader->data(), kPackageMark, sizeof kPackageMark - 1);
    if (strDomain.empty()) return 0;
    std::string strSealed;
    if (EncryptText(strDomain, PackageHeaderKey(), PackageIV(), &strSealed) != 0) return -3;
    uint8_t length[2];
    digest::StoreLe<uint16_t>(length, static_cast<uint16_t>(strSealed.size()));
    pHeader->replace(kPackageDomainLengthOffset, sizeof length,
                     reinterpret_cast<const char*>(length), sizeof length);
    pHeader->replace(kPackageDomainOffset, strSealed.size(), strSealed);
    return 0;
}

}  // namespace

std::string EncodePackageItems(const std::vector<CPackageItem>& items) {
    std::string strItems;
    for (const CPackageItem& item : items) {
        AppendLe64(item.strName.size(), &strItems);
        AppendLe64(item.strData.size(), &strItems);
        AppendLe64(static_cast<uint64_t>(Crc32(item.strData.data(), item.strData.size())),
                   &strItems);
        strItems += item.strName;
        strItems += item.strData;
    }
    return strItems;
}

int SealPackage(const CPackageKeying& keying, const std::string& strItems, std::string* pOut) {
    if (strItems.empty()) return -2;
    std::string strPackage;
    const int nHeader = BuildHeader(keying.strDomain, &strPackage);
    if (nHeader != 0) return nHeader;
    const std::string& strKeyDomain =
        keying.strDomain.empty() ? keying.strDefaultDomain : keying.strDomain;
    std::string strSealed;
    if (EncryptText(strItems, PackagePayloadKey(strKeyDomain, keying.nKeyMode), PackageIV(),
                    &strSealed) != 0) {
        return -3;
    }
    uint8_t digest[kSha256Size];
    Sha256(strItems.data(), strItems.size(), digest);
    strPackage += strSealed;
    strPackage.append(reinterpret_cast<const char*>(digest), sizeof digest);
    pOut->swap(strPackage);
    return 0;
}

int BuildPackage(const CPackageKeying& keying, const std::vector<CPackageItem>& items,
                 std::string* pOut) {
    return SealPackage(keying, EncodePackageItems(items), pOut);
}
