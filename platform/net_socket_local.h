// The backends' part of the local address list (net_socket_common.cc adds the overrides), and
// the address helpers both backends use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#endif

namespace platform {

// The adapters' IPv4 addresses as dotted texts, in the system's order, loopback left out (as a
// lookup of the host name gives them). Empty when the system cannot list them.
std::vector<std::string> SystemIpv4Addresses();

// The IPv4 socket address of a dotted address and a port; false when the text is not dotted
// IPv4.
bool MakeAddress(const std::string& strAddress, uint16_t nPort, sockaddr_in* pAddr);
// The dotted text of an IPv4 address.
std::string AddressText(const in_addr& addr);

}  // namespace platform
