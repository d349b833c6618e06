#include <errno.h>
#include <poll.h>
#include <stdio.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <pugixml.hpp>

#include "platform/file_system.h"
#include "platform/signals.h"
#include "platform/thread_util.h"
#include "platform/tunnel_paths.h"
#include "tnl/service/connection_config.h"
#include "tnl/service/service_socket.h"
#include "tnl/service/tunnel_service.h"

namespace tnl_service {

namespace {

constexpr size_t kMaxRequest = 1024 * 1024;  // a client sending more without "</proto>" is cut off

// The operation type of a request, and for an UPDATE the name the connection has afterwards.
std::string OperationOf(const std::string& request, std::string* pUpdatedName) {
    pugi::xml_document doc;
    if (!doc.load_buffer(request.data(), request.size())) return {};
    pugi::xml_node operation = doc.child("proto").child("operation");
    *pUpdatedName = operation.child("connection").child("name").text().get();
    return operation.attribute("type").value();
}

bool IsError(const std::string& reply) {
    pugi::xml_document doc;
    doc.load_string(reply.c_str());
    return std::string_view(doc.child("proto").child("operation").attribute("type").value()) ==
           "ERROR";
}

}  // namespace

CTunnelService::CTunnelService(std::string runDir, std::string portsDir)
    : m_strRunDir(std::move(runDir)),
      m_links(std::move(portsDir), platform::JoinPath(m_strRunDir, kLinksFile)),
      m_nWake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CTunnelService::~CTunnelService() {
    Shutdown();
    if (m_nWake >= 0) close(m_nWake);
}

std::string CTunnelService::RunFile(const char* szName) const {
    return platform::JoinPath(m_strRunDir, szName);
}

bool CTunnelService::Start() {
    RemoveRecordedLinks(RunFile(kLinksFile));
    std::string strStored;
    if (platform::ReadFileBytes(RunFile(kConnectionsFile), &strStored) &&
        !m_store.LoadText(strStored)) {
        fprintf(stderr, "tnl_service: %s does not parse; starting empty\n", kConnectionsFile);
    }
    m_nListen = ListenLocalSocket(SocketPath(m_strRunDir));
    if (m_nListen < 0 || m_nWake < 0) return false;
    Reconcile("", platform::MonotonicMs());
    return true;
}

void CTunnelService::Stop() {
    uint64_t nOne = 1;
    if (write(m_nWake, &nOne, sizeof(nOne)) < 0) perror("tnl_service: stop");
}

void CTunnelService::Shutdown() {
    m_tunnels.clear();
    for (CControlClient& client : m_clients) close(client.nFd);
    m_clients.clear();
    if (m_nListen >= 0) {
        close(m_nListen);
        unlink(SocketPath(m_strRunDir).c_str());
    }
    m_nListen = -1;
}

void CTunnelService::Persist() const {
    if (!platform::WriteFileAtomic(RunFile(kConnectionsFile), m_store.SaveText())) {
        perror("tnl_service: cannot store the connections");
    }
}

void CTunnelService::Reconcile(const std::string& forced, uint64_t nNowMs) {
    std::vector<std::string> names = m_store.Names(), configs = m_store.Configs();
    for (auto it = m_tunnels.begin(); it != m_tunnels.end();) {
        bool bKept = std::find(names.begin(), names.end(), it->first) != names.end();
        it = bKept ? std::next(it) : m_tunnels.erase(it);
    }
    for (size_t i = 0; i < names.size(); ++i) {
        CRunning& running = m_tunnels[names[i]];
        if (running.pTunnel && running.strConfig == configs[i] && names[i] != forced) continue;
        // A connection the service cannot read is kept and listed, but not carried.
        CConnectionConfig config;
        if (!ParseConnection(configs[i], &config)) config.strName = names[i];
        if (!running.pTunnel) running.pTunnel = std::make_unique<CPortTunnel>(m_links);
        running.strConfig = configs[i];
        running.pTunnel->Apply(config, nNowMs);
    }
}

std::string CTunnelService::Handle(const std::string& request, uint64_t nNowMs) {
    std::string strUpdatedName;
    std::string strType = OperationOf(request, &strUpdatedName);
    if (strType == "GETLIST" || strType == "GETSTAT") {
        for (const auto& [name, running] : m_tunnels) {
            m_store.SetStatus(name, running.pTunnel->StatusXml());
        }
    }
    std::string strReply = m_store.Handle(request);
    if ((strType == "ADD" || strType == "UPDATE" || strType == "DELETE") && !IsError(strReply)) {
        Persist();
        Reconcile(strType == "UPDATE" ? strUpdatedName : "", nNowMs);
    }
    return strReply;
}

void CTunnelService::AcceptControl() {
    int nFd = accept4(m_nListen, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (nFd >= 0) m_clients.emplace_back().nFd = nFd;
}

void CTunnelService::OnControlReady(CControlClient& client, short nEvents, uint64_t nNowMs) {
    if (nEvents & POLLIN) {
        char szChunk[4096];
        ssize_t nRead = recv(client.nFd, szChunk, sizeof(szChunk), MSG_DONTWAIT);
        if (nRead > 0) client.strIn.append(szChunk, static_cast<size_t>(nRead));
        client.bClosed = nRead == 0 || (nRead < 0 && errno != EAGAIN && errno != EINTR);
        for (std::string strRequest; TakeMessage(&client.strIn, &strRequest);) {
            client.strOut += Handle(strRequest, nNowMs);
        }
        client.bClosed = client.bClosed || client.strIn.size() > kMaxRequest;
    } else if (nEvents & (POLLHUP | POLLERR)) {
        client.bClosed = true;
    }
    if (!client.strOut.empty() && !client.bClosed) {
        ssize_t nSent = send(client.nFd, client.strOut.data(), client.strOut.size(),
                             MSG_DONTWAIT | MSG_NOSIGNAL);
        if (nSent > 0) client.strOut.erase(0, static_cast<size_t>(nSent));
        if (nSent < 0 && errno != EAGAIN && errno != EINTR) client.bClosed = true;
    }
}

int CTunnelService::PollTimeout(uint64_t nNowMs) const {
    uint64_t nNext = UINT64_MAX;
    for (const auto& [name, running] : m_tunnels) {
        nNext = std::min(nNext, running.pTunnel->NextDeadline());
    }
    if (nNext == UINT64_MAX) return -1;
    return nNext <= nNowMs ? 0 : static_cast<int>(std::min<uint64_t>(nNext - nNowMs, INT_MAX));
}

void CTunnelService::Run() {
    std::vector<pollfd> fds;
    std::vector<CPortTunnel*> owners;  // the tunnel of each descriptor; none for our own
    for (;;) {
        fds = {{m_nWake, POLLIN, 0}, {m_nListen, POLLIN, 0}};
        for (const CControlClient& client : m_clients) {
            fds.push_back({client.nFd,
                           static_cast<short>(POLLIN | (client.strOut.empty() ? 0 : POLLOUT)), 0});
        }
        size_t nOwn = fds.size();
        owners.assign(nOwn, nullptr);
        for (const auto& [name, running] : m_tunnels) {
            running.pTunnel->AddPollFds(&fds);
            owners.resize(fds.size(), running.pTunnel.get());
        }
        if (poll(fds.data(), fds.size(), PollTimeout(platform::MonotonicMs())) < 0 &&
            errno != EINTR) {
            perror("tnl_service: poll");
            break;
        }
        if (fds[0].revents != 0) break;
        uint64_t nNowMs = platform::MonotonicMs();
        // The tunnels first: a request below may end a tunnel whose descriptors are listed.
        for (size_t i = nOwn; i < fds.size(); ++i) {
            if (fds[i].revents != 0) owners[i]->OnReady(fds[i], nNowMs);
        }
        for (size_t i = 2; i < nOwn; ++i) {
            if (fds[i].revents != 0) OnControlReady(m_clients[i - 2], fds[i].revents, nNowMs);
        }
        std::erase_if(m_clients, [](const CControlClient& client) {
            if (client.bClosed) close(client.nFd);
            return client.bClosed;
        });
        if (fds[1].revents & POLLIN) AcceptControl();
        for (auto& [name, running] : m_tunnels) running.pTunnel->Tick(nNowMs);
    }
    Shutdown();
}

int RunTunnelService() {
    CTunnelService service(platform::GetTunnelRunDir(), platform::GetSerialPortsDir());
    platform::HandleTerminationRequests([&service] { service.Stop(); });
    if (!service.Start()) {
        fprintf(stderr, "tnl_service: cannot listen in %s\n", platform::GetTunnelRunDir().c_str());
        return 1;
    }
    service.Run();
    return 0;
}

}  // namespace tnl_service
