// The keys of the certificate package, shared by the reader and the tool that writes packages.
// The texts are put together at run time, so the program file holds no key as one literal.
#pragma once

#include <string>

// 32 bytes: an 11-character text followed by zeros. Seals the domain name in the header and,
// in key mode 1 and above, the payload too.
std::string PackageHeaderKey();
// 16 bytes: a 14-character text followed by zeros; the vector of every sealed part.
std::string PackageIV();
// The payload key: in key mode 0 the MD5 digest of the domain name followed by 16 zeros (the
// digest in place of the first 16 bytes of the header key, whose last 16 are zero); in any
// other mode the header key itself.
std::string PackagePayloadKey(const std::string& strDomain, int nKeyMode);
// The product's web host name: the domain a package without its own is keyed with.
std::string ProductWebDomain();
