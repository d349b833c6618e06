#include "tools/box_sim/sim_socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tools/box_sim/sim_core.h"

bool MakeSimAddress(const std::string& strAddress, uint16_t nPort, sockaddr_in* address) {
    memset(address, 0, sizeof(*address));
    address->sin_family = AF_INET;
    address->sin_port = htons(nPort);
    return inet_pton(AF_INET, strAddress.c_str(), &address->sin_addr) == 1;
}

void SetReuseAddress(int nSocket, bool bOn) {
    int nOn = bOn ? 1 : 0;
    setsockopt(nSocket, SOL_SOCKET, SO_REUSEADDR, &nOn, sizeof(nOn));
}

int BindSimSocket(int nType, const std::string& strAddress, uint16_t nPort) {
    sockaddr_in address;
    if (!MakeSimAddress(strAddress, nPort, &address)) return -1;
    int nSocket = socket(AF_INET, nType | SOCK_CLOEXEC, 0);
    if (nSocket < 0) return -1;
    SetReuseAddress(nSocket, true);
    if (bind(nSocket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        close(nSocket);
        return -1;
    }
    return nSocket;
}

int WaitSimReadable(int nSocket, int nMs) {
    pollfd entry = {nSocket, POLLIN, 0};
    int nReady = poll(&entry, 1, nMs);
    if (nReady < 0) return errno == EINTR ? 0 : -1;
    if (nReady == 0) return 0;
    return (entry.revents & POLLNVAL) != 0 ? -1 : 1;
}

bool SendSimBytes(const CSimBoxCore& core, int nSocket, const char* pData, size_t nSize) {
    if (nSize == 0) return true;
    while (!core.bStopping) {
        pollfd entry = {nSocket, POLLOUT, 0};
        if (poll(&entry, 1, kSimPollMs) <= 0) continue;
        ssize_t nSent = send(nSocket, pData, nSize, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (nSent < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (nSent < 0) return false;
        pData += nSent;
        nSize -= static_cast<size_t>(nSent);
        if (nSize == 0) return true;
    }
    return false;
}
