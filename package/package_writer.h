// Builds certificate packages in the layout CertFile reads: the authoring tool's core, and the
// maker of test packages.
#pragma once

#include <string>
#include <vector>

#include "package/package_keys.h"

struct CPackageItem {
    std::string strName, strData;
};

// How a package is keyed. strDomain is sealed into the header; when it is empty the header's
// length is 0 and the payload is keyed with strDefaultDomain, as the reader does then.
struct CPackageKeying {
    std::string strDomain;
    std::string strDefaultDomain = ProductWebDomain();
    int nKeyMode = 0;
};

// The opened item stream: for each item its name length, data length and CRC-32 (unsigned
// 64-bit little-endian), then the name and the data.
std::string EncodePackageItems(const std::vector<CPackageItem>& items);

// Seals an opened item stream (any bytes: tests seal broken ones) into a whole package. 0; -1
// the domain is longer than 254 bytes; -2 the stream is empty; -3 the cipher failed.
int SealPackage(const CPackageKeying& keying, const std::string& strItems, std::string* pOut);

// EncodePackageItems, then SealPackage.
int BuildPackage(const CPackageKeying& keying, const std::vector<CPackageItem>& items,
                 std::string* pOut);
