#include "tunnel/relay.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>

#include "platform/host_lookup.h"
#include "platform/thread_util.h"

using platform::CSocketWait;
using platform::kInvalidSocket;
using platform::SocketHandle;

namespace {

constexpr const char* kRelayAddress = "127.0.0.1";
constexpr int kListenBacklog = 5;
constexpr const char* kAcceptedState = "\"State\":\"200\"";
constexpr unsigned kRemoteConnectTimeoutMs = 10000;
// A remote server that neither answers nor closes within this time refuses the handshake.
constexpr unsigned kHandshakeTimeoutMs = 10000;
constexpr unsigned kIdleLimitMs = 300 * 1000;
constexpr unsigned kPumpPauseMs = 5;
constexpr unsigned kStopStepMs = 100;
constexpr auto kRelayPause = std::chrono::milliseconds(1000);

bool IsPortNumber(int nPort) { return nPort >= 1 && nPort <= 65535; }

// One direction of a pair: bytes received from one side and not yet sent to the other.
struct CPumpBuffer {
    char data[kRelayBufferSize];
    size_t nFill = 0;

    bool IsFull() const { return nFill == sizeof(data); }
};

// Readable while there is room for what the socket sends, writable while bytes wait for it.
unsigned Interest(const CPumpBuffer& fromSocket, const CPumpBuffer& toSocket) {
    return (fromSocket.IsFull() ? 0 : platform::kSocketReadable) |
           (toSocket.nFill > 0 ? platform::kSocketWritable : 0);
}

// Sends what the socket takes now and moves the rest to the buffer's start. False on an error.
bool Flush(SocketHandle s, CPumpBuffer* pBuffer) {
    size_t nSent = 0;
    long n = 1;
    while (nSent < pBuffer->nFill && n > 0) {
        n = platform::SocketSendNow(s, pBuffer->data + nSent, pBuffer->nFill - nSent);
        if (n < 0) return false;
        nSent += static_cast<size_t>(n);
    }
    std::memmove(pBuffer->data, pBuffer->data + nSent, pBuffer->nFill - nSent);
    pBuffer->nFill -= nSent;
    return true;
}

// Takes what the source has into the buffer, then passes on what the target takes. False when
// the source closed or either side failed.
bool Move(const CSocketWait& from, const CSocketWait& to, CPumpBuffer* pBuffer) {
    if ((from.nReady & platform::kSocketReadable) && !pBuffer->IsFull()) {
        const long n = platform::SocketReceive(from.s, pBuffer->data + pBuffer->nFill,
                                               sizeof(pBuffer->data) - pBuffer->nFill);
        if (n <= 0) return false;
        pBuffer->nFill += static_cast<size_t>(n);
    }
    return Flush(to.s, pBuffer);
}

}  // namespace

std::string SubdomainRequest(const std::string& strSubdomain) {
    return "{\"Subdomain\":\"" + strSubdomain + "\"}";
}

bool IsSubdomainAccepted(const char* pReply, size_t nLength) {
    return std::string(pReply, nLength).find(kAcceptedState) != std::string::npos;
}

bool CRelay::Start(const CRelayParams& params) {
    Stop();
    if (!IsPortNumber(params.nListenPort) || !IsPortNumber(params.nRemotePort)) return false;
    const SocketHandle listen = platform::ListenTcp(
        kRelayAddress, static_cast<uint16_t>(params.nListenPort), kListenBacklog);
    if (listen == kInvalidSocket) return false;
    m_params = params;
    m_listen = listen;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopping = false;
        m_bPairEnded = false;
    }
    try {
        m_relayThread = std::thread(&CRelay::RelayLoop, this);
    } catch (const std::system_error&) {
        platform::CloseSocket(m_listen);
        m_listen = kInvalidSocket;
        return false;
    }
    return true;
}

void CRelay::Stop() {
    if (m_listen == kInvalidSocket) return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopping = true;
        // Wakes the relay thread in accept, a handshake in progress and the pump.
        platform::ShutdownSocket(m_listen);
        platform::ShutdownSocket(m_local);
        platform::ShutdownSocket(m_remote);
    }
    m_wake.notify_all();
    if (m_relayThread.joinable()) m_relayThread.join();
    while (m_nPairs.load() != 0) platform::SleepMs(kStopStepMs);
    if (m_pumpThread.joinable()) m_pumpThread.join();
    platform::CloseSocket(m_listen);
    m_listen = kInvalidSocket;
}

void CRelay::RelayLoop() {
    while (!Stopping()) {
        if (m_nPairs.load() == 0 && !ServeNextClient()) return;
        Pause();
    }
}

