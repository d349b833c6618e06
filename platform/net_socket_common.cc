// The local address list with its overrides, the same on every system: a list set by a test,
// else ZELVO_LOCAL_ADDRESSES, else what the system's adapters have.
#include <cstdlib>
#include <mutex>
#include <optional>

#include "platform/net_socket.h"
#include "platform/net_socket_local.h"

namespace platform {
namespace {

std::mutex g_testAddressMutex;
std::optional<std::vector<std::string>> g_testAddresses;

std::vector<std::string> SplitAddressList(const std::string& text) {
    std::vector<std::string> list;
    std::string item;
    for (char c : text + ",") {
        if (c != ',' && c != ';') {
            if (c != ' ') item += c;
        } else if (!item.empty()) {
            list.push_back(item);
            item.clear();
        }
    }
    return list;
}

}  // namespace

std::vector<std::string> GetLocalIpv4Addresses() {
    {
        std::lock_guard<std::mutex> lock(g_testAddressMutex);
        if (g_testAddresses) return *g_testAddresses;
    }
    if (const char* pEnv = std::getenv("ZELVO_LOCAL_ADDRESSES")) return SplitAddressList(pEnv);
    return SystemIpv4Addresses();
}

void SetLocalAddressesForTesting(std::vector<std::string> addresses) {
    std::lock_guard<std::mutex> lock(g_testAddressMutex);
    g_testAddresses = std::move(addresses);
}

bool MakeAddress(const std::string& strAddress, uint16_t nPort, sockaddr_in* pAddr) {
    *pAddr = sockaddr_in{};
    pAddr->sin_family = AF_INET;
    pAddr->sin_port = htons(nPort);
    return inet_pton(AF_INET, strAddress.c_str(), &pAddr->sin_addr) == 1;
}

std::string AddressText(const in_addr& addr) {
    char sz[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &addr, sz, sizeof(sz));
    return sz;
}

}  // namespace platform
