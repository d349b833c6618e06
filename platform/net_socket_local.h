// The backends' part of the local address list (net_socket_common.cc adds the overrides).
#pragma once

#include <string>
#include <vector>

namespace platform {

// The adapters' IPv4 addresses as dotted texts, in the system's order, loopback left out (as a
// lookup of the host name gives them). Empty when the system cannot list them.
std::vector<std::string> SystemIpv4Addresses();

}  // namespace platform
