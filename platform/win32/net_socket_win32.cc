// IPv4 sockets over Winsock 2. Waits use select, which reports a failed non-blocking connect
// in its exception set (WSAPoll misses that on older systems). Sockets are made without handle
// inheritance, so a started program never holds one of ours open.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>

#include <algorithm>
#include <climits>
#include <mutex>
#include <set>

#include "platform/net_socket.h"
#include "platform/net_socket_local.h"
#include "platform/win32/winsock_init.h"

namespace platform {
namespace {

thread_local int t_nLastError = 0;

// How long an accept waits at a time before it looks whether the socket was shut down: a
// thread waiting in accept is not woken by a shutdown here, as it is on other systems.
constexpr unsigned kAcceptSliceMs = 50;

// Listening sockets that were shut down, so that accepts on them give up.
std::mutex g_shutMutex;
std::set<SocketHandle> g_shutSockets;

SOCKET Sock(SocketHandle s) {
    return static_cast<SOCKET>(s);
}

SocketHandle Handle(SOCKET s) {
    return s == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(s);
}

bool Fail() {
    t_nLastError = WSAGetLastError();
    return false;
}

int Clamp(size_t nLength) {
    return static_cast<int>(std::min<size_t>(nLength, INT_MAX));
}

// A new socket that no started program inherits; kInvalidSocket (last error set) on failure.
SocketHandle NewSocket(int nType, int nProtocol) {
    EnsureWinsock();
    const SOCKET s = WSASocketW(AF_INET, nType, nProtocol, nullptr, 0,
                                WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) Fail();
    return Handle(s);
}

// Closes a socket whose setup failed, keeping the error of the failed step.
SocketHandle CloseFailed(SocketHandle s) {
    Fail();
    closesocket(Sock(s));
    return kInvalidSocket;
}

bool SetBlocking(SocketHandle s, bool bBlocking) {
    u_long nNonBlocking = bBlocking ? 0 : 1;
    return ioctlsocket(Sock(s), FIONBIO, &nNonBlocking) == 0 || Fail();
}

bool SetIntOption(SocketHandle s, int nOption, int nValue = 1) {
    return setsockopt(Sock(s), SOL_SOCKET, nOption, reinterpret_cast<const char*>(&nValue),
                      sizeof(nValue)) == 0;
}

timeval ToTimeval(unsigned nMs) {
    return timeval{static_cast<long>(nMs / 1000), static_cast<long>(nMs % 1000) * 1000};
}

// select over up to two sockets; sets hold the sockets that want them. Returns what select
// does. With no socket in any set it just waits the time out, as a poll of nothing would.
int Select(fd_set* pRead, fd_set* pWrite, fd_set* pExcept, unsigned nTimeoutMs) {
    if (pRead->fd_count + pWrite->fd_count + pExcept->fd_count == 0) {
        Sleep(nTimeoutMs);
        return 0;
    }
    timeval timeout = ToTimeval(nTimeoutMs);
    const int n = select(0, pRead, pWrite, pExcept, &timeout);
    if (n == SOCKET_ERROR) Fail();
    return n == SOCKET_ERROR ? -1 : n;
}

// Waits for one socket to become readable (bWrite false) or writable: 1, 0 time-out, -1 error.
int WaitOne(SocketHandle s, bool bWrite, unsigned nTimeoutMs) {
    fd_set ready, none1, none2;
    FD_ZERO(&ready);
    FD_ZERO(&none1);
    FD_ZERO(&none2);
    FD_SET(Sock(s), &ready);
    const int n = bWrite ? Select(&none1, &ready, &none2, nTimeoutMs)
                         : Select(&ready, &none1, &none2, nTimeoutMs);
    return n < 0 ? -1 : (n > 0 ? 1 : 0);
}

// Waits for a non-blocking connect: true when it completed without a pending error.
bool WaitConnected(SocketHandle s, unsigned nTimeoutMs) {
    fd_set writable, failed, none;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_ZERO(&none);
    FD_SET(Sock(s), &writable);
    FD_SET(Sock(s), &failed);
    const int n = Select(&none, &writable, &failed, nTimeoutMs);
    if (n == 0) t_nLastError = WSAETIMEDOUT;
    if (n <= 0) return false;
    int nError = 0;
    int nLen = sizeof(nError);
    if (getsockopt(Sock(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&nError), &nLen) != 0)
        return Fail();
    t_nLastError = nError;
    return nError == 0 && FD_ISSET(Sock(s), &writable);
}

bool WasShutDown(SocketHandle s) {
    std::lock_guard<std::mutex> lock(g_shutMutex);
    return g_shutSockets.count(s) != 0;
}

// A TCP socket and the IPv4 address to use it with; kInvalidSocket (last error set) when the
// address is no dotted IPv4 address or no socket can be made.
SocketHandle NewTcpSocket(const std::string& strAddress, uint16_t nPort, sockaddr_in* pAddr) {
    if (!MakeAddress(strAddress, nPort, pAddr)) {
        t_nLastError = WSAEINVAL;
        return kInvalidSocket;
    }
    return NewSocket(SOCK_STREAM, IPPROTO_TCP);
}

}  // namespace

SocketHandle ConnectTcp(const std::string& strAddress, uint16_t nPort, unsigned nTimeoutMs) {
    sockaddr_in addr;
    const SocketHandle s = NewTcpSocket(strAddress, nPort, &addr);
    if (s == kInvalidSocket) return kInvalidSocket;
    bool bConnected = SetBlocking(s, false);
    if (bConnected &&
        connect(Sock(s), reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == SOCKET_ERROR) {
        bConnected = WSAGetLastError() == WSAEWOULDBLOCK ? WaitConnected(s, nTimeoutMs) : Fail();
    }
    if (bConnected && SetBlocking(s, true)) return s;
    closesocket(Sock(s));
    return kInvalidSocket;
}

bool SetSocketTimeouts(SocketHandle s, unsigned nReceiveMs, unsigned nSendMs) {
    const DWORD nReceive = nReceiveMs;
    const DWORD nSend = nSendMs;
    return (setsockopt(Sock(s), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&nReceive),
                       sizeof(nReceive)) == 0 &&
            setsockopt(Sock(s), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&nSend),
                       sizeof(nSend)) == 0) ||
           Fail();
}

