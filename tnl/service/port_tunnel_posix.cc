#include <arpa/inet.h>
#include <errno.h>
#include <netinet/tcp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <pugixml.hpp>
#include <sstream>

#include "platform/host_lookup.h"
#include "tnl/service/port_tunnel.h"

namespace tnl_service {

namespace {

constexpr size_t kChunk = 4096;
constexpr size_t kMaxPending = 64 * 1024;  // per direction, before reading stops
constexpr int kShortestRetryMs = 10;
constexpr int kListenBacklog = 8;
constexpr const char* kBindVariable = "TNL_SERVER_BIND";
constexpr const char* kDefaultBind = "127.0.0.1";

bool IsTransient() {
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

// The address servers and UDP receivers bind: $TNL_SERVER_BIND, else loopback only.
in_addr BindAddress() {
    in_addr address;
    const char* szBind = getenv(kBindVariable);
    if (szBind == nullptr || inet_pton(AF_INET, szBind, &address) != 1) {
        inet_pton(AF_INET, kDefaultBind, &address);
    }
    return address;
}

bool Resolve(const std::string& host, uint16_t nPort, sockaddr_in* address) {
    std::string strAddress;
    *address = {};
    address->sin_family = AF_INET;
    address->sin_port = htons(nPort);
    return nPort != 0 && platform::ResolveHostIpv4(host, &strAddress) &&
           inet_pton(AF_INET, strAddress.c_str(), &address->sin_addr) == 1;
}

std::string LocalTimeNow() {
    time_t nNow = time(nullptr);
    tm local;
    char szText[32] = {};
    localtime_r(&nNow, &local);
    strftime(szText, sizeof(szText), "%Y-%m-%d %H:%M:%S", &local);
    return szText;
}

void MarkUp(CRemoteStatus& remote, bool bUp) {
    remote.bUp = bUp;
    remote.strSince = bUp ? LocalTimeNow() : std::string();
}

int SetOption(int nFd, int nLevel, int nName, int nValue) {
    return setsockopt(nFd, nLevel, nName, &nValue, sizeof(nValue));
}

// Nagle and keep-alive as the connection asks; keep-alive times are whole seconds here.
void ConfigureTcp(int nFd, const CConnectionConfig& config) {
    if (config.bNoDelay) SetOption(nFd, IPPROTO_TCP, TCP_NODELAY, 1);
    if (!config.bKeepAlive) return;
    SetOption(nFd, SOL_SOCKET, SO_KEEPALIVE, 1);
    SetOption(nFd, IPPROTO_TCP, TCP_KEEPIDLE, std::max(1, config.nKeepAliveMs / 1000));
    SetOption(nFd, IPPROTO_TCP, TCP_KEEPINTVL, std::max(1, config.nKeepAliveReplyMs / 1000));
}

int OpenBound(int nType, uint16_t nPort) {
    int nFd = socket(AF_INET, nType | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (nFd < 0) return -1;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(nPort);
    address.sin_addr = BindAddress();
    SetOption(nFd, SOL_SOCKET, SO_REUSEADDR, 1);
    if (bind(nFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        close(nFd);
        return -1;
    }
    return nFd;
}

void CloseFd(int* pFd) {
    if (*pFd >= 0) close(*pFd);
    *pFd = -1;
}

void AddFd(std::vector<pollfd>* fds, int nFd, short nEvents) {
    fds->push_back({nFd, nEvents, 0});
}

}  // namespace

CPortTunnel::CPortTunnel(CPortLinks& links) : m_links(links) {}

CPortTunnel::~CPortTunnel() {
    StopNetwork();
    ClosePort();
}

void CPortTunnel::Apply(const CConnectionConfig& config, uint64_t nNowMs) {
    StopNetwork();
    if (!m_bApplied || config.strLinkName != m_config.strLinkName || !CarriesPort()) {
        ClosePort();
        OpenPort(config.strLinkName);
    }
    m_config = config;
    m_bApplied = true;
    if (CarriesPort()) StartNetwork(nNowMs);
}

void CPortTunnel::OpenPort(const std::string& linkName) {
    if (linkName.empty()) return;
    if (!m_port.Open()) {
        fprintf(stderr, "tnl_service: no pseudo-terminal for %s\n", linkName.c_str());
    } else if (!m_links.Link(linkName, m_port.SlavePath())) {
        fprintf(stderr, "tnl_service: cannot link %s, the name is taken\n", linkName.c_str());
        m_port.Close();
    } else {
        m_strLink = linkName;
    }
}

void CPortTunnel::ClosePort() {
    if (!m_strLink.empty()) m_links.Unlink(m_strLink);
    m_strLink.clear();
    m_port.Close();
    m_strToPort.clear();
}

void CPortTunnel::StartNetwork(uint64_t nNowMs) {
    m_remotes.clear();
    for (const CHostEntry& host : m_config.hosts) {
        CRemoteStatus& remote = m_remotes.emplace_back();
        remote.strHost = host.strHost;
        remote.nPort = host.nPort;
    }
    m_nHost = 0;
    OpenNetwork(nNowMs);
}

void CPortTunnel::OpenNetwork(uint64_t nNowMs) {
    if (m_config.eType == ETunnelType::kClient) ConnectNext(nNowMs);
    if (m_config.eType == ETunnelType::kServer) Listen(nNowMs);
    if (m_config.eType == ETunnelType::kUdp) OpenUdp(nNowMs);
}

void CPortTunnel::StopNetwork() {
    for (CPeer& peer : m_peers) close(peer.nFd);
    m_peers.clear();
    m_remotes.clear();
    m_targets.clear();
    CloseFd(&m_nListen);
    CloseFd(&m_nUdp);
    m_nRetryAtMs = 0;
}

void CPortTunnel::ScheduleRetry(uint64_t nNowMs) {
    m_nHost = 0;
    m_nRetryAtMs =
        m_config.bReconnect
            ? nNowMs + static_cast<uint64_t>(std::max(kShortestRetryMs, m_config.nReconnectMs))
            : 0;
}

// Starts a connection to the next host entry that resolves and accepts a connect; when none is
// left, waits for the next round.
void CPortTunnel::ConnectNext(uint64_t nNowMs) {
    for (; m_nHost < m_remotes.size(); ++m_nHost) {
        sockaddr_in address;
        if (!Resolve(m_remotes[m_nHost].strHost, m_remotes[m_nHost].nPort, &address)) continue;
        int nFd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (nFd < 0) break;
        ConfigureTcp(nFd, m_config);
        if (connect(nFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 ||
            errno == EINPROGRESS) {
            CPeer& peer = m_peers.emplace_back();
            peer.nFd = nFd;
            peer.bConnecting = true;
            return;
        }
        close(nFd);
    }
    ScheduleRetry(nNowMs);
}

void CPortTunnel::Listen(uint64_t nNowMs) {
    m_nListen = m_config.nIncomePort != 0 ? OpenBound(SOCK_STREAM, m_config.nIncomePort) : -1;
    if (m_nListen >= 0 && listen(m_nListen, kListenBacklog) == 0) return;
    CloseFd(&m_nListen);
    if (m_config.nIncomePort != 0) ScheduleRetry(nNowMs);
}

void CPortTunnel::OpenUdp(uint64_t nNowMs) {
    m_nUdp = m_config.nIncomePort != 0
                 ? OpenBound(SOCK_DGRAM, m_config.nIncomePort)
                 : socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_nUdp < 0) {
        ScheduleRetry(nNowMs);
        return;
    }
    m_targets.resize(m_remotes.size());
    for (size_t i = 0; i < m_remotes.size(); ++i) {
        bool bKnown = Resolve(m_remotes[i].strHost, m_remotes[i].nPort, &m_targets[i]);
        if (!bKnown) m_targets[i].sin_port = 0;
        MarkUp(m_remotes[i], bKnown);
    }
}

CRemoteStatus& CPortTunnel::RemoteOf(CPeer& peer) {
    return m_config.eType == ETunnelType::kServer ? peer.remote : m_remotes[m_nHost];
}

size_t CPortTunnel::LivePeers() const {
    return std::count_if(m_peers.begin(), m_peers.end(),
                         [](const CPeer& peer) { return !peer.bConnecting && !peer.bDropped; });
}

// Bytes are taken from the port only when there is somewhere to send them.
bool CPortTunnel::WantsPortBytes() const {
    if (m_config.eType == ETunnelType::kUdp) return m_nUdp >= 0 && !m_targets.empty();
    bool bRoom = std::all_of(m_peers.begin(), m_peers.end(),
                             [](const CPeer& peer) { return peer.strOut.size() < kMaxPending; });
    return bRoom && LivePeers() > 0;
}

// While nobody has the port open, network bytes are read and dropped.
bool CPortTunnel::TakesNetworkBytes() const {
    return !m_port.IsOpenByProgram() || m_strToPort.size() < kMaxPending;
}

void CPortTunnel::AddPollFds(std::vector<pollfd>* fds) const {
    if (CarriesPort()) {
        AddFd(fds, m_port.WatchFd(), POLLIN);
        // A port nobody has open reports a hang-up without end, so it is left out until the
        // watch sees it opened.
        if (m_port.IsOpenByProgram()) {
            AddFd(fds, m_port.MasterFd(),
                  static_cast<short>((WantsPortBytes() ? POLLIN : 0) |
                                     (m_strToPort.empty() ? 0 : POLLOUT)));
        }
    }
    short nNetworkIn = TakesNetworkBytes() ? POLLIN : 0;
    if (m_nListen >= 0) AddFd(fds, m_nListen, POLLIN);
    if (m_nUdp >= 0) AddFd(fds, m_nUdp, nNetworkIn);
    for (const CPeer& peer : m_peers) {
        if (peer.bDropped) continue;
        short nEvents = peer.bConnecting
                            ? POLLOUT
                            : static_cast<short>(nNetworkIn | (peer.strOut.empty() ? 0 : POLLOUT));
        AddFd(fds, peer.nFd, nEvents);
    }
}

void CPortTunnel::OnReady(const pollfd& ready, uint64_t nNowMs) {
    if (CarriesPort() && ready.fd == m_port.WatchFd()) {
        m_port.OnWatchEvent();
        if (!m_port.IsOpenByProgram()) m_strToPort.clear();
    } else if (CarriesPort() && ready.fd == m_port.MasterFd()) {
        OnPortReady(ready.revents, nNowMs);
    } else if (ready.fd == m_nListen) {
        Accept(nNowMs);
    } else if (ready.fd == m_nUdp) {
        ReceiveDatagram();
    } else {
        for (CPeer& peer : m_peers) {
            if (peer.nFd == ready.fd && !peer.bDropped) OnPeerReady(peer, ready.revents, nNowMs);
        }
    }
}

void CPortTunnel::OnPortReady(short nEvents, uint64_t nNowMs) {
    if (nEvents & POLLOUT) FlushToPort();
    if (nEvents & POLLIN) {
        char szChunk[kChunk];
        long nRead = m_port.Read(szChunk, sizeof(szChunk));
        if (nRead > 0) ToNetwork(szChunk, static_cast<size_t>(nRead), nNowMs);
        if (nRead < 0) nEvents |= POLLHUP;
    }
    if (nEvents & (POLLHUP | POLLERR)) {
        m_port.OnHangUp();
        if (!m_port.IsOpenByProgram()) m_strToPort.clear();
    }
}

void CPortTunnel::OnPeerReady(CPeer& peer, short nEvents, uint64_t nNowMs) {
    if (peer.bConnecting) {
        OnConnectDone(peer, nNowMs);
        return;
    }
    if (nEvents & POLLOUT) Flush(peer, nNowMs);
    if (nEvents & POLLIN) {
        char szChunk[kChunk];
        ssize_t nRead = recv(peer.nFd, szChunk, sizeof(szChunk), MSG_DONTWAIT);
        if (nRead > 0) {
            peer.nLastTrafficMs = nNowMs;
            FromNetwork(RemoteOf(peer), szChunk, static_cast<size_t>(nRead));
        }
        if (nRead == 0 || (nRead < 0 && !IsTransient())) peer.bDropped = true;
    } else if (nEvents & (POLLHUP | POLLERR)) {
        peer.bDropped = true;
    }
}

void CPortTunnel::OnConnectDone(CPeer& peer, uint64_t nNowMs) {
    int nError = 0;
    socklen_t nLength = sizeof(nError);
    if (getsockopt(peer.nFd, SOL_SOCKET, SO_ERROR, &nError, &nLength) != 0 || nError != 0) {
        peer.bDropped = true;
        return;
    }
    peer.bConnecting = false;
    peer.nLastTrafficMs = nNowMs;
    MarkUp(RemoteOf(peer), true);
}

void CPortTunnel::Accept(uint64_t nNowMs) {
    sockaddr_in address = {};
    socklen_t nLength = sizeof(address);
    int nFd = accept4(m_nListen, reinterpret_cast<sockaddr*>(&address), &nLength,
                      SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (nFd < 0) return;
    if (LivePeers() >= static_cast<size_t>(m_config.nMaxConnections)) {
        close(nFd);
        return;
    }
    ConfigureTcp(nFd, m_config);
    CPeer& peer = m_peers.emplace_back();
    peer.nFd = nFd;
    peer.nLastTrafficMs = nNowMs;
    char szHost[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, szHost, sizeof(szHost));
    peer.remote.strHost = szHost;
    peer.remote.nPort = ntohs(address.sin_port);
    MarkUp(peer.remote, true);
}

void CPortTunnel::ReceiveDatagram() {
    char szChunk[65536];
    sockaddr_in sender = {};
    socklen_t nLength = sizeof(sender);
    ssize_t nRead = recvfrom(m_nUdp, szChunk, sizeof(szChunk), MSG_DONTWAIT,
                             reinterpret_cast<sockaddr*>(&sender), &nLength);
    if (nRead < 0) return;
    // Counted against the host entry it came from, when it came from one.
    CRemoteStatus unlisted;
    CRemoteStatus* pRemote = &unlisted;
    for (size_t i = 0; i < m_targets.size(); ++i) {
        if (m_targets[i].sin_port == sender.sin_port &&
            m_targets[i].sin_addr.s_addr == sender.sin_addr.s_addr) {
            pRemote = &m_remotes[i];
        }
    }
    FromNetwork(*pRemote, szChunk, static_cast<size_t>(nRead));
}

void CPortTunnel::ToNetwork(const char* pData, size_t nSize, uint64_t nNowMs) {
    if (m_config.eType == ETunnelType::kUdp) {
        for (size_t i = 0; i < m_targets.size(); ++i) {
            if (m_targets[i].sin_port == 0) continue;
            ssize_t nSent =
                sendto(m_nUdp, pData, nSize, MSG_DONTWAIT,
                       reinterpret_cast<const sockaddr*>(&m_targets[i]), sizeof(m_targets[i]));
            if (nSent <= 0) continue;
            m_nSent += static_cast<uint64_t>(nSent);
            m_remotes[i].nSent += static_cast<uint64_t>(nSent);
        }
        return;
    }
    for (CPeer& peer : m_peers) {
        if (peer.bConnecting || peer.bDropped) continue;
        peer.strOut.append(pData, nSize);
        Flush(peer, nNowMs);
    }
}

void CPortTunnel::FromNetwork(CRemoteStatus& remote, const char* pData, size_t nSize) {
    m_nRecv += nSize;
    remote.nRecv += nSize;
    if (!m_port.IsOpenByProgram()) return;
    m_strToPort.append(pData, nSize);
    FlushToPort();
}

void CPortTunnel::Flush(CPeer& peer, uint64_t nNowMs) {
    while (!peer.strOut.empty()) {
        ssize_t nSent =
            send(peer.nFd, peer.strOut.data(), peer.strOut.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (nSent < 0) {
            if (!IsTransient()) peer.bDropped = true;
            return;
        }
        peer.strOut.erase(0, static_cast<size_t>(nSent));
        peer.nLastTrafficMs = nNowMs;
        m_nSent += static_cast<uint64_t>(nSent);
        RemoteOf(peer).nSent += static_cast<uint64_t>(nSent);
    }
}

void CPortTunnel::FlushToPort() {
    while (!m_strToPort.empty()) {
        long nWritten = m_port.Write(m_strToPort.data(), m_strToPort.size());
        if (nWritten < 0) m_strToPort.clear();
        if (nWritten <= 0) return;
        m_strToPort.erase(0, static_cast<size_t>(nWritten));
    }
}

void CPortTunnel::ReapDropped(uint64_t nNowMs) {
    for (auto it = m_peers.begin(); it != m_peers.end();) {
        if (!it->bDropped) {
            ++it;
            continue;
        }
        close(it->nFd);
        bool bWasConnecting = it->bConnecting;
        it = m_peers.erase(it);
        if (m_config.eType != ETunnelType::kClient) continue;
        // A failed attempt goes on with the next host entry; a lost link waits its time.
        MarkUp(m_remotes[m_nHost], false);
        if (bWasConnecting) {
            ++m_nHost;
            ConnectNext(nNowMs);
        } else {
            ScheduleRetry(nNowMs);
        }
    }
}

void CPortTunnel::Tick(uint64_t nNowMs) {
    if (m_config.bBreak && m_config.nBreakMs > 0) {
        for (CPeer& peer : m_peers) {
            if (!peer.bConnecting &&
                nNowMs - peer.nLastTrafficMs >= static_cast<uint64_t>(m_config.nBreakMs)) {
                peer.bDropped = true;
            }
        }
    }
    ReapDropped(nNowMs);
    if (m_nRetryAtMs == 0 || nNowMs < m_nRetryAtMs) return;
    m_nRetryAtMs = 0;
    OpenNetwork(nNowMs);
}

uint64_t CPortTunnel::NextDeadline() const {
    uint64_t nNext = m_nRetryAtMs != 0 ? m_nRetryAtMs : UINT64_MAX;
    if (!m_config.bBreak || m_config.nBreakMs <= 0) return nNext;
    for (const CPeer& peer : m_peers) {
        if (!peer.bConnecting) {
            nNext = std::min(nNext, peer.nLastTrafficMs + static_cast<uint64_t>(m_config.nBreakMs));
        }
    }
    return nNext;
}

std::string CPortTunnel::StatusXml() const {
    pugi::xml_document doc;
    pugi::xml_node status = doc.append_child("status");
    pugi::xml_node port = status.append_child("port");
    port.append_attribute("state") = m_port.IsOpenByProgram() ? 1 : 0;
    port.append_attribute("settings") = m_config.strSettings.c_str();
    pugi::xml_node stat = status.append_child("stat");
    stat.append_attribute("sent") = static_cast<unsigned long long>(m_nSent);
    stat.append_attribute("recv") = static_cast<unsigned long long>(m_nRecv);
    std::vector<const CRemoteStatus*> remotes;
    for (const CRemoteStatus& remote : m_remotes) remotes.push_back(&remote);
    for (const CPeer& peer : m_peers) {
        if (m_config.eType == ETunnelType::kServer) remotes.push_back(&peer.remote);
    }
    for (const CRemoteStatus* pRemote : remotes) {
        pugi::xml_node remote = status.append_child("remotehost");
        remote.append_attribute("host") = pRemote->strHost.c_str();
        remote.append_attribute("port") = pRemote->nPort;
        remote.append_attribute("state") = pRemote->bUp ? 1 : 0;
        remote.append_attribute("sent") = static_cast<unsigned long long>(pRemote->nSent);
        remote.append_attribute("recv") = static_cast<unsigned long long>(pRemote->nRecv);
        remote.append_attribute("time") = pRemote->strSince.c_str();
    }
    bool bUp = m_nListen >= 0 || m_nUdp >= 0 || LivePeers() > 0;
    pugi::xml_node server = status.append_child("serverstate");
    server.append_attribute("state") = bUp ? 1 : 0;
    server.append_attribute("activeconns") = static_cast<unsigned>(LivePeers());
    std::ostringstream text;
    doc.print(text, "", pugi::format_raw | pugi::format_no_declaration);
    return text.str();
}

}  // namespace tnl_service
