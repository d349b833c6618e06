// Name resolution through the system's resolver. getaddrinfo is the same call on both systems;
// Windows needs only its own headers and Winsock started first.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/win32/winsock_init.h"
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#endif

#include "platform/host_lookup.h"

namespace platform {

namespace {

// The first address of the family asked for (AF_UNSPEC: any) as text.
bool Resolve(const std::string& strHost, int nFamily, std::string* pAddress) {
#ifdef _WIN32
    EnsureWinsock();
#endif
    addrinfo hints = {};
    hints.ai_family = nFamily;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* pResults = nullptr;
    if (strHost.empty() || getaddrinfo(strHost.c_str(), nullptr, &hints, &pResults) != 0) {
        return false;
    }
    char szText[INET6_ADDRSTRLEN] = {};
    const void* pRaw = nullptr;
    if (pResults->ai_family == AF_INET) {
        pRaw = &reinterpret_cast<sockaddr_in*>(pResults->ai_addr)->sin_addr;
    } else if (pResults->ai_family == AF_INET6) {
        pRaw = &reinterpret_cast<sockaddr_in6*>(pResults->ai_addr)->sin6_addr;
    }
    bool bOk = pRaw != nullptr &&
               inet_ntop(pResults->ai_family, pRaw, szText, sizeof(szText)) != nullptr;
    freeaddrinfo(pResults);
    if (bOk) *pAddress = szText;
    return bOk;
}

}  // namespace

bool ResolveHostAddress(const std::string& strHost, std::string* pAddress) {
    return Resolve(strHost, AF_INET, pAddress) || Resolve(strHost, AF_UNSPEC, pAddress);
}

bool ResolveHostIpv4(const std::string& strHost, std::string* pAddress) {
    return Resolve(strHost, AF_INET, pAddress);
}

}  // namespace platform