long SocketSend(SocketHandle s, const void* pData, size_t nLength) {
    const int n = send(Sock(s), static_cast<const char*>(pData), Clamp(nLength), 0);
    if (n == SOCKET_ERROR) Fail();
    return n == SOCKET_ERROR ? -1 : n;
}

bool SocketSendAll(SocketHandle s, const void* pData, size_t nLength) {
    const char* p = static_cast<const char*>(pData);
    while (nLength > 0) {
        const long n = SocketSend(s, p, nLength);
        if (n <= 0) return false;
        p += n;
        nLength -= static_cast<size_t>(n);
    }
    return true;
}

long SocketReceive(SocketHandle s, void* pBuffer, size_t nLength) {
    const int n = recv(Sock(s), static_cast<char*>(pBuffer), Clamp(nLength), 0);
    if (n == SOCKET_ERROR) Fail();
    return n == SOCKET_ERROR ? -1 : n;
}

int WaitReadable(SocketHandle s, unsigned nTimeoutMs) {
    return WaitOne(s, false, nTimeoutMs);
}

void CloseSocket(SocketHandle s) {
    if (s == kInvalidSocket) return;
    {
        std::lock_guard<std::mutex> lock(g_shutMutex);
        g_shutSockets.erase(s);
    }
    closesocket(Sock(s));
}

int LastSocketError() { return t_nLastError; }