bool CRelay::ServeNextClient() {
    const SocketHandle local = platform::AcceptConnection(m_listen);
    if (local == kInvalidSocket) return !Stopping();
    if (!Keep(&m_local, local)) return false;
    std::string strAddress;
    if (!platform::ResolveHostIpv4(m_params.strRemoteHost, &strAddress)) {
        // Without an address there is nothing to relay to: the relay thread ends here.
        std::printf("[-] Gethostbyname(%s) error:%s\n", m_params.strRemoteHost.c_str(),
                    "host not found");
        std::fflush(stdout);
        ClosePair();
        return false;
    }
    const SocketHandle remote = ConnectRemote(strAddress);
    if (remote == kInvalidSocket || !Keep(&m_remote, remote)) {
        ClosePair();
        return !Stopping();
    }
    if (!m_params.strSubdomain.empty() && !ShakeHands(remote)) {
        // No pair: both ends go, and the next client is taken.
        ClosePair();
        return true;
    }
    StartPump();
    return true;
}

// The remote server's socket; when it cannot be reached the local client is told so.
SocketHandle CRelay::ConnectRemote(const std::string& strAddress) {
    const SocketHandle remote = platform::ConnectTcp(
        strAddress, static_cast<uint16_t>(m_params.nRemotePort), kRemoteConnectTimeoutMs);
    if (remote != kInvalidSocket) return remote;
    char szError[kRelayTextLimit + 64];
    std::snprintf(szError, sizeof(szError), "[SERVER]connection to %s:%d error\r\n",
                  m_params.strRemoteHost.c_str(), m_params.nRemotePort);
    std::lock_guard<std::mutex> lock(m_mutex);
    platform::SocketSend(m_local, szError, std::strlen(szError));
    return kInvalidSocket;
}

bool CRelay::ShakeHands(SocketHandle remote) {
    const std::string strRequest = SubdomainRequest(m_params.strSubdomain);
    char reply[kHandshakeReplyLimit];
    if (!platform::SetSocketTimeouts(remote, kHandshakeTimeoutMs, kHandshakeTimeoutMs) ||
        !platform::SocketSendAll(remote, strRequest.data(), strRequest.size())) {
        return false;
    }
    const long n = platform::SocketReceive(remote, reply, sizeof(reply));
    return n > 0 && IsSubdomainAccepted(reply, static_cast<size_t>(n)) &&
           platform::SetSocketTimeouts(remote, 0, 0);
}

void CRelay::StartPump() {
    SocketHandle local, remote;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        local = m_local;
        remote = m_remote;
    }
    m_nPairs.fetch_add(1);
    // The previous pair's thread has lowered the count already; it is at its end.
    if (m_pumpThread.joinable()) m_pumpThread.join();
    try {
        m_pumpThread = std::thread(&CRelay::Pump, this, local, remote);
    } catch (const std::system_error&) {
        ClosePair();
        m_nPairs.fetch_sub(1);
    }
}

void CRelay::Pump(SocketHandle local, SocketHandle remote) {
    auto pToRemote = std::make_unique<CPumpBuffer>();
    auto pToLocal = std::make_unique<CPumpBuffer>();
    for (;;) {
        CSocketWait localWait{local, Interest(*pToRemote, *pToLocal)};
        CSocketWait remoteWait{remote, Interest(*pToLocal, *pToRemote)};
        // An error or no traffic either way for the idle limit ends the pair.
        if (platform::WaitSocketPair(&localWait, &remoteWait, kIdleLimitMs) <= 0) break;
        if (!Move(localWait, remoteWait, pToRemote.get()) ||
            !Move(remoteWait, localWait, pToLocal.get())) {
            break;
        }
        platform::SleepMs(kPumpPauseMs);
    }
    ClosePair();
    m_nPairs.fetch_sub(1);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bPairEnded = true;
    }
    m_wake.notify_all();
}

bool CRelay::Keep(SocketHandle* pSlot, SocketHandle s) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bStopping) {
        platform::CloseSocket(s);
        return false;
    }
    *pSlot = s;
    return true;
}

void CRelay::ClosePair() {
    std::lock_guard<std::mutex> lock(m_mutex);
    platform::CloseSocket(m_local);
    platform::CloseSocket(m_remote);
    m_local = kInvalidSocket;
    m_remote = kInvalidSocket;
}

bool CRelay::Stopping() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bStopping;
}

void CRelay::Pause() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait_for(lock, kRelayPause, [this] { return m_bStopping || m_bPairEnded; });
    m_bPairEnded = false;
}

CRelay& PassThroughRelay() {
    static CRelay relay;
    return relay;
}
