// The certificate package reader. Each input is read twice: as a package file as it is, and
// as the opened item stream of a package that the writer seals around it (so the fuzzer gets
// past the digest to the item walk).
// Properties that must hold:
//  - a package file reads with 0, -1, -6 or -7 only;
//  - a package that reads has items that fill its payload exactly, and FindItem gives each
//    name's first item;
//  - a sealed stream reads with 0 or -7 only, and when it reads its items encode back to the
//    very stream.
// Seeds: packages made by zelvo-cert (also with a domain in the header) and damaged copies.
#include <cstddef>
#include <cstdint>
#include <string>

#include "package/cert_file.h"
#include "package/package_keys.h"
#include "package/package_writer.h"
#include "platform/console.h"
#include "platform/file_system.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr size_t kFramingSize = kPackageHeaderSize + kPackageDigestSize;

std::vector<CPackageItem> Plain(const CertFile& cert) {
    std::vector<CPackageItem> items;
    for (const CertFile::CItem& item : cert.Items()) items.push_back({item.strName, item.strData});
    return items;
}

void CheckReadPackage(const CertFile& cert, size_t nFileSize) {
    size_t nBytes = 0;
    for (const CertFile::CItem& item : cert.Items()) {
        nBytes += kPackageItemInfoSize + item.strName.size() + item.strData.size();
        std::string strFound;
        if (cert.FindItem(item.strName, &strFound) != 0) ReportViolation("an item not found");
        for (const CertFile::CItem& first : cert.Items()) {
            if (first.strName != item.strName) continue;
            if (strFound != first.strData) ReportViolation("FindItem gave not the first item");
            break;
        }
    }
    if (nBytes != nFileSize - kFramingSize) {
        ReportViolation("items do not fill the payload", std::to_string(nFileSize - kFramingSize),
                        std::to_string(nBytes));
    }
}

int ReadBytes(const std::string& strBytes, CertFile* pCert) {
    const std::string strPath = platform::JoinPath(ScratchDirectory(), "input.ce");
    if (!platform::WriteFileAtomic(strPath, strBytes)) ReportViolation("cannot write the input");
    return pCert->Read(strPath);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int g_nQuiet = platform::SilenceStandardOutput();  // the reader's debug lines
    (void)g_nQuiet;
    const std::string strInput(AsText(data, size));
    CertFile cert(ProductWebDomain());
    const int nResult = ReadBytes(strInput, &cert);
    if (nResult != 0 && nResult != -1 && nResult != -6 && nResult != -7)
        ReportViolation("unexpected result", "0, -1, -6 or -7", std::to_string(nResult));
    if (nResult == 0) CheckReadPackage(cert, size);

    std::string strPackage;
    if (SealPackage(CPackageKeying{}, strInput, &strPackage) != 0) return 0;  // empty input
    const int nSealed = ReadBytes(strPackage, &cert);
    if (nSealed != 0 && nSealed != -7)
        ReportViolation("a sealed stream gave", "0 or -7", std::to_string(nSealed));
    if (nSealed == 0 && EncodePackageItems(Plain(cert)) != strInput)
        ReportViolation("items do not encode back to the stream");
    return 0;
}
