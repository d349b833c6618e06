// IPv4 sockets over BSD sockets.
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/net_socket.h"
#include "platform/net_socket_local.h"

namespace platform {
namespace {

thread_local int t_nLastError = 0;

// The descriptor a handle holds.
int Fd(SocketHandle s) {
    return static_cast<int>(s);
}

bool Fail() {
    t_nLastError = errno;
    return false;
}

bool SetBlocking(SocketHandle s, bool bBlocking) {
    const int nFlags = fcntl(s, F_GETFL, 0);
    if (nFlags < 0) return Fail();
    const int nNew = bBlocking ? (nFlags & ~O_NONBLOCK) : (nFlags | O_NONBLOCK);
    return fcntl(s, F_SETFL, nNew) == 0 || Fail();
}

// Waits for a non-blocking connect: true when it completed without a pending error.
bool WaitConnected(SocketHandle s, unsigned nTimeoutMs) {
    pollfd pfd{Fd(s), POLLOUT, 0};
    if (poll(&pfd, 1, static_cast<int>(nTimeoutMs)) != 1) return Fail();
    int nError = 0;
    socklen_t nLen = sizeof(nError);
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, &nError, &nLen) != 0) return Fail();
    t_nLastError = nError;
    return nError == 0;
}

timeval ToTimeval(unsigned nMs) {
    return timeval{static_cast<time_t>(nMs / 1000), static_cast<suseconds_t>(nMs % 1000) * 1000};
}

}  // namespace

std::vector<std::string> SystemIpv4Addresses() {
    std::vector<std::string> list;
    ifaddrs* pList = nullptr;
    if (getifaddrs(&pList) != 0) return list;
    for (ifaddrs* p = pList; p != nullptr; p = p->ifa_next) {
        if (p->ifa_addr == nullptr || p->ifa_addr->sa_family != AF_INET) continue;
        const in_addr addr = reinterpret_cast<sockaddr_in*>(p->ifa_addr)->sin_addr;
        // The adapters' addresses, as a lookup of the host name gives them: no loopback.
        if ((ntohl(addr.s_addr) >> 24) == 127) continue;
        list.push_back(AddressText(addr));
    }
    freeifaddrs(pList);
    return list;
}

namespace {

// A TCP socket and the IPv4 address to use it with; kInvalidSocket (last error set) when the
// address is no dotted IPv4 address or no socket can be made.
SocketHandle NewTcpSocket(const std::string& strAddress, uint16_t nPort, sockaddr_in* pAddr) {
    if (!MakeAddress(strAddress, nPort, pAddr)) {
        t_nLastError = EINVAL;
        return kInvalidSocket;
    }
    const SocketHandle s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) Fail();
    return s < 0 ? kInvalidSocket : s;
}

}  // namespace

SocketHandle ConnectTcp(const std::string& strAddress, uint16_t nPort, unsigned nTimeoutMs) {
    sockaddr_in addr;
    const SocketHandle s = NewTcpSocket(strAddress, nPort, &addr);
    if (s == kInvalidSocket) return kInvalidSocket;
    bool bConnected = SetBlocking(s, false);
    if (bConnected && connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        bConnected = errno == EINPROGRESS ? WaitConnected(s, nTimeoutMs) : Fail();
    }
    if (bConnected && SetBlocking(s, true)) return s;
    close(s);
    return kInvalidSocket;
}

bool SetSocketTimeouts(SocketHandle s, unsigned nReceiveMs, unsigned nSendMs) {
    const timeval receive = ToTimeval(nReceiveMs);
    const timeval send = ToTimeval(nSendMs);
    return (setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &receive, sizeof(receive)) == 0 &&
            setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &send, sizeof(send)) == 0) ||
           Fail();
}

long SocketSend(SocketHandle s, const void* pData, size_t nLength) {
    const ssize_t n = send(s, pData, nLength, MSG_NOSIGNAL);
    if (n < 0) Fail();
    return static_cast<long>(n);
}

bool SocketSendAll(SocketHandle s, const void* pData, size_t nLength) {
    const char* p = static_cast<const char*>(pData);
    while (nLength > 0) {
        ssize_t n;
        do {
            n = send(s, p, nLength, MSG_NOSIGNAL);
        } while (n < 0 && errno == EINTR);
        if (n < 0) return Fail();
        if (n == 0) return false;
        p += n;
        nLength -= static_cast<size_t>(n);
    }
    return true;
}

long SocketReceive(SocketHandle s, void* pBuffer, size_t nLength) {
    ssize_t n;
    do {
        n = recv(s, pBuffer, nLength, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) Fail();
    return static_cast<long>(n);
}

int WaitReadable(SocketHandle s, unsigned nTimeoutMs) {
    pollfd pfd{Fd(s), POLLIN, 0};
    const int n = poll(&pfd, 1, static_cast<int>(nTimeoutMs));
    if (n < 0) Fail();
    return n < 0 ? -1 : (n > 0 ? 1 : 0);
}

void CloseSocket(SocketHandle s) {
    if (s != kInvalidSocket) close(s);
}

int LastSocketError() { return t_nLastError; }

SocketHandle ListenTcp(const std::string& strAddress, uint16_t nPort, int nBacklog) {
    sockaddr_in addr;
    const SocketHandle s = NewTcpSocket(strAddress, nPort, &addr);
    if (s == kInvalidSocket) return kInvalidSocket;
    const int nOn = 1;
    if (setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &nOn, sizeof(nOn)) != 0 ||
        bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        listen(s, nBacklog) != 0) {
        Fail();
        close(s);
        return kInvalidSocket;
    }
    return s;
}

