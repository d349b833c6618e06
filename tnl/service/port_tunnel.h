// One connection carried: its virtual port (a pseudo-terminal linked in the ports folder) and its
// network side (a TCP client, a TCP server or UDP datagrams), driven by the service's poll loop.
// Bytes from the port go to the network; bytes from the network go to the port while some program
// has it open and are dropped while nobody does. Bytes from the port are only taken when the
// network side can take them, so a program writing to a port without a peer is held up as by a
// serial line's flow control instead of losing data.
#pragma once

#include <netinet/in.h>
#include <poll.h>

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "tnl/service/connection_config.h"
#include "tnl/service/port_links.h"
#include "tnl/service/pty_port.h"

namespace tnl_service {

// One peer as the status reports it.
struct CRemoteStatus {
    std::string strHost;
    uint16_t nPort = 0;
    bool bUp = false;
    uint64_t nSent = 0;
    uint64_t nRecv = 0;
    std::string strSince;  // local time the link came up, empty while down
};

class CPortTunnel {
  public:
    explicit CPortTunnel(CPortLinks& links);
    CPortTunnel(const CPortTunnel&) = delete;
    CPortTunnel& operator=(const CPortTunnel&) = delete;
    ~CPortTunnel();

    // Starts carrying the connection, or carries on with a changed one: the port stays when its
    // link name does (a program that has it open keeps it), the network side starts over.
    void Apply(const CConnectionConfig& config, uint64_t nNowMs);

    // The descriptors to wait on and what for.
    void AddPollFds(std::vector<pollfd>* fds) const;
    // One descriptor of ours is ready.
    void OnReady(const pollfd& ready, uint64_t nNowMs);
    // After every round: closes what was dropped, starts reconnections that are due, drops idle
    // links.
    void Tick(uint64_t nNowMs);
    // The next time Tick has something to do; UINT64_MAX for never.
    uint64_t NextDeadline() const;

    // The <status> element of the connection's GETSTAT and GETLIST replies.
    std::string StatusXml() const;

  private:
    struct CPeer {
        int nFd = -1;
        bool bConnecting = false;
        bool bDropped = false;  // closed at the next Tick
        std::string strOut;     // bytes from the port not yet sent
        uint64_t nLastTrafficMs = 0;
        CRemoteStatus remote;  // the accepted client (SERVER); the host entry in m_remotes else
    };

    void OpenPort(const std::string& linkName);
    void ClosePort();
    void StartNetwork(uint64_t nNowMs);
    void StopNetwork();
    // Connects, listens or opens the datagram socket, as the type says.
    void OpenNetwork(uint64_t nNowMs);
    void ConnectNext(uint64_t nNowMs);
    void Listen(uint64_t nNowMs);
    void OpenUdp(uint64_t nNowMs);
    void ScheduleRetry(uint64_t nNowMs);

    void OnPortReady(short nEvents, uint64_t nNowMs);
    void OnPeerReady(CPeer& peer, short nEvents, uint64_t nNowMs);
    void OnConnectDone(CPeer& peer, uint64_t nNowMs);
    void Accept(uint64_t nNowMs);
    void ReceiveDatagram();
    void ToNetwork(const char* pData, size_t nSize, uint64_t nNowMs);
    void FromNetwork(CRemoteStatus& remote, const char* pData, size_t nSize);
    void Flush(CPeer& peer, uint64_t nNowMs);
    void FlushToPort();
    void ReapDropped(uint64_t nNowMs);

    CRemoteStatus& RemoteOf(CPeer& peer);
    bool CarriesPort() const { return m_port.MasterFd() >= 0; }
    bool WantsPortBytes() const;
    bool TakesNetworkBytes() const;
    size_t LivePeers() const;

    CPortLinks& m_links;
    CConnectionConfig m_config;
    bool m_bApplied = false;
    CPtyPort m_port;
    std::string m_strLink;    // the link made for the port, empty when none
    std::string m_strToPort;  // bytes from the network not yet written to the port

    std::list<CPeer> m_peers;              // TCP links: the client's one, or the server's clients
    std::vector<CRemoteStatus> m_remotes;  // CLIENT and UDP: one per host entry
    std::vector<sockaddr_in> m_targets;    // UDP: the host entries' addresses (port 0: none)
    size_t m_nHost = 0;                    // CLIENT: the host entry tried or connected
    int m_nListen = -1;                    // SERVER
    int m_nUdp = -1;                       // UDP
    uint64_t m_nRetryAtMs = 0;             // when to connect, listen or bind again; 0: not
    uint64_t m_nSent = 0;                  // bytes to the network
    uint64_t m_nRecv = 0;                  // bytes from the network
};

}  // namespace tnl_service
