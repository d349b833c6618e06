// Name resolution through the system's resolver.
#pragma once

#include <string>

namespace platform {

// The first address of the host as text: IPv4 dotted, or IPv6 when the system gives only that.
// False when the name does not resolve.
bool ResolveHostAddress(const std::string& strHost, std::string* pAddress);

// The first IPv4 address of the host, dotted; false when there is none.
bool ResolveHostIpv4(const std::string& strHost, std::string* pAddress);

}  // namespace platform