SocketHandle AcceptConnection(SocketHandle s) {
    int nAccepted;
    do {
        nAccepted = accept4(s, nullptr, nullptr, SOCK_CLOEXEC);
    } while (nAccepted < 0 && errno == EINTR);
    if (nAccepted < 0) Fail();
    return nAccepted < 0 ? kInvalidSocket : nAccepted;
}

uint16_t SocketLocalPort(SocketHandle s) {
    sockaddr_in addr{};
    socklen_t nLen = sizeof(addr);
    if (getsockname(s, reinterpret_cast<sockaddr*>(&addr), &nLen) != 0) {
        Fail();
        return 0;
    }
    return ntohs(addr.sin_port);
}

void ShutdownSocket(SocketHandle s) {
    if (s != kInvalidSocket) shutdown(s, SHUT_RDWR);
}

long SocketSendNow(SocketHandle s, const void* pData, size_t nLength) {
    const ssize_t n = send(s, pData, nLength, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
    Fail();
    return -1;
}

int WaitSocketPair(CSocketWait* pFirst, CSocketWait* pSecond, unsigned nTimeoutMs) {
    CSocketWait* waits[2] = {pFirst, pSecond};
    pollfd pfds[2];
    for (int i = 0; i < 2; ++i) {
        const unsigned nWant = waits[i]->nWant;
        pfds[i] = pollfd{Fd(waits[i]->s),
                         static_cast<short>(((nWant & kSocketReadable) ? POLLIN : 0) |
                                            ((nWant & kSocketWritable) ? POLLOUT : 0)),
                         0};
        waits[i]->nReady = 0;
    }
    const int n = poll(pfds, 2, static_cast<int>(nTimeoutMs));
    if (n < 0) {
        if (errno == EINTR) return 1;
        Fail();
        return -1;
    }
    for (int i = 0; i < 2; ++i) {
        const short nEvents = pfds[i].revents;
        if (nEvents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) waits[i]->nReady |= kSocketReadable;
        if (nEvents & POLLOUT) waits[i]->nReady |= kSocketWritable;
    }
    return n > 0 ? 1 : 0;
}

SocketHandle OpenBroadcastSocket(uint16_t nPort, int nBufferBytes) {
    const SocketHandle s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        Fail();
        return kInvalidSocket;
    }
    const int nOn = 1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(nPort);
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    // Buffer sizes are a wish; the system may grant less.
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, &nBufferBytes, sizeof(nBufferBytes));
    setsockopt(s, SOL_SOCKET, SO_SNDBUF, &nBufferBytes, sizeof(nBufferBytes));
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &nOn, sizeof(nOn));
    if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        setsockopt(s, SOL_SOCKET, SO_BROADCAST, &nOn, sizeof(nOn)) != 0) {
        Fail();
        close(s);
        return kInvalidSocket;
    }
    return s;
}

bool SendDatagram(SocketHandle s, const std::string& strAddress, uint16_t nPort,
                  const void* pData, size_t nLength) {
    sockaddr_in addr;
    if (!MakeAddress(strAddress, nPort, &addr)) return false;
    const ssize_t n =
        sendto(s, pData, nLength, 0, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    return n == static_cast<ssize_t>(nLength) || Fail();
}

long ReceiveDatagram(SocketHandle s, void* pBuffer, size_t nLength, std::string* pSender) {
    uint16_t nSenderPort = 0;
    return ReceiveDatagramFrom(s, pBuffer, nLength, pSender, &nSenderPort);
}

SocketHandle OpenQuerySocket() {
    const SocketHandle s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        Fail();
        return kInvalidSocket;
    }
    const int nOn = 1;
    if (!SetBlocking(s, false) ||
        setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &nOn, sizeof(nOn)) != 0) {
        Fail();
        close(s);
        return kInvalidSocket;
    }
    return s;
}

SocketHandle BindUdpSocket(const std::string& strAddress, uint16_t nPort) {
    sockaddr_in addr;
    if (!MakeAddress(strAddress, nPort, &addr)) {
        t_nLastError = EINVAL;
        return kInvalidSocket;
    }
    const SocketHandle s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s >= 0 && bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0) return s;
    Fail();
    if (s >= 0) close(s);
    return kInvalidSocket;
}

int WaitWritable(SocketHandle s, unsigned nTimeoutMs) {
    pollfd pfd{Fd(s), POLLOUT, 0};
    const int n = poll(&pfd, 1, static_cast<int>(nTimeoutMs));
    if (n < 0) Fail();
    return n < 0 ? -1 : (n > 0 ? 1 : 0);
}

long ReceiveDatagramFrom(SocketHandle s, void* pBuffer, size_t nLength, std::string* pSender,
                         uint16_t* pnSenderPort) {
    sockaddr_in from{};
    socklen_t nFromLen = sizeof(from);
    const ssize_t n =
        recvfrom(s, pBuffer, nLength, 0, reinterpret_cast<sockaddr*>(&from), &nFromLen);
    if (n < 0) {
        Fail();
        return -1;
    }
    *pSender = AddressText(from.sin_addr);
    *pnSenderPort = ntohs(from.sin_port);
    return static_cast<long>(n);
}

bool SetSocketAddressReuse(SocketHandle s, bool bOn) {
    const int nOn = bOn ? 1 : 0;
    return setsockopt(Fd(s), SOL_SOCKET, SO_REUSEADDR, &nOn, sizeof(nOn)) == 0 || Fail();
}

// A listening socket that is shut down here stops listening but stays bound.
void StopListening(SocketHandle s) {
    if (s != kInvalidSocket) shutdown(Fd(s), SHUT_RDWR);
}

bool ListenAgain(SocketHandle s, int nBacklog) {
    return listen(Fd(s), nBacklog) == 0 || Fail();
}

}  // namespace platform
