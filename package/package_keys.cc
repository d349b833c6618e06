#include "package/package_keys.h"

#include <cstdint>
#include <initializer_list>

#include "package/md5.h"

namespace {

constexpr size_t kHeaderKeySize = 32;
constexpr size_t kIvSize = 16;

// Joins the pieces and pads the result with zeros to at least nSize bytes.
std::string Assemble(std::initializer_list<const char*> pieces, size_t nSize = 0) {
    std::string strText;
    for (const char* pszPiece : pieces) strText += pszPiece;
    if (strText.size() < nSize) strText.resize(nSize, '\0');
    return strText;
}

}  // namespace

std::string PackageHeaderKey() {
    return Assemble({"Zel", "vo", "Hea", "der"}, kHeaderKeySize);
}

std::string PackageIV() {
    return Assemble({"Zel", "vo", "Pack", "age", "IV"}, kIvSize);
}

std::string PackagePayloadKey(const std::string& strDomain, int nKeyMode) {
    std::string strKey = PackageHeaderKey();
    if (nKeyMode != 0) return strKey;
    uint8_t digest[kMd5Size];
    Md5(strDomain.data(), strDomain.size(), digest);
    strKey.replace(0, kMd5Size, reinterpret_cast<const char*>(digest), kMd5Size);
    return strKey;
}

std::string ProductWebDomain() {
    return Assemble({"www.", "zelvo", "-box", ".invalid"});
}