SocketHandle ListenTcp(const std::string& strAddress, uint16_t nPort, int nBacklog) {
    sockaddr_in addr;
    const SocketHandle s = NewTcpSocket(strAddress, nPort, &addr);
    if (s == kInvalidSocket) return kInvalidSocket;
    if (!SetIntOption(s, SO_REUSEADDR) ||
        bind(Sock(s), reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        listen(Sock(s), nBacklog) != 0) {
        return CloseFailed(s);
    }
    return s;
}

SocketHandle AcceptConnection(SocketHandle s) {
    int nWait = 0;
    while (nWait == 0) {
        if (WasShutDown(s)) {
            t_nLastError = WSAESHUTDOWN;
            return kInvalidSocket;
        }
        nWait = WaitOne(s, false, kAcceptSliceMs);
    }
    const SOCKET accepted = nWait > 0 ? accept(Sock(s), nullptr, nullptr) : INVALID_SOCKET;
    if (accepted == INVALID_SOCKET) {
        Fail();
        return kInvalidSocket;
    }
    SetHandleInformation(reinterpret_cast<HANDLE>(accepted), HANDLE_FLAG_INHERIT, 0);
    return Handle(accepted);
}

uint16_t SocketLocalPort(SocketHandle s) {
    sockaddr_in addr{};
    int nLen = sizeof(addr);
    if (getsockname(Sock(s), reinterpret_cast<sockaddr*>(&addr), &nLen) != 0) {
        Fail();
        return 0;
    }
    return ntohs(addr.sin_port);
}

void ShutdownSocket(SocketHandle s) {
    if (s == kInvalidSocket) return;
    {
        std::lock_guard<std::mutex> lock(g_shutMutex);
        g_shutSockets.insert(s);
    }
    shutdown(Sock(s), SD_BOTH);
}

long SocketSendNow(SocketHandle s, const void* pData, size_t nLength) {
    if (!SetBlocking(s, false)) return -1;
    const int n = send(Sock(s), static_cast<const char*>(pData), Clamp(nLength), 0);
    const int nError = WSAGetLastError();
    SetBlocking(s, true);
    if (n != SOCKET_ERROR) return n;
    if (nError == WSAEWOULDBLOCK) return 0;
    t_nLastError = nError;
    return -1;
}

int WaitSocketPair(CSocketWait* pFirst, CSocketWait* pSecond, unsigned nTimeoutMs) {
    CSocketWait* waits[2] = {pFirst, pSecond};
    fd_set readable, writable, none;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&none);
    for (CSocketWait* pWait : waits) {
        pWait->nReady = 0;
        if (pWait->nWant & kSocketReadable) FD_SET(Sock(pWait->s), &readable);
        if (pWait->nWant & kSocketWritable) FD_SET(Sock(pWait->s), &writable);
    }
    const int n = Select(&readable, &writable, &none, nTimeoutMs);
    if (n < 0) return -1;
    for (CSocketWait* pWait : waits) {
        if (FD_ISSET(Sock(pWait->s), &readable)) pWait->nReady |= kSocketReadable;
        if (FD_ISSET(Sock(pWait->s), &writable)) pWait->nReady |= kSocketWritable;
    }
    return n > 0 ? 1 : 0;
}

