// The pass-through relay: listens on 127.0.0.1 for the tunnel service's connection of the
// virtual port, connects each local client onward to the remote server (telling it the
// subdomain first when there is one) and pumps bytes both ways until either side ends. One
// pair at a time: further local clients wait in the listen queue.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>

#include "platform/net_socket.h"

struct CRelayParams {
    int nListenPort = 0;
    int nRemotePort = 0;
    std::string strRemoteHost;  // at most kRelayTextLimit characters
    std::string strSubdomain;   // at most kRelayTextLimit characters; empty: no handshake
};

inline constexpr size_t kRelayTextLimit = 255;
inline constexpr size_t kRelayBufferSize = 20480;
inline constexpr size_t kHandshakeReplyLimit = 1024;

// {"Subdomain":"<subdomain>"}, sent without a terminator.
std::string SubdomainRequest(const std::string& strSubdomain);
// True when the reply holds "State":"200" anywhere.
bool IsSubdomainAccepted(const char* pReply, size_t nLength);

class CRelay {
public:
    CRelay() = default;
    CRelay(const CRelay&) = delete;
    CRelay& operator=(const CRelay&) = delete;
    ~CRelay() { Stop(); }

    // Stops a relay that runs, listens on 127.0.0.1 at the listen port (address reuse, backlog
    // 5) and starts the relay thread with a copy of the parameters. False when a port lies
    // outside 1..65535 or the socket or the thread cannot be made.
    bool Start(const CRelayParams& params);
    // Shuts the listener down (a relay thread waiting for a client ends without contacting the
    // remote server), ends the active pair, and returns once no pair is active any more.
    void Stop();
    int ActivePairs() const { return m_nPairs.load(); }

private:
    void RelayLoop();
    // Accepts one local client and, when the remote side and the handshake succeed, starts its
    // pump. False when the relay thread is to end.
    bool ServeNextClient();
    platform::SocketHandle ConnectRemote(const std::string& strAddress);
    bool ShakeHands(platform::SocketHandle remote);
    void StartPump();
    void Pump(platform::SocketHandle local, platform::SocketHandle remote);
    // Holds the socket as the pair's local or remote end; false (and the socket closed) once
    // the relay is stopping.
    bool Keep(platform::SocketHandle* pSlot, platform::SocketHandle s);
    void ClosePair();
    bool Stopping();
    // Up to 1000 ms; a stop or the end of a pair cuts it short.
    void Pause();

    CRelayParams m_params;
    platform::SocketHandle m_listen = platform::kInvalidSocket;
    std::thread m_relayThread;
    std::thread m_pumpThread;
    std::atomic<int> m_nPairs{0};

    std::mutex m_mutex;  // guards the pair's sockets and the flags below
    std::condition_variable m_wake;
    platform::SocketHandle m_local = platform::kInvalidSocket;
    platform::SocketHandle m_remote = platform::kInvalidSocket;
    bool m_bStopping = false;
    bool m_bPairEnded = false;
};

// The relay the pass-through commands drive.
CRelay& PassThroughRelay();