SocketHandle OpenBroadcastSocket(uint16_t nPort, int nBufferBytes) {
    const SocketHandle s = NewSocket(SOCK_DGRAM, IPPROTO_UDP);
    if (s == kInvalidSocket) return kInvalidSocket;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(nPort);
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    // Buffer sizes are a wish; the system may grant less.
    SetIntOption(s, SO_RCVBUF, nBufferBytes);
    SetIntOption(s, SO_SNDBUF, nBufferBytes);
    SetIntOption(s, SO_REUSEADDR);
    if (bind(Sock(s), reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        !SetIntOption(s, SO_BROADCAST)) {
        return CloseFailed(s);
    }
    return s;
}

bool SendDatagram(SocketHandle s, const std::string& strAddress, uint16_t nPort,
                  const void* pData, size_t nLength) {
    sockaddr_in addr;
    if (!MakeAddress(strAddress, nPort, &addr)) return false;
    const int n = sendto(Sock(s), static_cast<const char*>(pData), Clamp(nLength), 0,
                         reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    return (n != SOCKET_ERROR && static_cast<size_t>(n) == nLength) || Fail();
}

long ReceiveDatagram(SocketHandle s, void* pBuffer, size_t nLength, std::string* pSender) {
    uint16_t nSenderPort = 0;
    return ReceiveDatagramFrom(s, pBuffer, nLength, pSender, &nSenderPort);
}

SocketHandle OpenQuerySocket() {
    const SocketHandle s = NewSocket(SOCK_DGRAM, IPPROTO_UDP);
    if (s == kInvalidSocket) return kInvalidSocket;
    if (!SetBlocking(s, false) || !SetIntOption(s, SO_REUSEADDR)) return CloseFailed(s);
    return s;
}

SocketHandle BindUdpSocket(const std::string& strAddress, uint16_t nPort) {
    sockaddr_in addr;
    if (!MakeAddress(strAddress, nPort, &addr)) {
        t_nLastError = WSAEINVAL;
        return kInvalidSocket;
    }
    const SocketHandle s = NewSocket(SOCK_DGRAM, IPPROTO_UDP);
    if (s == kInvalidSocket) return kInvalidSocket;
    if (bind(Sock(s), reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) return CloseFailed(s);
    return s;
}

int WaitWritable(SocketHandle s, unsigned nTimeoutMs) {
    return WaitOne(s, true, nTimeoutMs);
}

long ReceiveDatagramFrom(SocketHandle s, void* pBuffer, size_t nLength, std::string* pSender,
                         uint16_t* pnSenderPort) {
    sockaddr_in from{};
    int nFromLen = sizeof(from);
    const int n = recvfrom(Sock(s), static_cast<char*>(pBuffer), Clamp(nLength), 0,
                           reinterpret_cast<sockaddr*>(&from), &nFromLen);
    if (n == SOCKET_ERROR) {
        Fail();
        return -1;
    }
    *pSender = AddressText(from.sin_addr);
    *pnSenderPort = ntohs(from.sin_port);
    return n;
}

std::vector<std::string> SystemIpv4Addresses() {
    const ULONG nFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    std::vector<std::string> list;
    std::vector<unsigned char> buffer(16384);
    ULONG nSize = static_cast<ULONG>(buffer.size());
    ULONG nResult;
    while ((nResult = GetAdaptersAddresses(
                AF_INET, nFlags, nullptr,
                reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &nSize)) ==
           ERROR_BUFFER_OVERFLOW) {
        buffer.resize(nSize);
    }
    if (nResult != NO_ERROR) return list;
    for (auto* pAdapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
         pAdapter != nullptr; pAdapter = pAdapter->Next) {
        if (pAdapter->OperStatus != IfOperStatusUp) continue;
        for (auto* p = pAdapter->FirstUnicastAddress; p != nullptr; p = p->Next) {
            const sockaddr* pAddr = p->Address.lpSockaddr;
            if (pAddr == nullptr || pAddr->sa_family != AF_INET) continue;
            const in_addr addr = reinterpret_cast<const sockaddr_in*>(pAddr)->sin_addr;
            // The adapters' addresses, as a lookup of the host name gives them: no loopback.
            if ((ntohl(addr.s_addr) >> 24) == 127) continue;
            list.push_back(AddressText(addr));
        }
    }
    return list;
}

bool SetSocketAddressReuse(SocketHandle s, bool bOn) {
    return SetIntOption(s, SO_REUSEADDR, bOn ? 1 : 0) || Fail();
}

// Winsock has no way to stop a socket listening while it stays bound (a shutdown of a listening
// socket fails), so it goes on listening.
void StopListening(SocketHandle) {}

// Listening again on a socket that listens already is allowed and changes nothing.
bool ListenAgain(SocketHandle s, int nBacklog) {
    return listen(Sock(s), nBacklog) == 0 || Fail();
}

}  // namespace platform
